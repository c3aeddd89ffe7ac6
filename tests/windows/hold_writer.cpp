// A writer for the end-to-end run under Wine: sharing rules hold only between
// Windows programs, so the file that korvane must leave alone is held by this
// one. Usage: hold_writer <path> <hex of the first part> <hex of the rest>.
// It creates the file for writing, shared for reading only, writes the first
// part, prints "held", waits for one line on standard input, writes the rest,
// closes the file and prints "closed".
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string FromHex(const char* text) {
  std::string bytes;
  for (const char* p = text; p[0] != '\0' && p[1] != '\0'; p += 2) {
    bytes.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
  }
  return bytes;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  DWORD put = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
         put == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: hold_writer <path> <hex first> <hex rest>\n");
    return 2;
  }
  HANDLE file = CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot create %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  if (!WriteAll(file, FromHex(argv[2]))) return 1;
  std::printf("held\n");
  std::fflush(stdout);
  char line[16];
  std::fgets(line, sizeof line, stdin);
  const bool written = WriteAll(file, FromHex(argv[3]));
  CloseHandle(file);
  std::printf("closed\n");
  std::fflush(stdout);
  return written ? 0 : 1;
}

// Prints the number of handles each running process of the given executable
// name holds, one "<pid> <handles>" line each. For the soak under Wine:
// Wine's GetProcessHandleCount gives 0, so the handles are counted in the
// system's handle table (NtQuerySystemInformation with
// SystemHandleInformation), which Wine fills from its server.
// Usage: handle_count korvane.exe
#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr ULONG kSystemHandleInformation = 16;

struct HandleEntry {
  USHORT processId;
  USHORT creatorBackTraceIndex;
  UCHAR objectTypeIndex;
  UCHAR handleAttributes;
  USHORT handleValue;
  PVOID object;
  ULONG grantedAccess;
};

struct HandleTable {
  ULONG count;
  HandleEntry entries[1];
};

using QueryFunction = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

bool ReadHandleTable(std::vector<char>& buffer) {
  auto query = reinterpret_cast<QueryFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return false;
  for (ULONG size = 1 << 20; size <= (1u << 28); size *= 2) {
    buffer.resize(size);
    ULONG needed = 0;
    const NTSTATUS status = query(kSystemHandleInformation, buffer.data(), size, &needed);
    if (status >= 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: handle_count <executable name>\n");
    return 2;
  }
  std::vector<char> buffer;
  if (!ReadHandleTable(buffer)) {
    std::fprintf(stderr, "no handle table\n");
    return 1;
  }
  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int found = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (_stricmp(entry.szExeFile, argv[1]) != 0) continue;
    unsigned long handles = 0;
    for (ULONG i = 0; i < table->count; ++i) {
      if (table->entries[i].processId == static_cast<USHORT>(entry.th32ProcessID)) ++handles;
    }
    std::printf("%lu %lu\n", entry.th32ProcessID, handles);
    ++found;
  }
  CloseHandle(snapshot);
  return found > 0 ? 0 : 1;
}

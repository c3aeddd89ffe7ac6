#include "platform/directory.h"

#include <cctype>
#include <memory>

#include "platform/windows_api.h"

namespace platform {

namespace {

struct FindCloser {
  void operator()(HANDLE find) const { ::FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

bool SameLetter(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// '*' and '?' against a whole name, letters of either case. FindFirstFileA
// alone would also give "a.txt1" for "*.txt" through the short 8.3 names,
// so the names it yields are matched again here.
bool Matches(const char* pattern, const char* name) {
  const char* starAt = nullptr;
  const char* resumeAt = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      starAt = pattern++;
      resumeAt = name;
    } else if (*pattern != '\0' && (*pattern == '?' || SameLetter(*pattern, *name))) {
      ++pattern;
      ++name;
    } else if (starAt != nullptr) {
      pattern = starAt + 1;
      name = ++resumeAt;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// Directories, links (reparse points) and devices are not packet files.
bool IsRegularFile(const WIN32_FIND_DATAA& entry) {
  constexpr DWORD kNotRegular =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  return (entry.dwFileAttributes & kNotRegular) == 0;
}

}  // namespace

CreateDirectoryResult CreateDirectory(const std::string& path) {
  if (::CreateDirectoryA(path.c_str(), nullptr)) return {DirectoryCreation::kCreated, {}};
  const DWORD code = ::GetLastError();
  const std::error_code error = LastError();
  switch (code) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return {DirectoryCreation::kAlreadyExists, error};
    case ERROR_PATH_NOT_FOUND:
      return {DirectoryCreation::kParentMissing, error};
    default:
      return {DirectoryCreation::kFailed, error};
  }
}

Result<std::vector<std::string>> ListFiles(const std::string& directory,
                                           const std::string& pattern) {
  WIN32_FIND_DATAA entry{};
  FindHandle find(::FindFirstFileA(JoinPath(directory, pattern).c_str(), &entry));
  if (find.get() == INVALID_HANDLE_VALUE) {
    find.release();
    // No match in a directory that is there is an empty list.
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<std::string>{};
    return LastError();
  }
  std::vector<std::string> names;
  do {
    if (IsRegularFile(entry) && Matches(pattern.c_str(), entry.cFileName)) {
      names.emplace_back(entry.cFileName);
    }
  } while (::FindNextFileA(find.get(), &entry));
  if (::GetLastError() != ERROR_NO_MORE_FILES) return LastError();
  return names;
}

// Windows takes '/' as well as '\\'; '/' keeps paths in messages as the
// user gave them on either system.
std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '/' || directory.back() == '\\') return directory + name;
  return directory + '/' + name;
}

}  // namespace platform

#include "platform/directory.h"

#include <cctype>
#include <cstring>
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

// A reparse point (a symbolic link or a junction) is a link whatever it
// points to; Windows has no FIFOs or sockets in a directory.
EntryKind KindOfAttributes(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::kSymbolicLink;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kDirectory;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::kCharacterDevice;
  return EntryKind::kRegular;
}

// The number of names of a file; 1 when it can not be told. Opening for
// its attributes alone is not held back by a writer's sharing mode.
DWORD LinkCount(const std::string& path) {
  HANDLE file = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = ::GetFileInformationByHandle(file, &information);
  ::CloseHandle(file);
  return known ? information.nNumberOfLinks : 1;
}

// The kind of the entry at path with these attributes: a regular file with
// more than one name (NTFS hard links) is a hard link.
EntryKind KindOfPath(const std::string& path, DWORD attributes) {
  const EntryKind kind = KindOfAttributes(attributes);
  if (kind == EntryKind::kRegular && LinkCount(path) > 1) return EntryKind::kHardLink;
  return kind;
}

bool IsRegularFile(const WIN32_FIND_DATAA& entry) {
  return KindOfAttributes(entry.dwFileAttributes) == EntryKind::kRegular;
}

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Calls take(entry) for each entry of directory matching pattern. The
// system's own matching is a first cut only (see Matches).
template <class Take>
std::error_code ForEachMatch(const std::string& directory, const std::string& pattern, Take take) {
  WIN32_FIND_DATAA entry{};
  FindHandle find(::FindFirstFileA(JoinPath(directory, pattern).c_str(), &entry));
  if (find.get() == INVALID_HANDLE_VALUE) {
    find.release();
    // No match in a directory that is there is an empty list.
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return {};
    return LastError();
  }
  do {
    if (!IsDotEntry(entry.cFileName) && Matches(pattern.c_str(), entry.cFileName)) take(entry);
  } while (::FindNextFileA(find.get(), &entry));
  if (::GetLastError() != ERROR_NO_MORE_FILES) return LastError();
  return {};
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
  std::vector<std::string> names;
  const std::error_code error = ForEachMatch(directory, pattern, [&](const WIN32_FIND_DATAA& entry) {
    if (IsRegularFile(entry)) names.emplace_back(entry.cFileName);
  });
  if (error) return error;
  return names;
}

Result<std::vector<DirectoryEntry>> ListEntries(const std::string& directory,
                                                const std::string& pattern) {
  std::vector<DirectoryEntry> entries;
  const std::error_code error = ForEachMatch(directory, pattern, [&](const WIN32_FIND_DATAA& entry) {
    const std::string path = JoinPath(directory, entry.cFileName);
    entries.push_back({entry.cFileName, KindOfPath(path, entry.dwFileAttributes)});
  });
  if (error) return error;
  return entries;
}

EntryKind EntryKindOf(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kMissing;
  return KindOfPath(path, attributes);
}

// Either separator ends a directory on Windows.
std::string BaseName(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// Windows takes '/' as well as '\\'; '/' keeps paths in messages as the
// user gave them on either system.
std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '/' || directory.back() == '\\') return directory + name;
  return directory + '/' + name;
}

}  // namespace platform

#include "platform/directory.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <memory>

namespace platform {

namespace {

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

bool IsRegularFile(const std::string& directory, const dirent& entry) {
  if (entry.d_type == DT_REG) return true;
  if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
  struct stat status {};
  return ::stat(JoinPath(directory, entry.d_name).c_str(), &status) == 0 &&
         S_ISREG(status.st_mode);
}

EntryKind KindOfStatus(const struct stat& status) {
  const mode_t mode = status.st_mode;
  if (S_ISREG(mode)) return status.st_nlink > 1 ? EntryKind::kHardLink : EntryKind::kRegular;
  if (S_ISLNK(mode)) return EntryKind::kSymbolicLink;
  if (S_ISFIFO(mode)) return EntryKind::kFifo;
  if (S_ISSOCK(mode)) return EntryKind::kSocket;
  if (S_ISCHR(mode)) return EntryKind::kCharacterDevice;
  if (S_ISBLK(mode)) return EntryKind::kBlockDevice;
  if (S_ISDIR(mode)) return EntryKind::kDirectory;
  return EntryKind::kOther;
}

EntryKind KindOfEntry(const std::string& directory, const dirent& entry) {
  switch (entry.d_type) {
    case DT_LNK: return EntryKind::kSymbolicLink;
    case DT_FIFO: return EntryKind::kFifo;
    case DT_SOCK: return EntryKind::kSocket;
    case DT_CHR: return EntryKind::kCharacterDevice;
    case DT_BLK: return EntryKind::kBlockDevice;
    case DT_DIR: return EntryKind::kDirectory;
    // DT_REG as well: only the link count tells a hard link.
    default: return EntryKindOf(JoinPath(directory, entry.d_name));
  }
}

}  // namespace

CreateDirectoryResult CreateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return {DirectoryCreation::kCreated, {}};
  const std::error_code error = LastError();
  switch (error.value()) {
    case EEXIST:
      return {DirectoryCreation::kAlreadyExists, error};
    case ENOENT:
    case ENOTDIR:
      return {DirectoryCreation::kParentMissing, error};
    default:
      return {DirectoryCreation::kFailed, error};
  }
}

Result<std::vector<std::string>> ListFiles(const std::string& directory,
                                           const std::string& pattern) {
  DirectoryHandle handle(::opendir(directory.c_str()));
  if (!handle) return LastError();
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(handle.get());
    if (entry == nullptr) break;
    if (::fnmatch(pattern.c_str(), entry->d_name, FNM_CASEFOLD) != 0) continue;
    if (IsRegularFile(directory, *entry)) names.emplace_back(entry->d_name);
  }
  if (errno != 0) return LastError();
  return names;
}

EntryKind EntryKindOf(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return EntryKind::kMissing;
  return KindOfStatus(status);
}

Result<std::vector<DirectoryEntry>> ListEntries(const std::string& directory,
                                                const std::string& pattern) {
  DirectoryHandle handle(::opendir(directory.c_str()));
  if (!handle) return LastError();
  std::vector<DirectoryEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(handle.get());
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (::fnmatch(pattern.c_str(), entry->d_name, FNM_CASEFOLD) != 0) continue;
    entries.push_back({name, KindOfEntry(directory, *entry)});
  }
  if (errno != 0) return LastError();
  return entries;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '/') return directory + name;
  return directory + '/' + name;
}

}  // namespace platform

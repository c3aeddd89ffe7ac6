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

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '/') return directory + name;
  return directory + '/' + name;
}

}  // namespace platform

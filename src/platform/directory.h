#pragma once
// Directories: creating one, listing its files, joining paths.

#include <string>
#include <system_error>
#include <vector>

#include "platform/error.h"

namespace platform {

enum class DirectoryCreation {
  kCreated,
  kAlreadyExists,  // something of that name exists already
  kParentMissing,  // a directory on the way is missing (err 3 in the messages)
  kFailed,         // any other failure; see the error
};

struct CreateDirectoryResult {
  DirectoryCreation outcome = DirectoryCreation::kFailed;
  std::error_code error;  // the system's error for every outcome but kCreated
};

// Creates one directory; missing parents are not created.
CreateDirectoryResult CreateDirectory(const std::string& path);

// The names of the regular files in directory whose names match pattern
// ('*' and '?' wildcards, letters of either case, so "*.txt" also finds
// "A.TXT"), in the order the file system yields them.
Result<std::vector<std::string>> ListFiles(const std::string& directory,
                                           const std::string& pattern);

// directory + '/' + name (no separator doubled; an empty directory gives name).
std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace platform

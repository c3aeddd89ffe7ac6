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

// What a directory entry is, as the entry itself says (a symbolic link is
// a link, whatever it points to). A regular file with more than one name is
// a hard link: its other names may be anywhere on the volume.
enum class EntryKind {
  kRegular,
  kHardLink,
  kSymbolicLink,
  kFifo,
  kSocket,
  kCharacterDevice,
  kBlockDevice,
  kDirectory,
  kOther,
  kMissing,  // the name is gone
};

// "regular file", "hard link", "symbolic link", "FIFO", "socket", "character device",
// "block device", "directory", "unknown kind", "missing".
const char* EntryKindName(EntryKind kind);

struct DirectoryEntry {
  std::string name;
  EntryKind kind = EntryKind::kOther;
};

// The entries of directory whose names match pattern (as ListFiles), with
// their kinds; "." and ".." are left out. No link is followed.
Result<std::vector<DirectoryEntry>> ListEntries(const std::string& directory,
                                                const std::string& pattern);

// The kind of the entry at path, without following a link.
EntryKind EntryKindOf(const std::string& path);

// The names of the regular files in directory whose names match pattern
// ('*' and '?' wildcards, letters of either case, so "*.txt" also finds
// "A.TXT"), in the order the file system yields them.
Result<std::vector<std::string>> ListFiles(const std::string& directory,
                                           const std::string& pattern);

// The last component of a path (all of it when it has no separator).
std::string BaseName(const std::string& path);

// directory + '/' + name (no separator doubled; an empty directory gives name).
std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace platform

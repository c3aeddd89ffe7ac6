// The names of directory entry kinds, the same on every system.

#include "platform/directory.h"

namespace platform {

const char* EntryKindName(EntryKind kind) {
  switch (kind) {
    case EntryKind::kRegular: return "regular file";
    case EntryKind::kHardLink: return "hard link";
    case EntryKind::kSymbolicLink: return "symbolic link";
    case EntryKind::kFifo: return "FIFO";
    case EntryKind::kSocket: return "socket";
    case EntryKind::kCharacterDevice: return "character device";
    case EntryKind::kBlockDevice: return "block device";
    case EntryKind::kDirectory: return "directory";
    case EntryKind::kOther: return "unknown kind";
    case EntryKind::kMissing: return "missing";
  }
  return "unknown kind";
}

}  // namespace platform

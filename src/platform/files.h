#pragma once
// File operations beyond the C library's: moving with replacement across
// file systems, moving only a file no one is writing, renaming without
// replacing, and deleting.

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "platform/directory.h"
#include "platform/error.h"
#include "platform/unique_fd.h"

namespace platform {

// Moves source to target, replacing a target that exists. Between file
// systems the file is copied next to the target, renamed over it, and the
// source is deleted; the target never appears half-written.
std::error_code MoveFileReplacing(const std::string& source, const std::string& target);

std::error_code DeleteFile(const std::string& path);

// Like MoveFileReplacing, but only for a regular file with one name (a
// symbolic link is not followed, and anything else, a hard link included, is
// refused with EINVAL) that nobody has open for writing:
// it takes a read lease (fcntl F_SETLEASE, F_RDLCK) on the source first, which the
// kernel refuses (EAGAIN) while any process holds the file open for writing; the
// move then fails with EBUSY so the caller can try again later. Where the lease is
// refused for lack of permission (EACCES, EPERM) or the file system has no leases
// (EINVAL), the file is moved without it. The lease is released after the move.
// On Windows no lease is needed: a file that a writer holds open cannot be
// moved there, and the move fails with EBUSY (a sharing violation); a reader
// holds it back in the same way.
std::error_code MoveClosedFileReplacing(const std::string& source, const std::string& target);

// Renames source to target unless target exists (EEXIST then): never replaces a file
// (renameat2 with RENAME_NOREPLACE; where the file system lacks it, link() + unlink()).
std::error_code RenameNoReplace(const std::string& source, const std::string& target);

// A file opened for reading only because it is a regular file: the open
// follows no symbolic link and does not block on a FIFO, and the kind is
// checked on the open descriptor, so an entry swapped for a link or a FIFO
// after a listing is refused all the same.
class RegularFileReader {
 public:
  // The reader, or the error: ELOOP for a symbolic link, ENXIO or EINVAL
  // for anything else that is not a regular file; `kind` then tells what
  // was found (kRegular when the open failed for another reason).
  static Result<RegularFileReader> Open(const std::string& path, EntryKind& kind);

  // Up to `size` bytes; 0 at the end of the file.
  Result<std::size_t> Read(uint8_t* data, std::size_t size);

 private:
  explicit RegularFileReader(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

}  // namespace platform

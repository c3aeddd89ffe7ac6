#pragma once
// File operations beyond the C library's: moving with replacement across
// file systems, moving only a file no one is writing, renaming without
// replacing, and deleting.

#include <string>
#include <system_error>

namespace platform {

// Moves source to target, replacing a target that exists. Between file
// systems the file is copied next to the target, renamed over it, and the
// source is deleted; the target never appears half-written.
std::error_code MoveFileReplacing(const std::string& source, const std::string& target);

std::error_code DeleteFile(const std::string& path);

// Like MoveFileReplacing, but only for a file that nobody has open for writing:
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

}  // namespace platform

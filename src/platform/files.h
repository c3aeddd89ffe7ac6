#pragma once
// File operations beyond the C library's: moving with replacement across
// file systems, and deleting.

#include <string>
#include <system_error>

namespace platform {

// Moves source to target, replacing a target that exists. Between file
// systems the file is copied next to the target, renamed over it, and the
// source is deleted; the target never appears half-written.
std::error_code MoveFileReplacing(const std::string& source, const std::string& target);

std::error_code DeleteFile(const std::string& path);

}  // namespace platform

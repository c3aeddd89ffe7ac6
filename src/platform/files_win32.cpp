#include "platform/files.h"

#include "platform/error.h"
#include "platform/windows_api.h"

namespace platform {

// Between volumes MoveFileExA copies and then deletes the source; with
// MOVEFILE_WRITE_THROUGH it returns only when the copy is complete.
std::error_code MoveFileReplacing(const std::string& source, const std::string& target) {
  constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
  if (!::MoveFileExA(source.c_str(), target.c_str(), kFlags)) return LastError();
  return {};
}

std::error_code DeleteFile(const std::string& path) {
  if (!::DeleteFileA(path.c_str())) return LastError();
  return {};
}

// Windows needs no lease: a file that another process holds open without
// sharing its deletion (as the C library and most writers open files)
// cannot be moved, and the move fails with a sharing violation, EBUSY here.
// A reader holds the move back as well, for as long as it reads.
std::error_code MoveClosedFileReplacing(const std::string& source, const std::string& target) {
  return MoveFileReplacing(source, target);
}

// Without MOVEFILE_REPLACE_EXISTING a taken name fails with EEXIST.
std::error_code RenameNoReplace(const std::string& source, const std::string& target) {
  if (!::MoveFileExA(source.c_str(), target.c_str(), 0)) return LastError();
  return {};
}

}  // namespace platform

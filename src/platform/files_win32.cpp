#include "platform/files.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>

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
  const EntryKind kind = EntryKindOf(source);
  if (kind == EntryKind::kMissing) return LastError();
  if (kind != EntryKind::kRegular) return SystemError(EINVAL);
  return MoveFileReplacing(source, target);
}

// FILE_FLAG_OPEN_REPARSE_POINT opens a link itself rather than what it
// points to, so the kind is checked on the open handle as on POSIX.
// FILE_SHARE_DELETE lets the incoming directory move or delete the file
// while it is read.
Result<RegularFileReader> RegularFileReader::Open(const std::string& path, EntryKind& kind) {
  kind = EntryKind::kRegular;
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(file, &information) || ::GetFileType(file) != FILE_TYPE_DISK) {
    const std::error_code error = LastError();
    ::CloseHandle(file);
    kind = EntryKind::kOther;
    return error ? error : SystemError(EINVAL);
  }
  const DWORD attributes = information.dwFileAttributes;
  if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    ::CloseHandle(file);
    kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryKind::kSymbolicLink
                                                       : EntryKind::kDirectory;
    return SystemError(kind == EntryKind::kSymbolicLink ? ELOOP : EINVAL);
  }
  // The C library's descriptor owns the handle from here on.
  const int descriptor =
      ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (descriptor < 0) {
    ::CloseHandle(file);
    return SystemError(EMFILE);
  }
  return RegularFileReader(UniqueFd(descriptor));
}

Result<std::size_t> RegularFileReader::Read(uint8_t* data, std::size_t size) {
  const unsigned piece = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
  const int got = ::_read(fd_.Get(), data, piece);
  if (got < 0) return SystemError(errno);
  return static_cast<std::size_t>(got);
}

// Without MOVEFILE_REPLACE_EXISTING a taken name fails with EEXIST.
std::error_code RenameNoReplace(const std::string& source, const std::string& target) {
  if (!::MoveFileExA(source.c_str(), target.c_str(), 0)) return LastError();
  return {};
}

}  // namespace platform

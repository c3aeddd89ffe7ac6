// Windows only: a file that a writer holds open is not taken from the
// incoming directory. The writer opens it as writers do there: for writing,
// shared for reading only.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/files.h"
#include "platform/windows_api.h"
#include "support/scratch_directory.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::ScratchDirectory;
using testing_support::WriteFile;

class HeldWriter {
 public:
  explicit HeldWriter(const std::string& path)
      : handle_(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldWriter() { Close(); }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Write(const std::string& text) {
    DWORD put = 0;
    return ::WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) &&
           put == text.size();
  }
  void Close() {
    if (IsOpen()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

TEST(FilesWin32, MoveClosedWaitsForTheWriterAndReplacesOnlyThen) {
  ScratchDirectory scratch;
  WriteFile(scratch / "target.txt", "old");
  HeldWriter writer(scratch / "packet.txt");
  ASSERT_TRUE(writer.IsOpen());
  ASSERT_TRUE(writer.Write("header"));

  EXPECT_EQ(platform::MoveClosedFileReplacing(scratch / "packet.txt", scratch / "target.txt").value(),
            EBUSY);
  EXPECT_EQ(ReadFile(scratch / "target.txt"), "old");
  EXPECT_TRUE(fs::exists(scratch / "packet.txt"));

  ASSERT_TRUE(writer.Write(" and bytes"));
  writer.Close();
  ASSERT_FALSE(platform::MoveClosedFileReplacing(scratch / "packet.txt", scratch / "target.txt"));
  EXPECT_FALSE(fs::exists(scratch / "packet.txt"));
  EXPECT_EQ(ReadFile(scratch / "target.txt"), "header and bytes");

  EXPECT_EQ(platform::MoveClosedFileReplacing(scratch / "packet.txt", scratch / "x.txt").value(),
            ENOENT);
}

}  // namespace

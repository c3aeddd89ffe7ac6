// Windows only: a file that a writer holds open is not taken from the
// incoming directory (the writer opens it as writers do there: for writing,
// shared for reading only), and what the incoming directory finds is told
// apart by the Win32 calls as by the POSIX ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/directory.h"
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

TEST(FilesWin32, EntriesMatchWholeNamesAndTellTheirKind) {
  ScratchDirectory scratch;
  WriteFile(scratch / "A.TXT", "1");
  WriteFile(scratch / "b.txt1", "1");  // "*.txt" finds it through its 8.3 name
  WriteFile(scratch / "c.txt.part", "1");
  fs::create_directory(scratch / "sub.txt");

  auto entries = platform::ListEntries(scratch.Path(), "*.txt");
  ASSERT_TRUE(entries.ok()) << entries.error().message();
  std::vector<std::string> seen;
  for (const auto& entry : *entries) {
    seen.push_back(entry.name + ":" + platform::EntryKindName(entry.kind));
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{"A.TXT:regular file", "sub.txt:directory"}));
  EXPECT_EQ(*platform::ListFiles(scratch.Path(), "*.txt"), std::vector<std::string>{"A.TXT"});
  EXPECT_TRUE(platform::ListEntries(scratch.Path(), "*.none")->empty());
  EXPECT_FALSE(platform::ListEntries(scratch / "nowhere", "*.txt").ok());

  EXPECT_EQ(platform::EntryKindOf(scratch / "A.TXT"), platform::EntryKind::kRegular);
  EXPECT_EQ(platform::EntryKindOf(scratch / "gone.txt"), platform::EntryKind::kMissing);
  EXPECT_EQ(platform::BaseName("in\\sub/a.txt"), "a.txt");
  EXPECT_EQ(platform::BaseName("in\\a.txt"), "a.txt");
  EXPECT_EQ(platform::JoinPath("in\\", "a.txt"), "in\\a.txt");
}

TEST(FilesWin32, OnlyARegularFileIsOpenedForReadingOrMoved) {
  ScratchDirectory scratch;
  WriteFile(scratch / "a.txt", std::string("packet\r\n\x1a bytes", 15));
  fs::create_directory(scratch / "sub.txt");

  platform::EntryKind kind = platform::EntryKind::kOther;
  auto reader = platform::RegularFileReader::Open(scratch / "a.txt", kind);
  ASSERT_TRUE(reader.ok()) << reader.error().message();
  EXPECT_EQ(kind, platform::EntryKind::kRegular);
  uint8_t buffer[64];
  auto got = reader->Read(buffer, sizeof buffer);
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), *got),
            std::string("packet\r\n\x1a bytes", 15))
      << "read in binary: no CR LF folding, no end at Ctrl+Z";
  EXPECT_EQ(*reader->Read(buffer, sizeof buffer), 0u);
  // The reader does not keep the incoming directory from moving the file.
  EXPECT_FALSE(platform::MoveClosedFileReplacing(scratch / "a.txt", scratch / "b.txt"));

  EXPECT_FALSE(platform::RegularFileReader::Open(scratch / "sub.txt", kind).ok());
  EXPECT_EQ(kind, platform::EntryKind::kDirectory);
  EXPECT_FALSE(platform::RegularFileReader::Open(scratch / "gone.txt", kind).ok());
  EXPECT_EQ(platform::MoveClosedFileReplacing(scratch / "sub.txt", scratch / "moved").value(),
            EINVAL);
  EXPECT_TRUE(fs::is_directory(scratch / "sub.txt"));
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "platform/change_notification.h"
#include "platform/directory.h"
#include "platform/event.h"
#include "platform/files.h"
#include "platform/wait_set.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using platform::DirectoryCreation;
using platform::WaitStatus;

constexpr auto kPrompt = 5000ms;

// A fresh directory under base, removed with its content at the end.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const fs::path& base = fs::temp_directory_path()) {
    static std::atomic<int> sequence{0};
    path_ = base / ("korvane_files_" + std::to_string(std::random_device{}()) + "_" +
                    std::to_string(sequence++));
    fs::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }

 private:
  fs::path path_;
};

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Directory, CreateTellsParentMissingFromAlreadyExists) {
  ScratchDirectory scratch;
  const auto created = platform::CreateDirectory(scratch / "inc");
  EXPECT_EQ(created.outcome, DirectoryCreation::kCreated);
  EXPECT_TRUE(fs::is_directory(scratch / "inc"));

  const auto again = platform::CreateDirectory(scratch / "inc");
  EXPECT_EQ(again.outcome, DirectoryCreation::kAlreadyExists);
  EXPECT_EQ(again.error.value(), EEXIST);

  const auto orphan = platform::CreateDirectory(scratch / "missing/inc");
  EXPECT_EQ(orphan.outcome, DirectoryCreation::kParentMissing);
  EXPECT_FALSE(fs::exists(scratch / "missing"));
}

TEST(Directory, ListsRegularFilesMatchingThePattern) {
  ScratchDirectory scratch;
  WriteFile(scratch / "a.txt", "1");
  WriteFile(scratch / "~~~~~.txt", "1");
  WriteFile(scratch / "B.TXT", "1");
  WriteFile(scratch / "c.txt.part", "1");
  WriteFile(scratch / "d.bin", "1");
  fs::create_directory(scratch / "sub.txt");

  auto names = platform::ListFiles(scratch.Path(), "*.txt");
  ASSERT_TRUE(names.ok()) << names.error().message();
  std::sort(names->begin(), names->end());
  EXPECT_EQ(*names, (std::vector<std::string>{"B.TXT", "a.txt", "~~~~~.txt"}));

  EXPECT_FALSE(platform::ListFiles(scratch / "nowhere", "*.txt").ok());
}

TEST(Directory, JoinPathAddsOneSeparator) {
  EXPECT_EQ(platform::JoinPath("in", "a.txt"), "in/a.txt");
  EXPECT_EQ(platform::JoinPath("in/", "a.txt"), "in/a.txt");
  EXPECT_EQ(platform::JoinPath("", "a.txt"), "a.txt");
}

TEST(Files, MoveReplacesTheTargetAndDeleteRemoves) {
  ScratchDirectory scratch;
  WriteFile(scratch / "new.txt", "new content");
  WriteFile(scratch / "old.txt", "old");
  ASSERT_FALSE(platform::MoveFileReplacing(scratch / "new.txt", scratch / "old.txt"));
  EXPECT_FALSE(fs::exists(scratch / "new.txt"));
  EXPECT_EQ(ReadFile(scratch / "old.txt"), "new content");

  EXPECT_EQ(platform::MoveFileReplacing(scratch / "new.txt", scratch / "x.txt").value(), ENOENT);

  ASSERT_FALSE(platform::DeleteFile(scratch / "old.txt"));
  EXPECT_FALSE(fs::exists(scratch / "old.txt"));
  EXPECT_EQ(platform::DeleteFile(scratch / "old.txt").value(), ENOENT);
}

TEST(Files, MoveWorksAcrossFileSystems) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no second file system at /dev/shm";
  ScratchDirectory memory("/dev/shm");
  ScratchDirectory disk;
  std::error_code probe;
  WriteFile(memory / "probe", "");
  fs::rename(memory / "probe", disk / "probe", probe);
  if (probe != std::errc::cross_device_link) GTEST_SKIP() << "/dev/shm is on the same file system";

  std::string content(200000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  WriteFile(memory / "packet.txt", content);
  WriteFile(disk / "packet.txt", "older");
  ASSERT_FALSE(platform::MoveFileReplacing(memory / "packet.txt", disk / "packet.txt"));
  EXPECT_FALSE(fs::exists(memory / "packet.txt"));
  EXPECT_EQ(ReadFile(disk / "packet.txt"), content);
  // Nothing of the copy is left beside the target.
  EXPECT_EQ(std::distance(fs::directory_iterator(disk.Path()), fs::directory_iterator()), 1);
}

TEST(Files, MoveClosedRefusesAFileOpenForWriting) {
  if (ReadFile("/proc/sys/fs/leases-enable") == "0\n") GTEST_SKIP() << "leases are disabled";
  ScratchDirectory scratch;
  WriteFile(scratch / "target.txt", "old");
  auto writer = std::make_unique<std::ofstream>(scratch / "packet.txt", std::ios::binary);
  *writer << "header" << std::flush;

  EXPECT_EQ(platform::MoveClosedFileReplacing(scratch / "packet.txt", scratch / "target.txt").value(),
            EBUSY);
  EXPECT_EQ(ReadFile(scratch / "target.txt"), "old");

  *writer << " and bytes";
  writer.reset();
  std::ifstream reader(scratch / "packet.txt");  // readers do not hold the move back
  ASSERT_FALSE(platform::MoveClosedFileReplacing(scratch / "packet.txt", scratch / "target.txt"));
  EXPECT_FALSE(fs::exists(scratch / "packet.txt"));
  EXPECT_EQ(ReadFile(scratch / "target.txt"), "header and bytes");

  EXPECT_EQ(platform::MoveClosedFileReplacing(scratch / "packet.txt", scratch / "x.txt").value(),
            ENOENT);
}

TEST(Files, RenameNoReplaceKeepsAnExistingTarget) {
  ScratchDirectory scratch;
  WriteFile(scratch / "a.txt", "a");
  WriteFile(scratch / "b.txt", "b");
  EXPECT_EQ(platform::RenameNoReplace(scratch / "a.txt", scratch / "b.txt").value(), EEXIST);
  EXPECT_EQ(ReadFile(scratch / "a.txt"), "a");
  EXPECT_EQ(ReadFile(scratch / "b.txt"), "b");

  ASSERT_FALSE(platform::RenameNoReplace(scratch / "a.txt", scratch / "c.txt"));
  EXPECT_FALSE(fs::exists(scratch / "a.txt"));
  EXPECT_EQ(ReadFile(scratch / "c.txt"), "a");
}

TEST(ChangeNotification, SignalsACompleteFileOnceAndAgainAfterRearm) {
  ScratchDirectory scratch;
  ScratchDirectory elsewhere;
  auto watch = platform::ChangeNotification::Watch(scratch.Path());
  ASSERT_TRUE(watch.ok()) << watch.error().message();
  platform::ChangeNotification& notification = **watch;
  EXPECT_EQ(notification.Wait(0ms), WaitStatus::kTimedOut);

  WriteFile(scratch / "~~~~~.txt", "1");  // written and closed
  EXPECT_EQ(notification.Wait(kPrompt), WaitStatus::kSignalled);
  EXPECT_EQ(notification.Wait(0ms), WaitStatus::kTimedOut) << "the wait takes the change";

  ASSERT_FALSE(notification.Rearm());
  WriteFile(elsewhere / "a.txt", "packet");
  fs::rename(elsewhere / "a.txt", scratch / "a.txt");  // moved in
  EXPECT_EQ(notification.Wait(kPrompt), WaitStatus::kSignalled);
}

TEST(ChangeNotification, WaitsInASetAndFailsForAMissingDirectory) {
  ScratchDirectory scratch;
  auto notification = *platform::ChangeNotification::Watch(scratch.Path());
  auto stop = *platform::Event::Create(platform::Event::Kind::kManualReset);
  platform::WaitSet set;
  set.Add(*stop);
  set.Add(*notification);
  WriteFile(scratch / "a.txt", "1");
  const auto woken = set.Wait(kPrompt);
  EXPECT_EQ(woken.status, WaitStatus::kSignalled);
  EXPECT_EQ(woken.position, 1u);

  EXPECT_FALSE(platform::ChangeNotification::Watch(scratch / "missing").ok());
  fs::remove_all(scratch.Path());
  EXPECT_TRUE(notification->Rearm()) << "re-arming a removed directory must fail";
}

}  // namespace

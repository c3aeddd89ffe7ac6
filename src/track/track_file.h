#pragma once
// A file written under a temporary name beside its final one ("<name>.part")
// and renamed into place when whole: the final name never holds half a file,
// however the run ends, and a file already there is replaced only by a
// whole one.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

class TrackFile {
 public:
  explicit TrackFile(std::filesystem::path path);
  // Removes the temporary file unless Commit renamed it.
  ~TrackFile();
  TrackFile(const TrackFile&) = delete;
  TrackFile& operator=(const TrackFile&) = delete;

  // Creates (or empties) the temporary file; false with Error() set.
  bool Open();
  std::ostream& Stream() { return stream_; }
  // Closes the temporary file and renames it to the final name; false with
  // Error() set (the temporary file is then removed).
  bool Commit();

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path TemporaryPath() const;
  uint64_t Bytes() const { return bytes_; }
  const std::string& Error() const { return error_; }

 private:
  void Discard();

  std::filesystem::path path_;
  std::ofstream stream_;
  bool opened_ = false;
  uint64_t bytes_ = 0;
  std::string error_;
};

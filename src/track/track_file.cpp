#include "track/track_file.h"

#include <system_error>

TrackFile::TrackFile(std::filesystem::path path) : path_(std::move(path)) {}

TrackFile::~TrackFile() { Discard(); }

std::filesystem::path TrackFile::TemporaryPath() const {
  std::filesystem::path temporary = path_;
  temporary += ".part";
  return temporary;
}

void TrackFile::Discard() {
  if (!opened_) return;
  opened_ = false;
  stream_.close();
  std::error_code ignored;
  std::filesystem::remove(TemporaryPath(), ignored);
}

bool TrackFile::Open() {
  stream_.open(TemporaryPath(), std::ios::binary | std::ios::trunc);
  if (!stream_) {
    error_ = "Can not create the file '" + TemporaryPath().string() + "'";
    return false;
  }
  opened_ = true;
  return true;
}

bool TrackFile::Commit() {
  if (!opened_) return false;
  stream_.flush();
  const std::streamoff written = stream_.tellp();
  stream_.close();
  if (!stream_ || written < 0) {
    error_ = "Can not write the file '" + TemporaryPath().string() + "'";
    Discard();
    return false;
  }
  std::error_code failure;
  std::filesystem::rename(TemporaryPath(), path_, failure);
  if (failure) {
    error_ = "Can not rename '" + TemporaryPath().string() + "' to '" + path_.string() +
             "': " + failure.message();
    Discard();
    return false;
  }
  opened_ = false;
  bytes_ = static_cast<uint64_t>(written);
  return true;
}

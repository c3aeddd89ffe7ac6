#pragma once
// CaptureFile: the records of a pcap or pcapng file, read with libpcap,
// from a path or from bytes in memory. Owns the libpcap handle.

#include <pcap/pcap.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "capture/capture_events.h"

namespace capture {

struct CaptureRecord {
  CaptureTime time;
  std::span<const uint8_t> bytes;  // valid until the next Read
  uint32_t length = 0;             // of the frame on the wire; more than bytes when cut
};

class CaptureFile {
 public:
  // Null with `error` set when the file cannot be opened or is no capture.
  static std::unique_ptr<CaptureFile> Open(const std::string& path, std::string& error);
  // The bytes must outlive the CaptureFile.
  static std::unique_ptr<CaptureFile> OpenBytes(std::span<const uint8_t> bytes, std::string& error);

  ~CaptureFile();
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;

  enum class Next { kRecord, kEnd, kDamaged };
  // kDamaged: Error() says why; nothing more can be read.
  Next Read(CaptureRecord& record);

  int LinkType() const;
  // The capture's snap length: no record holds more bytes of its frame.
  int SnapLength() const;
  std::string Error() const;
  // Bytes of the file read so far, and its size.
  uint64_t Position() const;
  uint64_t Size() const { return size_; }

 private:
  CaptureFile(pcap_t* handle, uint64_t size) : handle_(handle), size_(size) {}

  pcap_t* handle_;
  uint64_t size_;
};

}  // namespace capture

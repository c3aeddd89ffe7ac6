#include "capture/capture_file.h"

#include <cstdio>
#include <filesystem>

#include "platform/memory_file.h"

namespace capture {

std::unique_ptr<CaptureFile> CaptureFile::Open(const std::string& path, std::string& error) {
  std::error_code ignored;
  const std::uintmax_t size = std::filesystem::file_size(path, ignored);
  char message[PCAP_ERRBUF_SIZE] = {};
  pcap_t* handle = pcap_open_offline(path.c_str(), message);
  if (handle == nullptr) {
    error = message;
    return nullptr;
  }
  return std::unique_ptr<CaptureFile>(
      new CaptureFile(handle, size == static_cast<std::uintmax_t>(-1) ? 0 : size));
}

std::unique_ptr<CaptureFile> CaptureFile::OpenBytes(std::span<const uint8_t> bytes, std::string& error) {
  platform::UniqueFile stream = platform::OpenMemoryStream(bytes);
  if (stream == nullptr) {
    error = "cannot read the capture from memory";
    return nullptr;
  }
  char message[PCAP_ERRBUF_SIZE] = {};
  pcap_t* handle = pcap_fopen_offline(stream.get(), message);
  if (handle == nullptr) {
    error = message;
    return nullptr;
  }
  stream.release();  // pcap_close closes it
  return std::unique_ptr<CaptureFile>(new CaptureFile(handle, bytes.size()));
}

CaptureFile::~CaptureFile() { pcap_close(handle_); }

CaptureFile::Next CaptureFile::Read(CaptureRecord& record) {
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  const int result = pcap_next_ex(handle_, &header, &data);
  if (result == PCAP_ERROR_BREAK) return Next::kEnd;
  if (result != 1) return Next::kDamaged;
  record.time = {static_cast<int64_t>(header->ts.tv_sec), static_cast<uint32_t>(header->ts.tv_usec)};
  record.bytes = {data, header->caplen};
  record.length = header->len;
  return Next::kRecord;
}

int CaptureFile::LinkType() const { return pcap_datalink(handle_); }

int CaptureFile::SnapLength() const { return pcap_snapshot(handle_); }

std::string CaptureFile::Error() const { return pcap_geterr(handle_); }

uint64_t CaptureFile::Position() const {
  const long position = std::ftell(pcap_file(handle_));
  return position < 0 ? 0 : static_cast<uint64_t>(position);
}

}  // namespace capture

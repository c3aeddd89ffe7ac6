#pragma once
// A C stream (FILE*) that reads bytes held in memory, for libraries that
// read only from streams (libpcap's pcap_fopen_offline). The bytes must
// outlive the stream.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>

namespace platform {

struct FileCloser {
  void operator()(std::FILE* file) const;
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Null (errno set) when the stream cannot be made. An empty span gives a
// stream at its end.
UniqueFile OpenMemoryStream(std::span<const uint8_t> bytes);

}  // namespace platform

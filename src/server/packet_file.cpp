#include "server/packet_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>

#include "util/text.h"

namespace {

constexpr std::size_t kHeaderLines = 4;
// A line with its line end fits in 63 bytes: the 64-byte line area keeps one
// byte for the terminating zero.
constexpr std::size_t kLineBytes = 63;
constexpr std::size_t kChunkBytes = 1024;
static_assert(kHeaderLines * kLineBytes <= kChunkBytes);

// The length of the next line at data: up to and including its '\n', at most
// kLineBytes, or up to the end. 0 when nothing is left.
std::size_t LineLength(const uint8_t* data, std::size_t size) {
  const std::size_t limit = std::min(size, kLineBytes);
  const auto* end = std::find(data, data + limit, uint8_t{'\n'});
  return end == data + limit ? limit : static_cast<std::size_t>(end - data) + 1;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipSpace(std::string_view text, std::size_t& at) {
  while (at < text.size() && IsSpace(text[at])) ++at;
}

// The run of decimal digits at `at`, which moves past it; empty when none.
// Runs are never converted, so no length can overflow.
std::string_view TakeDigits(std::string_view text, std::size_t& at) {
  const std::size_t start = at;
  while (at < text.size() && IsDigit(text[at])) ++at;
  return text.substr(start, at - start);
}

// Line 1: a number after optional white space.
bool IsSequenceLine(std::string_view text) {
  std::size_t at = 0;
  SkipSpace(text, at);
  return !TakeDigits(text, at).empty();
}

// Line 3: two numbers separated by white space, the second of value 4 or 2
// (leading zeros allowed). What follows the second number is not looked at.
bool IsFormatLine(std::string_view text) {
  std::size_t at = 0;
  SkipSpace(text, at);
  if (TakeDigits(text, at).empty()) return false;
  SkipSpace(text, at);
  std::string_view second = TakeDigits(text, at);
  second.remove_prefix(std::min(second.find_first_not_of('0'), second.size()));
  return second == "4" || second == "2";
}

}  // namespace

std::optional<std::size_t> PacketFileHeaderLength(const uint8_t* data, std::size_t size) {
  if (data == nullptr) size = 0;
  std::size_t offset = 0;
  for (std::size_t line = 1; line <= kHeaderLines; ++line) {
    const std::size_t length = LineLength(data + offset, size - offset);
    if (length == 0) return std::nullopt;
    // A zero byte would end the text for C string functions; it is neither
    // white space nor a digit, so the checks below stop at it all the same.
    const std::string_view text(reinterpret_cast<const char*>(data + offset), length);
    if (line == 1 && !IsSequenceLine(text)) return std::nullopt;
    if (line == 3 && !IsFormatLine(text)) return std::nullopt;
    offset += length;
  }
  return offset;
}

PacketFileStream::Opened PacketFileStream::Open(const std::string& path, std::size_t headLimit,
                                               platform::EntryKind& kind) {
  head_.clear();
  file_.reset();
  auto opened = platform::RegularFileReader::Open(path, kind);
  if (!opened) {
    return kind == platform::EntryKind::kRegular ? Opened::kCannotOpen : Opened::kNotRegular;
  }
  file_.emplace(std::move(*opened));

  // The header lines take at most kHeaderLines * kLineBytes bytes, so they lie
  // within the first chunk; the rest of that chunk is the first packet bytes.
  uint8_t chunk[kChunkBytes];
  std::size_t got = 0;
  while (got < sizeof chunk) {
    auto read = file_->Read(chunk + got, sizeof chunk - got);
    if (!read || *read == 0) break;
    got += *read;
  }
  const std::optional<std::size_t> header = PacketFileHeaderLength(chunk, got);
  if (!header) return Opened::kUnusable;
  head_.assign(chunk + *header, chunk + got);
  if (head_.size() > headLimit) {
    // Bytes read beyond the head cannot be put back; a head limit below one
    // chunk is not used by any caller.
    headLimit = head_.size();
  }
  std::vector<uint8_t> more;
  while (head_.size() < headLimit) {
    ReadMore(more, headLimit - head_.size());
    if (more.empty()) break;
    head_.insert(head_.end(), more.begin(), more.end());
  }
  return head_.empty() ? Opened::kUnusable : Opened::kOk;
}

void PacketFileStream::ReadMore(std::vector<uint8_t>& chunk, std::size_t limit) {
  chunk.resize(limit);
  std::size_t got = 0;
  while (file_ && got < limit) {
    auto read = file_->Read(chunk.data() + got, limit - got);
    if (!read || *read == 0) break;
    got += *read;
  }
  chunk.resize(got);
}

uint32_t ReadPacketFile(const char* path, std::vector<uint8_t>& buffer) {
  buffer.clear();
  if (path == nullptr) return 0;
  PacketFileStream stream;
  platform::EntryKind kind;
  if (stream.Open(path, kChunkBytes, kind) != PacketFileStream::Opened::kOk) return 0;
  buffer = std::move(stream.Head());
  std::vector<uint8_t> chunk;
  for (;;) {
    stream.ReadMore(chunk, 64 * kChunkBytes);
    if (chunk.empty()) break;
    buffer.insert(buffer.end(), chunk.begin(), chunk.end());
  }
  return static_cast<uint32_t>(buffer.size());
}

std::string PacketFileHeader(uint32_t sequence, const std::string& recipient,
                             uint32_t unixSeconds) {
  return StringPrintf("%.6u\r\n", sequence) + recipient + "\r\n1 4\r\n" +
         StringPrintf("%u\r\n", unixSeconds);
}

std::string OutgoingFileName(const std::optional<platform::SystemTime>& time,
                             unsigned recordDigit, const std::string& rcpNum) {
  const std::string stamp =
      time ? StringPrintf("%.4u%.2u%.2u%.2u%.2u%.2u", time->year, time->month, time->day,
                          time->hour, time->minute, time->second)
           : std::string("00000000000000");
  return stamp + StringPrintf("%u", recordDigit) + "_" + rcpNum + ".txt";
}

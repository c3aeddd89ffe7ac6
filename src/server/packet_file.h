#pragma once
// Packet files: the format of the incoming and outgoing directories. Four
// text lines ending in "\r\n" (sequence number, recipient, "1 4", unix
// seconds), then the raw packet bytes up to the end of the file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/directory.h"
#include "platform/files.h"
#include "platform/system_time.h"

// Reads a packet file: four header lines, then the raw packet bytes. Empties
// `buffer` and appends the packet bytes to it (read in chunks of 1,024 bytes);
// returns their count. 0: the path is null, names no regular file (a link is
// not followed), the file cannot be opened for raw
// reading, a header line is missing or breaks its rule, or no packet bytes follow.
//
// Header lines are taken as a C line reader with a 64-byte area takes them: a
// line ends after its '\n' or after 63 bytes, whichever comes first, so a longer
// line counts as several lines. Line 1 begins (after white space) with a run of
// decimal digits of any length; line 2 and line 4 hold anything; line 3 holds two
// runs of decimal digits separated by white space, the second of value 4 or 2.
uint32_t ReadPacketFile(const char* path, std::vector<uint8_t>& buffer);

// A packet file read as a stream, so that memory does not grow with its
// size: Open checks the header lines and keeps the first packet bytes (at
// most `headLimit`); ReadMore then gives the rest in chunks. Only a regular
// file is read: no symbolic link is followed and a FIFO is never waited on.
class PacketFileStream {
 public:
  enum class Opened {
    kOk,          // Head() holds at least one packet byte
    kNotRegular,  // `kind` tells what the name is
    kCannotOpen,
    kUnusable,    // header lines broken, or no packet bytes
  };

  Opened Open(const std::string& path, std::size_t headLimit, platform::EntryKind& kind);

  const std::vector<uint8_t>& Head() const { return head_; }
  std::vector<uint8_t>& Head() { return head_; }

  // Fills `chunk` with the next packet bytes after the head; empty at the
  // end of the file (or when it cannot be read further).
  void ReadMore(std::vector<uint8_t>& chunk, std::size_t limit);

 private:
  std::optional<platform::RegularFileReader> file_;
  std::vector<uint8_t> head_;
};

// The same header-line rules over bytes in memory: the offset of the first packet
// byte, or std::nullopt when the header lines are unusable.
std::optional<std::size_t> PacketFileHeaderLength(const uint8_t* data, std::size_t size);

// The four header lines of an outgoing file: "%.6u\r\n" sequence, recipient then
// "\r\n", "1 4\r\n", "%u\r\n" unix seconds.
std::string PacketFileHeader(uint32_t sequence, const std::string& recipient, uint32_t unixSeconds);

// "%.4u%.2u%.2u%.2u%.2u%.2u" (year, month, day, hour, minute, second) or
// "00000000000000" when time is nullopt, then the single digit `recordDigit` with
// "%u", "_", rcpNum, ".txt".
std::string OutgoingFileName(const std::optional<platform::SystemTime>& time,
                             unsigned recordDigit, const std::string& rcpNum);

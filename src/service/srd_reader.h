#pragma once
// Bounded reading of subrecord data (SRD) for the decoders of the
// standard's further subrecords, and the check texts they share.
//
// SrdReader never reads past the size it was given: a decoder first works
// out how many bytes its flags require, refuses a shorter SRL with
// EGTS_PC_INVDATALEN, and only then reads. A read beyond the end still
// returns 0 instead of touching memory, so a wrong length sum in a decoder
// gives wrong values, never a stray read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/field_list.h"
#include "service/field_report.h"

namespace EGTS {

class Subrecord_Class;

class SrdReader {
 public:
  SrdReader(const uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}

  std::size_t Left() const { return size_ - position_; }
  const uint8_t* Here() const { return data_ + position_; }

  uint8_t U8() { return static_cast<uint8_t>(Take(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
  uint32_t U24() { return static_cast<uint32_t>(Take(3)); }
  uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
  // The rest of the data as raw bytes.
  std::vector<uint8_t> Rest();

 private:
  // n little-endian bytes (n <= 4); 0 when fewer are left.
  uint64_t Take(std::size_t n);

  const uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Adds the check for an SRL below what the flags require and tells whether
// the data is long enough.
bool RequireLength(std::vector<std::string>& checks, std::size_t srl, std::size_t required);

// Adds "N bytes after the last field" when bytes were left unread.
void CheckTrailing(std::vector<std::string>& checks, std::size_t left);

// Adds "reserved bits ... of <what> are set" when value has any of mask set.
void CheckReserved(std::vector<std::string>& checks, const char* what, uint32_t value,
                   uint32_t mask);


// The number of set bits in a presence mask.
unsigned CountBits(uint32_t mask);

}  // namespace EGTS

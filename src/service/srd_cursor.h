#pragma once
// Reading the SRD of a subrecord field by field, and the check texts the
// decoders of the standard's subrecords share.
//
// SrdCursor never reads past the bytes it was given: a decoder works out
// how many bytes its flags require and refuses a shorter SRL with
// EGTS_PC_INVDATALEN (or asks Has(n)) before it reads; the readers
// themselves give the bytes that are left as the low bytes, then zeros, so a
// mistake in a caller shows as wrong values, never as a read out of bounds.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "service/field_list.h"
#include "service/field_report.h"
#include "service/subrecord_class.h"

namespace EGTS {

class SrdCursor {
 public:
  SrdCursor(const uint8_t* srd, std::size_t srl) : data_(srd), size_(srd == nullptr ? 0 : srl) {}

  std::size_t Remaining() const { return size_ - offset_; }
  bool Has(std::size_t n) const { return Remaining() >= n; }
  const uint8_t* Here() const { return data_ + offset_; }

  uint8_t U8() { return static_cast<uint8_t>(Take(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
  uint32_t U24() { return Take(3); }
  uint32_t U32() { return Take(4); }
  // n bytes as they are sent; fewer when fewer remain.
  std::string Raw(std::size_t n);
  // The rest of the data as raw bytes.
  std::vector<uint8_t> Rest();

  // A string ended by a NUL byte, without the NUL. Notes in checks a string
  // that runs to the end of the data without its NUL, and one longer than
  // maxLength bytes (0: no limit).
  std::string Terminated(const char* name, std::size_t maxLength,
                         std::vector<std::string>& checks);

 private:
  // n little-endian bytes (n <= 4).
  uint32_t Take(std::size_t n) {
    if (!Has(n)) return TakeShort();
    uint32_t value = 0;
    for (std::size_t i = 0; i < n; ++i) value |= static_cast<uint32_t>(data_[offset_ + i]) << (8 * i);
    offset_ += n;
    return value;
  }
  // The bytes that are left, as the low bytes of a value.
  uint32_t TakeShort();

  const uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

// Decode's reason for result 139 when the SRL is below what the fields
// need: "SRL 4 is shorter than the 5 bytes its fields need".
std::string TooShortCheck(uint16_t srl, std::size_t need);

// Adds TooShortCheck for an SRL below what the flags require and tells
// whether the data is long enough.
bool RequireLength(std::vector<std::string>& checks, std::size_t srl, std::size_t required);

// Adds "N bytes after the last field" when bytes remain.
void CheckNothingLeft(std::size_t remaining, std::vector<std::string>& checks);

// Adds "reserved bit 7 of FLG is set" (or "reserved bits 5, 6 of VHT are
// set") for the bits of value inside reservedMask.
void CheckReservedBits(uint32_t value, uint32_t reservedMask, const char* field,
                       std::vector<std::string>& checks);

// A fixed-width field of decimal digits (IMEI, IMSI, MSISDN): digits, or
// digits followed by NUL padding (noted as such), or bytes that are not
// digits (noted).
void CheckDigits(const char* field, const std::string& bytes, std::vector<std::string>& checks);

// The number of set bits in a presence mask.
unsigned CountBits(uint32_t mask);

// CP-1251 bytes up to the first NUL, as UTF-8.
std::string TextUpToNul(const std::string& bytes);

// "2.34" of 0x0222: a version word with the major number in the high byte
// and the minor number in the low byte.
std::string VersionText(uint16_t version);

// A flag of a flag byte as its own field: 0 or 1, labelled with its
// abbreviation under the line of its byte.
Field FlagField(const char* name, uint32_t value, unsigned bit);

// A bit field shown as its bit string: "10000011b".
Field BitsField(const char* name, const char* label, uint32_t value, unsigned width);


// Clone of a concrete subrecord class; null when memory runs out.
template <typename T>
std::unique_ptr<Subrecord_Class> CloneOf(const T& subrecord) {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) T(subrecord));
}

}  // namespace EGTS

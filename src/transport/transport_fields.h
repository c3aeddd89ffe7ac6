#pragma once
// The transport header's fields declared once, in the order they are shown:
// the JSON of a packet and the text report both walk this table.

#include <cstdint>
#include <span>
#include <string_view>

#include "transport/result_codes.h"
#include "transport/transport_header.h"

struct TransportField {
  enum class Shown : uint8_t {
    kDecimal,   // "%u"
    kFlags,     // the flags byte: its bits, then in hex
    kBits,      // `width` bits, `offset` columns into the flags' bits
    kHex,       // "0x%.2X"
    kNothing,   // a line with a label only
  };
  // How far the check read the header before it gave its result.
  enum class Read : uint8_t {
    kFlags,     // the first three bytes, whatever the result
    kLengths,   // HL to PT: unless the version or prefix was refused
    kAll,       // routing and HCS: unless the header length was wrong or cut
  };
  // Whether the field belongs to a routed header, one without routing, or
  // either.
  enum class Route : uint8_t { kEither, kRouted, kUnrouted };

  // The JSON key, letters only; empty: the text report's only.
  std::string_view name;
  const char* label;  // the text report's label; null: JSON's only
  uint32_t (*value)(const TransportHeader&);
  Shown shown = Shown::kDecimal;
  Read read = Read::kLengths;
  Route route = Route::kEither;
  uint8_t offset = 0;
  uint8_t width = 0;
  const char* const* names = nullptr;  // kBits: a name for each value after it
};

std::span<const TransportField> TransportFields();

// Whether a header checked with `result` has the field, as far as the check
// read it (a header of fewer than 11 bytes has none).
inline bool TransportFieldRead(const TransportField& field, unsigned result,
                               const TransportHeader& header) {
  using Read = TransportField::Read;
  using Route = TransportField::Route;
  if (field.route != Route::kEither && (field.route == Route::kRouted) != header.RTE()) {
    return false;
  }
  switch (field.read) {
    case Read::kFlags: return true;
    case Read::kLengths: return result != EGTS::EGTS_PC_UNS_PROTOCOL;
    case Read::kAll:
      return result != EGTS::EGTS_PC_UNS_PROTOCOL && result != EGTS::EGTS_PC_INC_HEADERFORM &&
             result != EGTS::EGTS_PC_INVDATALEN;
  }
  return false;
}

#pragma once
// Encodes an ECallMessage in unaligned PER, the layout msd_decoder.h
// describes: the bytes a RAW_MSD_DATA subrecord carries after its format
// byte. Extension bits are always 0.
//
// For every valid message m, DecodeMsd(EncodeMsd(m)) gives m back; for
// every canonical encoding b (DEFAULT items left out when they hold their
// default), EncodeMsd(DecodeMsd(b)) gives b back.

#include <cstdint>
#include <string>
#include <vector>

#include "service/ecall/msd.h"

namespace EGTS::Msd {

struct EncodeOptions {
  // Send DEFAULT items that hold their default (the propulsion booleans
  // that are FALSE, coordinateSystemType wgs84) rather than leave them out;
  // some units do so, and both forms decode alike.
  bool explicitDefaults = false;
};

struct MsdEncoding {
  std::vector<uint8_t> octets;
  std::string error;  // empty when the message could be encoded
};

MsdEncoding EncodeMsd(const ECallMessage& message, EncodeOptions options = {});

}  // namespace EGTS::Msd

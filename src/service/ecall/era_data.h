#pragma once
// The ERA-GLONASS additional data, the content of AdditionalData's data
// octets under the relative OID 1.4.1 (MSD v1) or 1.4.2 (MSD v2), in
// unaligned PER padded to whole octets:
//
//   ERAAdditionalData ::= SEQUENCE {
//     crashSeverity INTEGER(0..2047) OPTIONAL,
//     diagnosticResult DiagnosticResult OPTIONAL,   -- 21 x BOOLEAN OPTIONAL
//     crashInfo CrashInfo OPTIONAL,                 -- 8 x BOOLEAN OPTIONAL
//     coordinateSystemType CoordinateSystemType DEFAULT wgs84,  -- 1.4.2 only
//     ... }
//   CoordinateSystemType ::= ENUMERATED { wgs84(1), pz90(2) }
//
// Bits: extension 1, presence 3 (1.4.1) or 4 (1.4.2); crashSeverity 11;
// DiagnosticResult 21 presence bits then one value bit per present flag;
// CrashInfo 8 presence bits then values; coordinateSystemType 1 (0 wgs84).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "service/ecall/msd.h"

namespace EGTS::Msd {

struct EraDecoding {
  // Empty when the bits end before the root components do.
  std::optional<ERAAdditionalData> era;
  std::vector<std::string> findings;
};

EraDecoding DecodeEraData(const std::vector<uint8_t>& octets, EraForm form);

// Appends the encoding of `era` in the given form (not kNone) to `out`,
// padded to whole octets. With explicitDefaults a coordinateSystemType of
// wgs84 is sent rather than left out. Empty text on success, else what
// cannot be encoded.
std::string EncodeEraData(const ERAAdditionalData& era, EraForm form, bool explicitDefaults,
                          std::vector<uint8_t>& out);

}  // namespace EGTS::Msd

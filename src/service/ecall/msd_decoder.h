#pragma once
// Decodes the raw MSD of an emergency call (the bytes after the format byte
// of RAW_MSD_DATA): an ECallMessage in unaligned PER, versions 1, 2 and 3,
// with the ERA-GLONASS additional data.
//
// Why hand-written rather than generated: Debian packages no PER library
// for C or C++, and asn1c's generated code (dozens of files and a runtime)
// would need one module per MSD version, a second decode for the v2/v3
// OCTET STRING (CONTAINING ...), and proof that its RELATIVE-OID and
// extensible ENUMERATED support is right. The schema is small and fixed
// (about thirty fields of known widths), and a conformance report needs
// what generated decoders do not give: the field where a bit string ends,
// what came before it, and every irregularity that still decodes. The
// encoder (msd_encoder.h) writes the same layout and the tests compare it
// with an independent ASN.1 toolchain (Erlang's asn1ct).
//
// Layout (bits, most significant first, no alignment):
//   msdVersion 8; v2/v3: the msd OCTET STRING's length (8 bits below 128,
//   16 bits "10" + 14 up to 16383) and its octets, which hold:
//   MSDMessage: extension 1, optionalAdditionalData present 1
//   MSDStructure: extension 1, presence of N1, N2, passengers 3 (v3: of
//     the passengers only, N1 and N2 being mandatory)
//   messageIdentifier 8; automaticActivation 1, testCall 1,
//   positionCanBeTrusted 1; vehicleType: extension 1, index 4 (v3: 5)
//   VIN 17 x 6 (index into kVinAlphabet)
//   propulsion: extension 1, 6 (v1) or 7 presence bits, one value bit for
//     each present item (an encoder may send the DEFAULT FALSE items or not)
//   timestamp 32; latitude 32, longitude 32 (value + 2^31); direction 8
//   N1, N2: 10 + 10 each (value + 512); passengers 8
//   AdditionalData: length + RELATIVE-OID octets, length + data octets
// then zero bits to the end of the octet.
//
// The decoder reads no byte beyond the size it is given, and it stops where
// a bit string ends, where an extension bit announces additions it does not
// know, or at a length in fragments; everything decoded before stays.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/ecall/msd.h"

namespace EGTS::Msd {

// The parts of an ECallMessage in wire order; a decoding holds every part
// before the one it reached.
enum class MsdPart : uint8_t {
  kMsdVersion,
  kMsdLength,   // v2/v3: the length of the msd OCTET STRING
  kMsdMessage,  // its extension and presence bits
  kMsdStructure,
  kMessageIdentifier,
  kAutomaticActivation,
  kTestCall,
  kPositionCanBeTrusted,
  kVehicleType,
  kVehicleIdentificationNumber,
  kVehiclePropulsionStorageType,
  kTimestamp,
  kPositionLatitude,
  kPositionLongitude,
  kVehicleDirection,
  kRecentVehicleLocationN1,
  kRecentVehicleLocationN2,
  kNumberOfPassengers,
  kOptionalAdditionalData,
  kComplete,
};

// The ASN.1 name of a part ("optionalAdditionalData"; the passengers by
// the version's name).
const char* MsdPartName(MsdPart part, uint8_t msdVersion);

struct MsdDecoding {
  ECallMessage message;
  MsdPart reached = MsdPart::kMsdVersion;
  bool additionalDataAnnounced = false;       // MSDMessage's presence bit
  uint32_t msdLength = 0;                     // v2/v3: the OCTET STRING's length as sent
  size_t bits = 0;                            // bits of the whole ECallMessage read
  size_t octets = 0;                          // bytes given to the decoder
  std::vector<uint8_t> additionalDataOctets;  // the data octets as received
  std::vector<std::string> findings;          // what the decoding itself found

  bool Has(MsdPart part) const { return part < reached; }
  bool Complete() const { return reached == MsdPart::kComplete; }
};

MsdDecoding DecodeMsd(const uint8_t* data, size_t size);

}  // namespace EGTS::Msd

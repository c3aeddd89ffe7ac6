#include "service/ecall/era_data.h"

#include <array>

#include "service/ecall/bit_reader.h"
#include "service/ecall/bit_writer.h"
#include "util/text.h"

namespace EGTS::Msd {

namespace {

constexpr unsigned kCrashSeverityBits = 11;

unsigned PresenceBits(EraForm form) { return form == EraForm::kMsdV2 ? 4 : 3; }

// A SEQUENCE of BOOLEAN OPTIONAL: N presence bits, then the present values.
template <size_t N>
bool ReadFlags(BitReader& in, std::array<std::optional<bool>, N>& flags) {
  std::array<bool, N> present{};
  for (bool& bit : present) {
    if (!in.ReadBit(bit)) return false;
  }
  for (size_t i = 0; i < N; ++i) {
    flags[i].reset();
    bool value = false;
    if (!present[i]) continue;
    if (!in.ReadBit(value)) return false;
    flags[i] = value;
  }
  return true;
}

template <size_t N>
void WriteFlags(BitWriter& out, const std::array<std::optional<bool>, N>& flags) {
  for (const auto& flag : flags) out.WriteBit(flag.has_value());
  for (const auto& flag : flags) {
    if (flag) out.WriteBit(*flag);
  }
}

// The root components; false, naming the component, where the bits end.
bool ReadRoot(BitReader& in, EraForm form, bool& extended, ERAAdditionalData& era,
              const char*& endedIn) {
  endedIn = "eraAdditionalData";
  uint32_t presence = 0;
  if (!in.ReadBit(extended) || !in.Read(PresenceBits(form), presence)) return false;
  const unsigned shift = PresenceBits(form) - 1;
  uint32_t value = 0;
  if (presence & (1u << shift)) {
    endedIn = "crashSeverity";
    if (!in.Read(kCrashSeverityBits, value)) return false;
    era.crashSeverity = static_cast<uint16_t>(value);
  }
  if (presence & (1u << (shift - 1))) {
    endedIn = "diagnosticResult";
    if (!ReadFlags(in, era.diagnosticResult.emplace())) return false;
  }
  if (presence & (1u << (shift - 2))) {
    endedIn = "crashInfo";
    if (!ReadFlags(in, era.crashInfo.emplace())) return false;
  }
  if (form == EraForm::kMsdV2 && (presence & 1u)) {
    endedIn = "coordinateSystemType";
    bool pz90 = false;
    if (!in.ReadBit(pz90)) return false;
    era.coordinateSystemType = pz90 ? CoordinateSystemType::pz90 : CoordinateSystemType::wgs84;
  }
  return true;
}

}  // namespace

EraDecoding DecodeEraData(const std::vector<uint8_t>& octets, EraForm form) {
  EraDecoding decoding;
  BitReader in(octets.data(), octets.size());
  ERAAdditionalData era;
  bool extended = false;
  const char* endedIn = "";
  if (!ReadRoot(in, form, extended, era, endedIn)) {
    decoding.findings.push_back(
        StringPrintf("eraAdditionalData truncated in %s after %zu bits: its data is shown as bytes",
                     endedIn, in.Position()));
    return decoding;
  }
  decoding.era = era;
  if (extended) {
    decoding.findings.push_back(
        "extension bit of eraAdditionalData set: its additions are not decoded");
    return decoding;
  }
  if (in.PaddingValue() != 0) {
    decoding.findings.push_back(
        StringPrintf("padding bits of eraAdditionalData are not zero (%s)",
                     BitString(in.PaddingValue(), in.PaddingBits()).c_str()));
  }
  const size_t used = (in.Position() + 7) / 8;
  if (octets.size() > used) {
    decoding.findings.push_back(ByteCountText(octets.size() - used) + " after eraAdditionalData");
  }
  return decoding;
}

std::string EncodeEraData(const ERAAdditionalData& era, EraForm form, bool explicitDefaults,
                          std::vector<uint8_t>& out) {
  if (form == EraForm::kNone) return "eraAdditionalData needs the OID 1.4.1 or 1.4.2";
  if (era.crashSeverity && *era.crashSeverity > kMaxCrashSeverity) {
    return "crashSeverity is above 2047";
  }
  const bool pz90 = era.coordinateSystemType == CoordinateSystemType::pz90;
  if (pz90 && form != EraForm::kMsdV2) {
    return "coordinateSystemType pz90 needs the OID 1.4.2";
  }
  if (era.coordinateSystemType != CoordinateSystemType::wgs84 && !pz90) {
    return "coordinateSystemType is neither wgs84 nor pz90";
  }
  BitWriter bits;
  bits.WriteBit(false);  // no extension additions
  bits.WriteBit(era.crashSeverity.has_value());
  bits.WriteBit(era.diagnosticResult.has_value());
  bits.WriteBit(era.crashInfo.has_value());
  const bool sendCoordinates = form == EraForm::kMsdV2 && (pz90 || explicitDefaults);
  if (form == EraForm::kMsdV2) bits.WriteBit(sendCoordinates);
  if (era.crashSeverity) bits.Write(*era.crashSeverity, kCrashSeverityBits);
  if (era.diagnosticResult) WriteFlags(bits, *era.diagnosticResult);
  if (era.crashInfo) WriteFlags(bits, *era.crashInfo);
  if (sendCoordinates) bits.WriteBit(pz90);
  out.insert(out.end(), bits.Octets().begin(), bits.Octets().end());
  return std::string();
}

}  // namespace EGTS::Msd

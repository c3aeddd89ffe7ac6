#include "service/teledata/subrecord_ext_pos_data.h"

#include <new>
#include <tuple>

#include "service/srd_cursor.h"
#include "service/value_text.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr uint8_t kReservedFlags = 0xE0;
constexpr uint16_t kKnownSystems = 0x00FF;

constexpr const char* kSystemNames[] = {"GLONASS", "GPS",   "Galileo", "Compass",
                                        "Beidou",  "DORIS", "IRNSS",   "QZSS"};

std::string SystemsText(uint16_t ns) {
  std::string text;
  for (unsigned bit = 0; bit < 8; ++bit) {
    if (!(ns & (1u << bit))) continue;
    if (!text.empty()) text += ", ";
    text += kSystemNames[bit];
  }
  return text;
}

void AddDilution(FieldList& fields, const char* name, const char* decoded, const char* label,
                 uint16_t value) {
  const double dilution = value / 100.0;
  fields.push_back(Field::Unsigned(name, value)
                       .Label(label)
                       .Shown(std::to_string(value) + " (" + ScaledText(value, 2) + ")"));
  fields.push_back(Field::Real(decoded, dilution, 2));
}

}  // namespace

uint8_t Subrecord_EXT_POS_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (!RequireLength(checks, srl, 1)) return EGTS_PC_INVDATALEN;
  FLG = srd[0];
  const std::size_t required =
      1 + (VFE() ? 2 : 0) + (HFE() ? 2 : 0) + (PFE() ? 2 : 0) + (SFE() ? 1 : 0) + (NSFE() ? 2 : 0);
  if (!RequireLength(checks, srl, required)) return EGTS_PC_INVDATALEN;
  SrdCursor in(srd + 1, srl - 1u);
  if (VFE()) VDOP = in.U16();
  if (HFE()) HDOP = in.U16();
  if (PFE()) PDOP = in.U16();
  if (SFE()) SAT = in.U8();
  if (NSFE()) NS = in.U16();
  CheckNothingLeft(in.Remaining(), checks);
  CheckReservedBits(FLG, kReservedFlags, "FLG", checks);
  CheckReservedBits(NS, static_cast<uint16_t>(~kKnownSystems), "NS", checks);
  return EGTS_PC_OK;
}

void Subrecord_EXT_POS_DATA::Report(std::string* target) const { ReportDescribed(*this, target); }

void Subrecord_EXT_POS_DATA::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("FLG", FLG).Label("Flags").Shown(BitString(FLG, 8) + "b"));
  fields.push_back(Field::Unsigned("NSFE", NSFE()).Label("  NS Exists"));
  fields.push_back(Field::Unsigned("SFE", SFE()).Label("  SAT Exists"));
  fields.push_back(Field::Unsigned("PFE", PFE()).Label("  PDOP Exists"));
  fields.push_back(Field::Unsigned("HFE", HFE()).Label("  HDOP Exists"));
  fields.push_back(Field::Unsigned("VFE", VFE()).Label("  VDOP Exists"));
  if (VFE()) AddDilution(fields, "VDOP", "vdop", "VDOP", VDOP);
  if (HFE()) AddDilution(fields, "HDOP", "hdop", "HDOP", HDOP);
  if (PFE()) AddDilution(fields, "PDOP", "pdop", "PDOP", PDOP);
  if (SFE()) fields.push_back(Field::Unsigned("SAT", SAT).Label("Satellites"));
  if (NSFE()) {
    const std::string systems = SystemsText(NS);
    fields.push_back(
        Field::Unsigned("NS", NS)
            .Label("Navigation Systems")
            .Shown(BitString(NS, 16) + "b" + (systems.empty() ? "" : " (" + systems + ")")));
    fields.push_back(Field::Text("NS_name", systems));
  }
}

bool Subrecord_EXT_POS_DATA::WriteFields(FieldSink& sink) const {
  sink.Unsigned("FLG", FLG);
  sink.Unsigned("NSFE", NSFE());
  sink.Unsigned("SFE", SFE());
  sink.Unsigned("PFE", PFE());
  sink.Unsigned("HFE", HFE());
  sink.Unsigned("VFE", VFE());
  for (const auto& [present, name, decoded, value] :
       {std::tuple{VFE(), "VDOP", "vdop", VDOP}, std::tuple{HFE(), "HDOP", "hdop", HDOP},
        std::tuple{PFE(), "PDOP", "pdop", PDOP}}) {
    if (!present) continue;
    sink.Unsigned(name, value);
    sink.Real(decoded, value / 100.0, 2);
  }
  if (SFE()) sink.Unsigned("SAT", SAT);
  if (NSFE()) {
    sink.Unsigned("NS", NS);
    const std::string systems = SystemsText(NS);
    sink.Text("NS_name", systems.data(), systems.size());
  }
  return true;
}

std::unique_ptr<Subrecord_Class> Subrecord_EXT_POS_DATA::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_EXT_POS_DATA(*this));
}

}  // namespace EGTS

#include "service/firmware/firmware_object.h"

#include <algorithm>

#include "transport/checksum.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kMaxFileNameLength = 64;
constexpr uint8_t kReservedOa = 0xF0;
constexpr std::size_t kShownObjectBytes = 16;

const char* const kObjectTypeNames[] = {"firmware", "configuration", nullptr, nullptr};
const char* const kModuleTypeNames[] = {"peripheral", "terminal", nullptr, nullptr};

uint16_t ObjectCrc(const std::string& od) {
  return Crc16(reinterpret_cast<const uint8_t*>(od.data()), static_cast<uint16_t>(od.size()));
}

Field NamedTwoBits(const char* name, unsigned value, const char* const names[4]) {
  const char* text = names[value];
  return Field::Unsigned(name, value)
      .Label(std::string("    ") + name)
      .Shown(BitString(value, 2) + "b" + (text ? std::string(" (") + text + ")" : ""));
}

}  // namespace

void ObjectDataHeader::Decode(SrdCursor& in, std::vector<std::string>& checks) {
  OA = in.U8();
  CMI = in.U8();
  VER = in.U16();
  WOS = in.U16();
  FN = in.Terminated("FN", kMaxFileNameLength, checks);
  CheckReservedBits(OA, kReservedOa, "OA", checks);
  if (kObjectTypeNames[OT()] == nullptr) {
    checks.push_back(StringPrintf("OT %u is not a known object type", OT()));
  }
  if (kModuleTypeNames[MT()] == nullptr) {
    checks.push_back(StringPrintf("MT %u is not a known module type", MT()));
  }
}

Field ObjectDataHeader::Describe(const std::string& od, bool wholeObject) const {
  FieldList members;
  members.push_back(BitsField("OA", "Object Attribute", OA, 8));
  members.push_back(NamedTwoBits("OT", OT(), kObjectTypeNames));
  if (kObjectTypeNames[OT()]) members.push_back(Field::Text("OT_name", kObjectTypeNames[OT()]));
  members.push_back(NamedTwoBits("MT", MT(), kModuleTypeNames));
  if (kModuleTypeNames[MT()]) members.push_back(Field::Text("MT_name", kModuleTypeNames[MT()]));
  members.push_back(Field::Unsigned("CMI", CMI).Label("Component ID"));
  members.push_back(Field::Unsigned("VER", VER).Label("Version").Shown(
      StringPrintf("0x%.4X (%s)", unsigned{VER}, VersionText(VER).c_str())));
  members.push_back(Field::Text("VER_text", VersionText(VER)));
  std::string wosShown = StringPrintf("0x%.4X", unsigned{WOS});
  if (wholeObject) {
    const uint16_t crc = ObjectCrc(od);
    wosShown += crc == WOS ? " (matches the object data)"
                           : StringPrintf(" (the object data gives 0x%.4X)", unsigned{crc});
    members.push_back(Field::Unsigned("od_crc16", crc));
  }
  members.push_back(Field::Unsigned("WOS", WOS).Label("Object Signature").Shown(wosShown));
  members.push_back(Field::Text("FN", TextUpToNul(FN)).Label("File Name"));
  return Field::Object("ODH", std::move(members)).Label("Object Data Header");
}

void CheckObjectCrc(uint16_t wos, const std::string& od, std::vector<std::string>& checks) {
  const uint16_t crc = ObjectCrc(od);
  if (crc == wos) return;
  checks.push_back(StringPrintf("WOS 0x%.4X is not the check sum 0x%.4X of the object data",
                                unsigned{wos}, unsigned{crc}));
}

void DescribeObjectData(const std::string& od, FieldList& fields) {
  const std::size_t shown = std::min(od.size(), kShownObjectBytes);
  const auto* bytes = reinterpret_cast<const uint8_t*>(od.data());
  fields.push_back(Field::Unsigned("od_length", od.size()));
  fields.push_back(Field::Bytes("OD", bytes, od.size())
                       .Label("Object Data")
                       .Shown(StringPrintf("%zu bytes%s%s", od.size(), shown ? ": " : "",
                                           HexText(bytes, shown).c_str()) +
                              (shown < od.size() ? "..." : "")));
}

}  // namespace EGTS

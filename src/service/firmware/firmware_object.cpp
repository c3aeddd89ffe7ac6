#include "service/firmware/firmware_object.h"

#include <algorithm>

#include "transport/checksum.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kShownObjectBytes = 16;

const char* const kObjectTypeNames[] = {"firmware", "configuration"};
const char* const kModuleTypeNames[] = {"peripheral", "terminal"};

}  // namespace

uint16_t ObjectCrc(const std::string& od) {
  return Crc16(reinterpret_cast<const uint8_t*>(od.data()), static_cast<uint16_t>(od.size()));
}

const char* ObjectTypeName(uint32_t ot) { return ot < 2 ? kObjectTypeNames[ot] : nullptr; }

const char* ModuleTypeName(uint32_t mt) { return mt < 2 ? kModuleTypeNames[mt] : nullptr; }

std::string TwoBitsShown(uint32_t value, const char* name) {
  return BitString(value, 2) + "b" + (name ? std::string(" (") + name + ")" : "");
}

std::string ObjectSignatureShown(uint16_t wos, bool wholeObject, const std::string& od) {
  std::string shown = StringPrintf("0x%.4X", unsigned{wos});
  if (!wholeObject) return shown;
  const uint16_t crc = ObjectCrc(od);
  return shown + (crc == wos ? " (matches the object data)"
                             : StringPrintf(" (the object data gives 0x%.4X)", unsigned{crc}));
}

std::string ObjectDataShown(const std::string& od) {
  const std::size_t shown = std::min(od.size(), kShownObjectBytes);
  const auto* bytes = reinterpret_cast<const uint8_t*>(od.data());
  return StringPrintf("%zu bytes%s%s", od.size(), shown ? ": " : "",
                      HexText(bytes, shown).c_str()) +
         (shown < od.size() ? "..." : "");
}

void CheckObjectCrc(uint16_t wos, const std::string& od, std::vector<std::string>& checks) {
  const uint16_t crc = ObjectCrc(od);
  if (crc == wos) return;
  checks.push_back(StringPrintf("WOS 0x%.4X is not the check sum 0x%.4X of the object data",
                                unsigned{wos}, unsigned{crc}));
}

}  // namespace EGTS

#include "service/value_text.h"

#include <cmath>

namespace EGTS {

std::string ScaledText(uint64_t units, unsigned decimals) {
  uint64_t scale = 1;
  for (unsigned i = 0; i < decimals; ++i) scale *= 10;
  std::string text = std::to_string(units / scale);
  if (decimals == 0) return text;
  std::string fraction = std::to_string(units % scale);
  text += '.';
  text.append(decimals - fraction.size(), '0');
  return text + fraction;
}

std::string DegreesText(double degrees) {
  const long long micro = std::llround(std::fabs(degrees) * 1e6);
  const std::string text = ScaledText(static_cast<uint64_t>(micro), 6);
  return (degrees < 0 && micro != 0) ? "-" + text : text;
}

std::string CodeText(unsigned value, const char* name) {
  std::string text = std::to_string(value);
  if (name != nullptr) text += std::string(" (") + name + ")";
  return text;
}

}  // namespace EGTS

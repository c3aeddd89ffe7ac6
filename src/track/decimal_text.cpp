#include "track/decimal_text.h"

#include <charconv>

std::string DecimalText(double value, int places) {
  char text[400];  // the longest double in fixed notation, and its places
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, places);
  if (result.ec != std::errc()) return "0";
  std::string decimal(text, result.ptr);
  if (decimal.find('.') != std::string::npos) {
    decimal.erase(decimal.find_last_not_of('0') + 1);
    if (decimal.back() == '.') decimal.pop_back();
  }
  return decimal == "-0" ? "0" : decimal;
}

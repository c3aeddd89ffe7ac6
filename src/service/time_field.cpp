#include "service/time_field.h"

#include "util/utc_time.h"

namespace EGTS {

Field IsoTimeField(std::string name, int64_t unixSeconds, int milliseconds) {
  std::string text = IsoUtcText(unixSeconds, milliseconds);
  if (text.empty()) return Field::Null(std::move(name));
  return Field::Text(std::move(name), std::move(text));
}

}  // namespace EGTS

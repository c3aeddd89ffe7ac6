#include "service/record_fields.h"

namespace EGTS {

namespace {

using Shown = RecordField::Shown;
using View = RecordHeaderView;

template <typename T>
std::optional<uint32_t> Widened(const std::optional<T>& field) {
  if (!field) return std::nullopt;
  return uint32_t{*field};
}

constexpr RecordField kFields[] = {
    {"RL", "Record Length", [](const View& v) { return Widened(v.RL); }},
    {"RN", "Record Number", [](const View& v) { return Widened(v.RN); }},
    {"RFL", "Record Flags", [](const View& v) { return Widened(v.RFL); }, Shown::kFlags},
    {"SSOD", "  SSOD", [](const View& v) { return Widened(v.RFL); }, Shown::kBits, 7, 1, true},
    {"RSOD", "  RSOD", [](const View& v) { return Widened(v.RFL); }, Shown::kBits, 6, 1, true},
    {"GRP", "  GRP", [](const View& v) { return Widened(v.RFL); }, Shown::kBits, 5, 1, true},
    {"RPP", "  RPP", [](const View& v) { return Widened(v.RFL); }, Shown::kBits, 3, 2, true},
    {"OBFE", nullptr, [](const View& v) { return Widened(v.RFL); }, Shown::kBits, 0, 1},
    {"EVFE", nullptr, [](const View& v) { return Widened(v.RFL); }, Shown::kBits, 1, 1},
    {"TMFE", nullptr, [](const View& v) { return Widened(v.RFL); }, Shown::kBits, 2, 1},
    {"OID", "Object ID", [](const View& v) { return Widened(v.OID); }},
    {"EVID", "Event ID", [](const View& v) { return Widened(v.EVID); }},
    {"TM", "Time", [](const View& v) { return Widened(v.TM); }, Shown::kTime, 0, 0, false, "time"},
    {"SST", "Source Service", [](const View& v) { return Widened(v.SST); }, Shown::kService},
    {"RST", "Recipient Service", [](const View& v) { return Widened(v.RST); }, Shown::kService, 0,
     0, false, "service"},
};

// The JSON writes the keys as they are.
constexpr bool LettersOnly(std::string_view name) {
  for (const char c : name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}
constexpr bool KeysLettersOnly() {
  for (const RecordField& field : kFields) {
    if (!LettersOnly(field.name) || !LettersOnly(field.decoded)) return false;
  }
  return true;
}
static_assert(KeysLettersOnly());

}  // namespace

std::span<const RecordField> RecordFields() { return kFields; }

}  // namespace EGTS

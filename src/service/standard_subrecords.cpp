#include "service/standard_subrecords.h"

#include <new>

#include "service/subrecord_types.h"

namespace EGTS {

namespace {

template <typename T>
std::unique_ptr<Subrecord_Class> Make() {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) T);
}

bool Matches(SrlRule rule, uint16_t srl) {
  switch (rule) {
    case SrlRule::kAny: return true;
    case SrlRule::kExactly5: return srl == 5;
    case SrlRule::kNot5: return srl != 5;
  }
  return false;
}

constexpr StandardSubrecord kStandardSubrecords[] = {
    // AUTH service rows go here.
    // TELEDATA service rows go here.
    // FIRMWARE service rows go here.
    {0, 0, SrlRule::kAny, nullptr, nullptr},  // end of the table
};

}  // namespace

const StandardSubrecord* FindStandardSubrecord(uint8_t rst, uint16_t srt, uint16_t srl) {
  for (const StandardSubrecord& row : kStandardSubrecords) {
    if (row.make != nullptr && row.rst == rst && row.srt == srt && Matches(row.rule, srl)) {
      return &row;
    }
  }
  return nullptr;
}

bool StandardServiceKnown(uint8_t rst) {
  switch (rst) {
    case EGTS_AUTH_SERVICE:
    case EGTS_TELEDATA_SERVICE:
    case EGTS_COMMANDS_SERVICE:
    case EGTS_FIRMWARE_SERVICE:
    case EGTS_ECALL_SERVICE:
    case EGTS_LOGGER_SERVICE:
    case EGTS_NIP_SERVICE:
    case EGTS_SMS_SERVICE:
      return true;
    default:
      return false;
  }
}

}  // namespace EGTS

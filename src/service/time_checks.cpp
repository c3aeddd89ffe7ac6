#include "service/time_checks.h"

#include "util/text.h"
#include "util/utc_time.h"

namespace EGTS {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr uint64_t kLargestEgts = uint64_t{1} << 40;

// "dd.mm.yyyy hh:mm:ss GMT", the way the reports write a date.
std::string DateText(int64_t unixSeconds) {
  UtcDateTime t;
  if (!ToUtcDateTime(unixSeconds, t))
    return StringPrintf("%lld", static_cast<long long>(unixSeconds));
  return StringPrintf("%.2u.%.2u.%.4u %.2u:%.2u:%.2u GMT", t.day, t.month, t.year, t.hour, t.minute,
                      t.second);
}

}  // namespace

std::string TimeCheckText(const std::string& name, int64_t unixSeconds, int64_t receptionUnix) {
  if (unixSeconds < kEgtsEpochOffset) {
    return name + " " + DateText(unixSeconds) + " is before 01.01.2010";
  }
  if (unixSeconds > receptionUnix + kSecondsPerDay) {
    return name + " " + DateText(unixSeconds) + " is more than one day after the reception";
  }
  return std::string();
}

std::string NearReceptionCheckText(const std::string& name, int64_t unixSeconds,
                                   int64_t receptionUnix) {
  if (unixSeconds < receptionUnix - kSecondsPerDay) {
    return name + " " + DateText(unixSeconds) + " is more than one day before the reception";
  }
  if (unixSeconds > receptionUnix + kSecondsPerDay) {
    return name + " " + DateText(unixSeconds) + " is more than one day after the reception";
  }
  return std::string();
}

void AppendTimeChecks(const FieldList& fields, int64_t receptionUnix,
                      std::vector<std::string>& checks) {
  for (const Field& field : fields) {
    if (field.egtsTime && field.kind == Field::Kind::kUnsigned) {
      // An EGTS time counts from 2010; the sum is taken in 64 bits, as the
      // field report shows it.
      // Wider values than a u32 are held back so that the sum cannot
      // overflow; they are far in the future either way.
      const uint64_t egts = field.unsignedValue > kLargestEgts ? kLargestEgts : field.unsignedValue;
      const int64_t unixSeconds = static_cast<int64_t>(egts) + kEgtsEpochOffset;
      std::string text = TimeCheckText(field.name, unixSeconds, receptionUnix);
      if (!text.empty()) checks.push_back(std::move(text));
    }
    if (field.unixTime && field.kind == Field::Kind::kUnsigned && field.unsignedValue != 0 &&
        field.unsignedValue <= 0xFFFFFFFFu) {
      std::string text = NearReceptionCheckText(
          field.name, static_cast<int64_t>(field.unsignedValue), receptionUnix);
      if (!text.empty()) checks.push_back(std::move(text));
    }
    AppendTimeChecks(field.members, receptionUnix, checks);
  }
}

}  // namespace EGTS

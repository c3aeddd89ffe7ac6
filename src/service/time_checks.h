#pragma once
// Plausibility of the EGTS times a subrecord carries, judged against the
// moment its packet was received. The texts are plain sentences so that the
// text report and the JSON can show the same ones.

#include <cstdint>
#include <string>
#include <vector>

#include "service/field_list.h"

namespace EGTS {

// The complaint about one time (Unix seconds) named `name`, or an empty
// text when it is plausible: a time before 2010-01-01 00:00:00 UTC, or more
// than one day after `receptionUnix`, is not.
std::string TimeCheckText(const std::string& name, int64_t unixSeconds, int64_t receptionUnix);

// The complaint about a time (Unix seconds) that should lie near the
// reception, such as an emergency call's: more than one day before or
// after `receptionUnix`; an empty text otherwise.
std::string NearReceptionCheckText(const std::string& name, int64_t unixSeconds,
                                   int64_t receptionUnix);

// Walks the fields, members of objects and arrays included, and appends a
// text to `checks` for every field marked egtsTime whose time is not
// plausible, and for every field marked unixTime (other than 0, unknown)
// that is not near the reception.
void AppendTimeChecks(const FieldList& fields, int64_t receptionUnix,
                      std::vector<std::string>& checks);

}  // namespace EGTS

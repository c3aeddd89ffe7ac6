#pragma once
// The text report of a subrecord made from its field description: one line
// per labelled field, "<indent><label padded to the value column>- <value>",
// members of objects and arrays indented four more, then one line per check:
// "       Check                  - <what>".

#include <cstdint>
#include <string>
#include <vector>

#include "service/field_list.h"
#include "service/subrecord_class.h"

namespace EGTS {

// The value text of a field without a `shown` text of its own.
std::string DefaultShown(const Field& field);

std::string FormatFieldReport(const FieldList& fields, const std::vector<std::string>& checks);

// The report of a class made from its field description and findings: the
// text replaces the target's content, or without a target goes to
// standard output.
// A list of like elements in the text report: its heading underlined; then
// each element, its number at the value column and its lines one step in.
std::string FormatElementsHeading(const std::string& heading);
std::string FormatElement(std::size_t number, const FieldList& fields);

void ReportDescribed(const Subrecord_Class& subrecord, std::string* target);

// "0x%.8X (dd.mm.yyyy hh:mm:ss GMT)", the way reports show an EGTS time.
std::string EgtsTimeShown(uint32_t egtsSeconds);

}  // namespace EGTS

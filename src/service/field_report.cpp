#include "service/field_report.h"

#include "util/text.h"
#include "util/utc_time.h"

namespace EGTS {

namespace {

constexpr std::size_t kIndent = 7;
constexpr std::size_t kValueColumn = 30;  // where "- " begins
constexpr std::size_t kNestedStep = 4;

std::string LabelColumn(std::size_t indent, const std::string& label, bool tight = false) {
  std::string line(indent, ' ');
  line += label;
  if (line.size() < kValueColumn) line.resize(kValueColumn, ' ');
  else if (!tight || line.size() > kValueColumn) line += ' ';
  return line;
}

void AppendFields(std::string& text, const FieldList& fields, std::size_t indent);

void AppendField(std::string& text, const Field& field, std::size_t indent) {
  if (field.label.empty()) return;
  const bool nested = field.kind == Field::Kind::kObject || field.kind == Field::Kind::kArray;
  if (nested && field.shown.empty()) {
    text += std::string(indent, ' ') + field.label + ":\n";
    if (field.kind == Field::Kind::kObject) {
      AppendFields(text, field.members, indent + kNestedStep);
      return;
    }
    unsigned number = 0;
    for (const Field& element : field.members) {
      ++number;
      if (element.kind == Field::Kind::kObject) {
        text += std::string(indent + kNestedStep, ' ') + StringPrintf("%u:\n", number);
        AppendFields(text, element.members, indent + 2 * kNestedStep);
      } else {
        Field shownElement = element;
        if (shownElement.label.empty()) shownElement.label = StringPrintf("%u", number);
        AppendField(text, shownElement, indent + kNestedStep);
      }
    }
    return;
  }
  text += LabelColumn(indent, field.label, field.tightLabel) + "- " +
          (field.shown.empty() && !field.ownShown ? DefaultShown(field) : field.shown) + "\n";
}

void AppendFields(std::string& text, const FieldList& fields, std::size_t indent) {
  for (const Field& field : fields) AppendField(text, field, indent);
}

}  // namespace

std::string DefaultShown(const Field& field) {
  switch (field.kind) {
    case Field::Kind::kNull: return "none";
    case Field::Kind::kUnsigned:
      return StringPrintf("%llu", static_cast<unsigned long long>(field.unsignedValue));
    case Field::Kind::kSigned:
      return StringPrintf("%lld", static_cast<long long>(field.signedValue));
    case Field::Kind::kReal: return StringPrintf("%.*f", field.decimals, field.realValue);
    case Field::Kind::kBool: return field.unsignedValue ? "TRUE" : "FALSE";
    case Field::Kind::kText: {
      std::string quoted(1, '\'');
      quoted += EscapeControls(field.textValue);
      quoted += '\'';
      return quoted;
    }
    case Field::Kind::kBytes:
      return HexText(reinterpret_cast<const uint8_t*>(field.textValue.data()),
                     field.textValue.size());
    case Field::Kind::kObject:
    case Field::Kind::kArray: return "";
  }
  return "";
}

std::string FormatFieldReport(const FieldList& fields, const std::vector<std::string>& checks) {
  std::string text;
  AppendFields(text, fields, kIndent);
  for (const std::string& check : checks) {
    text += LabelColumn(kIndent, "Check") + "- " + EscapeControls(check) + "\n";
  }
  return text;
}

std::string FormatElementsHeading(const std::string& heading) {
  const std::string indent(kIndent, ' ');
  return indent + heading + ":\n" + indent + std::string(heading.size() + 1, '-') + "\n";
}

std::string FormatElement(std::size_t number, const FieldList& fields) {
  std::string text(kValueColumn, ' ');
  text += std::to_string(number) + "\n";
  AppendFields(text, fields, kIndent + kNestedStep);
  return text;
}

void ReportDescribed(const Subrecord_Class& subrecord, std::string* target) {
  FieldList fields;
  subrecord.Describe(fields);
  EmitReportPiece(target, FormatFieldReport(fields, subrecord.checks), true);
}

std::string EgtsTimeShown(uint32_t egtsSeconds) {
  return StringPrintf("0x%.8X (%s)", egtsSeconds, EgtsTimeText(egtsSeconds).c_str());
}

}  // namespace EGTS

// The elements of a declared subrecord: read one after another by their
// own declaration, kept in the room of a class that has them, and shown in
// the text report as a numbered list; and the lines of worked-out values
// that need more than a number. Apart from the rest of the reader so that
// the busy classes' walk over their fields is not weighed down with them.
#include "service/declared_elements.h"

#include <algorithm>
#include <cmath>

#include "service/field_report.h"
#include "service/time_field.h"

namespace EGTS {

namespace {

// A little-endian number of `width` bytes.
uint32_t ReadNumber(const uint8_t* bytes, unsigned width) {
  uint32_t value = 0;
  for (unsigned i = width; i-- > 0;) value = value << 8 | bytes[i];
  return value;
}

// Whether a field of an element is there, by the values read before it.
bool ElementFieldThere(const FieldStep& step, const uint32_t* values) {
  if (step.presentIn >= 0 &&
      ((values[static_cast<std::size_t>(step.presentIn)] >> step.presentBit) & 1u) == 0) {
    return false;
  }
  return step.absentIn < 0 ||
         ((values[static_cast<std::size_t>(step.absentIn)] >> step.absentBit) & 1u) == 0;
}

// A worked-out value: of the subrecord, or of its element at `element`.
double WorkedOut(const DeclaredField& field, const DeclaredSubrecord& subrecord,
                 std::size_t element) {
  return field.workOutAt != nullptr ? field.workOutAt(subrecord, element)
                                    : field.workOut(subrecord);
}

}  // namespace

void AddWorkedTime(const DeclaredSubrecord& subrecord, const DeclaredField& field,
                                     std::size_t element, FieldList& out) {
  // Whole milliseconds: a double holds them exactly.
  const auto milliseconds = static_cast<int64_t>(WorkedOut(field, subrecord, element));
  const int64_t seconds = milliseconds / 1000;
  if (field.decimals == 3) {
    out.push_back(IsoTimeField(field.name, seconds, static_cast<int>(milliseconds % 1000)));
  } else {
    out.push_back(IsoTimeField(field.name, seconds));
  }
}

void AddShownWorkedOut(const DeclaredSubrecord& subrecord,
                                         const DeclaredField& field, std::size_t element,
                                         FieldList& out) {
  const double worked = WorkedOut(field, subrecord, element);
  const char* const name = field.name != nullptr ? field.name : "";  // none: a report line
  const char* const label = field.label != nullptr ? field.label : "";
  if (field.nullName && std::isnan(worked)) {
    out.push_back(Field::Null(name).Label(label));
  } else if (field.decimals != 0) {
    out.push_back(Field::Real(name, worked, field.decimals).Label(label));
  } else {
    out.push_back(Field::Signed(name, static_cast<int64_t>(worked)).Label(label));
  }
}

const Declaration& DeclaredSubrecord::ElementDeclaration() const {
  return *declaration_->fields[static_cast<std::size_t>(declaration_->elementsAt)].element;
}

std::size_t DeclaredSubrecord::ReadElements(std::size_t index, const uint8_t* srd, uint16_t srl,
                                            std::size_t at) {
  const DeclaredField& field = declaration_->fields[index];
  const Declaration& element = *field.element;
  const std::size_t count = element.fields.size();
  // The fields before the first whose presence depends on them say what
  // an element holds; all of that must be there before more is read.
  std::size_t said = 0;
  while (said < count && element.steps[said].presentIn < 0 && element.steps[said].absentIn < 0) {
    ++said;
  }
  const uint32_t wanted = values_[static_cast<std::size_t>(field.lengthIn)];
  std::array<uint32_t, kMaxDeclaredFields + 1> values{};  // the present word last
  uint32_t taken = 0;  // elements read or dropped
  std::vector<uint32_t>* const elements = ElementRoom();
  if (elements == nullptr) return wanted == 0 ? at : kRefused;
  elements->clear();
  for (; taken < wanted && at < srl; ++taken) {
    values.fill(0);
    uint32_t present = 0;
    uint32_t holder = 0;
    std::size_t next = at;
    std::size_t passed = at;  // where a dropped element leaves off
    bool cut = false;
    for (std::size_t j = 0; j < count; ++j) {
      const FieldStep& step = element.steps[j];
      if (j == said) {
        std::size_t rest = 0;
        for (std::size_t later = j; later < count; ++later) {
          const FieldStep& laterStep = element.steps[later];
          if (laterStep.read == FieldRead::kNumber && ElementFieldThere(laterStep, values.data())) {
            rest += laterStep.width;
          }
        }
        passed = next;
        cut = next + rest > srl;
        if (cut) break;
      }
      if (!ElementFieldThere(step, values.data())) continue;
      if (step.read == FieldRead::kNumber) {
        cut = next + step.width > srl;
        if (cut) break;
        holder = ReadNumber(srd + next, step.width);
        values[j] = holder;
        next += step.width;
      } else if (step.read == FieldRead::kPart) {
        values[j] = (holder >> step.bit) & step.mask;
      }
      present |= 1u << j;
    }
    if (cut) {
      if (field.cut == DeclaredField::ElementCut::kEnds) break;
      at = passed;  // dropped
      continue;
    }
    at = next;
    values[count] = present;
    const auto end = values.begin() + static_cast<std::ptrdiff_t>(count) + 1;
    elements->insert(elements->end(), values.begin(), end);
  }
  if (taken < wanted) return kRefused;
  return at;
}

std::size_t DeclaredSubrecord::ElementCount() const {
  const std::span<const uint32_t> values = ElementValues();
  return values.empty() ? 0 : values.size() / ElementStride();
}

std::span<const uint32_t> DeclaredSubrecord::ElementValues() const {
  const std::vector<uint32_t>* const elements = ElementRoom();
  if (declaration_->elementsAt < 0 || elements == nullptr) return {};
  return *elements;
}

uint32_t DeclaredSubrecord::ElementValue(std::size_t element, std::size_t index) const {
  if (element >= ElementCount() || index >= ElementDeclaration().fields.size()) return 0;
  return ElementValues()[element * ElementStride() + index];
}

bool DeclaredSubrecord::ElementPresent(std::size_t element, std::size_t index) const {
  if (element >= ElementCount() || index >= ElementDeclaration().fields.size()) return false;
  return (ElementValues()[element * ElementStride() + ElementStride() - 1] >> index) & 1u;
}

uint32_t DeclaredSubrecord::ElementSum(std::size_t element, std::size_t index) const {
  uint32_t sum = 0;
  for (std::size_t k = 0; k <= element && k < ElementCount(); ++k) sum += ElementValue(k, index);
  return sum;
}

std::size_t DeclaredSubrecord::AddElement() {
  std::vector<uint32_t>* const elements = ElementRoom();
  if (declaration_->elementsAt < 0 || elements == nullptr || !fits_) return 0;
  present_ |= 1u << declaration_->elementsAt;
  elements->resize(elements->size() + ElementStride(), 0u);
  return ElementCount() - 1;
}

void DeclaredSubrecord::SetElement(std::size_t element, std::size_t index, uint32_t value) {
  if (element >= ElementCount() || index >= ElementDeclaration().fields.size()) return;
  uint32_t* const values = ElementRoom()->data() + element * ElementStride();
  SetValue(ElementDeclaration(), index, value, values, values[ElementStride() - 1]);
}

void DeclaredSubrecord::ClearElements() {
  if (std::vector<uint32_t>* const elements = ElementRoom()) elements->clear();
}

std::size_t DeclaredSubrecord::ElementsLength() const {
  const Declaration& element = ElementDeclaration();
  std::size_t length = 0;
  for (std::size_t k = 0; k < ElementCount(); ++k) {
    for (std::size_t j = 0; j < element.fields.size(); ++j) {
      if (ElementPresent(k, j) && element.steps[j].read == FieldRead::kNumber) {
        length += element.steps[j].width;
      }
    }
  }
  return length;
}

std::string DeclaredSubrecord::ElementsReport() const {
  const auto elementsAt = static_cast<std::size_t>(declaration_->elementsAt);
  const DeclaredField& field = declaration_->fields[elementsAt];
  const std::size_t last = ElementDeclaration().fields.size() - 1;
  std::string text = FormatElementsHeading(field.label);
  for (std::size_t k = 0; k < ElementCount(); ++k) {
    FieldList lines;
    DescribeElement(k, Walk::kReport, lines);
    text += FormatElement(k + 1, lines);
    if (field.closing != nullptr && ElementPresent(k, last)) text += field.closing;
  }
  return text;
}

std::string DeclaredSubrecord::ReportWithElements(const FieldList& fields) const {
  if (!Present(static_cast<std::size_t>(declaration_->elementsAt))) {
    return FormatFieldReport(fields, checks);
  }
  return FormatFieldReport(fields, {}) + ElementsReport() + FormatFieldReport({}, checks);
}

void DeclaredSubrecord::AddElementsField(FieldList& fields) const {
  FieldList elements;
  elements.reserve(ElementCount());
  for (std::size_t k = 0; k < ElementCount(); ++k) {
    FieldList members;
    DescribeElement(k, Walk::kJson, members);
    elements.push_back(Field::Object("", std::move(members)));
  }
  const auto elementsAt = static_cast<std::size_t>(declaration_->elementsAt);
  fields.push_back(Field::Array(declaration_->fields[elementsAt].name, std::move(elements)));
}

void DeclaredSubrecord::DescribeElement(std::size_t element, Walk walk, FieldList& fields) const {
  const Declaration& declaration = ElementDeclaration();
  const std::span<const DeclaredField> declared = declaration.fields;
  const bool reordered = walk == Walk::kReport && declaration.reportReordered;
  for (std::size_t at = 0; at < declared.size(); ++at) {
    const std::size_t j = reordered ? declaration.reportOrder[at] : at;
    const DeclaredField& field = declared[j];
    if (!ElementPresent(element, j)) continue;
    if ((walk == Walk::kReport ? field.label : field.name) == nullptr) continue;
    // A flag's bits come from the nearest number before it.
    std::size_t holder = j;
    while (holder > 0 && declaration.steps[holder].read != FieldRead::kNumber) --holder;
    const uint32_t value = ElementValue(element, j);
    const std::size_t first = fields.size();
    if (field.shown == DeclaredField::Shown::kWorkedOut) {
      AddShownWorkedOut(*this, field, element, fields);
    } else if (field.shown == DeclaredField::Shown::kWorkedTime) {
      AddWorkedTime(*this, field, element, fields);
    } else {
      AddFieldOf(declaration, j, value, ElementValue(element, holder), fields);
    }
    if (fields.size() == first) continue;
    if (field.shownAt != nullptr) {
      fields[first].shown = field.shownAt(*this, element, value);
      fields[first].ownShown = true;
    }
    fields[first].tightLabel = field.tightLabel;
  }
}

}  // namespace EGTS

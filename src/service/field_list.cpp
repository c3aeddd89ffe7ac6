#include "service/field_list.h"

namespace EGTS {

namespace {

Field Make(Field::Kind kind, std::string name) {
  Field field;
  field.kind = kind;
  field.name = std::move(name);
  return field;
}

}  // namespace

Field Field::Null(std::string name) { return Make(Kind::kNull, std::move(name)); }

Field Field::Unsigned(std::string name, uint64_t value) {
  Field field = Make(Kind::kUnsigned, std::move(name));
  field.unsignedValue = value;
  return field;
}

Field Field::Signed(std::string name, int64_t value) {
  Field field = Make(Kind::kSigned, std::move(name));
  field.signedValue = value;
  return field;
}

Field Field::Real(std::string name, double value, int decimals) {
  Field field = Make(Kind::kReal, std::move(name));
  field.realValue = value;
  field.decimals = decimals;
  return field;
}

Field Field::Bool(std::string name, bool value) {
  Field field = Make(Kind::kBool, std::move(name));
  field.unsignedValue = value ? 1 : 0;
  return field;
}

Field Field::Text(std::string name, std::string utf8) {
  Field field = Make(Kind::kText, std::move(name));
  field.textValue = std::move(utf8);
  return field;
}

Field Field::Bytes(std::string name, const uint8_t* data, std::size_t size) {
  Field field = Make(Kind::kBytes, std::move(name));
  if (data != nullptr) field.textValue.assign(reinterpret_cast<const char*>(data), size);
  return field;
}

Field Field::Object(std::string name, FieldList members) {
  Field field = Make(Kind::kObject, std::move(name));
  field.members = std::move(members);
  return field;
}

Field Field::Array(std::string name, FieldList members) {
  Field field = Make(Kind::kArray, std::move(name));
  field.members = std::move(members);
  return field;
}

const Field* FindField(const FieldList& fields, const std::string& name) {
  for (const Field& field : fields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

}  // namespace EGTS

#include "service/logger/subrecord_logger_data.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "util/byte_order.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr uint16_t kHeadLength = 13;
constexpr size_t kMaxNameChars = 32;
constexpr size_t kMaxPhoneChars = 23;

// Reads a zero-terminated text of at most maxChars characters from the left
// bytes at p. Returns the bytes it takes (length + 1), or 0 when its zero
// byte is not among those bytes or the text is too long.
size_t ReadText(const uint8_t* p, size_t left, size_t maxChars, std::string& text) {
  const void* zero = std::memchr(p, 0, left);
  if (zero == nullptr) return 0;
  const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - p);
  if (length > maxChars) return 0;
  text.assign(reinterpret_cast<const char*>(p), length);
  return length + 1;
}

void AppendText(bytestream& out, const std::string& text) {
  out.WriteBlock(reinterpret_cast<const uint8_t*>(text.c_str()),
                 static_cast<uint16_t>(text.size() + 1));
}

Field TextField(std::string name, const std::string& cp1251) {
  return Field::Text(std::move(name),
                     Cp1251ToUtf8(reinterpret_cast<const uint8_t*>(cp1251.data()), cp1251.size()));
}

}  // namespace

uint8_t Subrecord_LOGGER_DATA::Encode(bytestream& out) {
  out.AppendByte(Flags);
  out.AppendU32(Value1);
  out.AppendU16(Value2);
  out.AppendByte(Type);
  out.AppendByte(Value3);
  out.AppendU32(Value4);
  AppendText(out, ComponentName);
  AppendText(out, ModuleName);
  AppendText(out, PhoneNumber);
  if (data && data->position != 0) AppendStreamBytes(out, *data);
  return EGTS_PC_OK;
}

uint8_t Subrecord_LOGGER_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl <= 16) return EGTS_PC_INVDATALEN;

  Flags = srd[0];
  Value1 = ReadU32(srd + 1);
  Value2 = ReadU16(srd + 5);
  Type = srd[7];
  Value3 = srd[8];
  Value4 = ReadU32(srd + 9);
  ComponentName.clear();
  ModuleName.clear();
  PhoneNumber.clear();
  data.reset();

  // The texts follow one another; SRD may end after any of them.
  struct TextField {
    std::string* text;
    size_t maxChars;
  };
  const TextField texts[] = {{&ComponentName, kMaxNameChars},
                             {&ModuleName, kMaxNameChars},
                             {&PhoneNumber, kMaxPhoneChars}};
  size_t offset = kHeadLength;
  size_t left = srl - kHeadLength;
  for (const TextField& field : texts) {
    const size_t taken = ReadText(srd + offset, left, field.maxChars, *field.text);
    if (taken == 0) return EGTS_PC_INVDATALEN;
    offset += taken;
    left -= taken;
    if (left == 0) return EGTS_PC_OK;
  }

  try {
    data = std::make_shared<bytestream>();
  } catch (const std::bad_alloc&) {
    data.reset();
    return EGTS_PC_NO_RES_AVAIL;
  }
  data->WriteBlock(srd + offset, static_cast<uint16_t>(left));
  data->AppendByte(0);
  return EGTS_PC_OK;
}

void Subrecord_LOGGER_DATA::Report(std::string* target) const {
  const unsigned dataLength = data ? data->position : 0;
  EmitReportPiece(target,
                  StringPrintf("       Flags                  - %u\n"
                               "       Type                   - %c\n"
                               "       Component Name         - '%s'\n"
                               "       Module Name            - '%s'\n"
                               "       Phone Number           - '%s'\n"
                               "       Data Length            - %u\n",
                               unsigned{Flags}, Type, ComponentName.c_str(), ModuleName.c_str(),
                               PhoneNumber.c_str(), dataLength),
                  true);
}

void Subrecord_LOGGER_DATA::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("FLAGS", Flags));
  fields.push_back(Field::Unsigned("VALUE1", Value1));
  fields.push_back(Field::Unsigned("VALUE2", Value2));
  fields.push_back(Field::Unsigned("TYPE", Type));
  fields.push_back(Field::Text("TYPE_char", Cp1251ToUtf8(&Type, 1)));
  fields.push_back(Field::Unsigned("VALUE3", Value3));
  fields.push_back(Field::Unsigned("VALUE4", Value4));
  fields.push_back(TextField("COMPONENT_NAME", ComponentName));
  fields.push_back(TextField("MODULE_NAME", ModuleName));
  fields.push_back(TextField("PHONE_NUMBER", PhoneNumber));
  // Decode keeps a zero byte after the data bytes; DATA is what the
  // subrecord carried, without it.
  const size_t held = data ? std::min<size_t>(data->position, data->bytes.size()) : 0;
  fields.push_back(held == 0 ? Field::Null("DATA")
                             : Field::Bytes("DATA", data->bytes.data(), held - 1));
}

uint16_t Subrecord_LOGGER_DATA::EncodedLength() const {
  size_t length = 16 + ComponentName.size() + ModuleName.size() + PhoneNumber.size();
  if (data) length += data->position;
  return static_cast<uint16_t>(length);
}

}  // namespace EGTS

#include "service/subrecord_class.h"

#include "transport/result_codes.h"

namespace EGTS {

void* Subrecord_Class::operator new(std::size_t size) {
  if (void* block = TakeSubrecordBlock(size)) return block;
  throw std::bad_alloc();
}

uint8_t Subrecord_Class::Encode(bytestream& out) {
  out.Reset();
  return EGTS_PC_OK;
}

uint8_t Subrecord_Class::Decode(const uint8_t*, uint16_t) { return EGTS_PC_OK; }

uint16_t Subrecord_Class::EncodedLength() const { return 0; }

void Subrecord_Class::Describe(FieldList&) const {}

bool Subrecord_Class::WriteFields(FieldSink&) const { return false; }

std::unique_ptr<Subrecord_Class> Subrecord_Class::Clone() const { return nullptr; }

void EmitReportPiece(std::string* target, const std::string& piece, bool first) {
  if (target == nullptr) return;
  if (first) {
    *target = piece;
  } else {
    target->append(piece);
  }
}

}  // namespace EGTS

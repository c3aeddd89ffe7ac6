#pragma once
// Abstract base of every subrecord class. The five virtual operations keep
// the protocol's slot order: Encode, Decode, Report, destructor,
// EncodedLength.

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "service/field_list.h"
#include "service/field_sink.h"
#include "service/subrecord_blocks.h"
#include "transport/bytestream.h"

namespace EGTS {

class Subrecord_Class {
 public:
  // Filled only for command objects built by the operator console: the
  // device number that becomes the record's OID, and the recipient's phone
  // number used for the outgoing packet file.
  uint32_t DEV_ID = 0;
  std::string RCP_NUM;

  Subrecord_Class() = default;
  Subrecord_Class(const Subrecord_Class&) = default;

  // Objects are made and freed a dozen a packet: their memory is kept for
  // the next (subrecord_blocks.h).
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return TakeSubrecordBlock(size);
  }
  static void operator delete(void* block, std::size_t size) noexcept {
    GiveSubrecordBlock(block, size);
  }
  Subrecord_Class& operator=(const Subrecord_Class&) = default;

  // Appends the subrecord data (SRD, without the 3-byte header) to out.
  // The base resets the stream and writes nothing.
  virtual uint8_t Encode(bytestream& out);

  // Fills the object from srl bytes of SRD. The base reads nothing.
  virtual uint8_t Decode(const uint8_t* srd, uint16_t srl);

  // Formats the report into `target`, replacing its content; a null
  // target takes nothing.
  virtual void Report(std::string* target) const = 0;

  virtual ~Subrecord_Class() = default;

  // Number of bytes Encode would write for the current content.
  virtual uint16_t EncodedLength() const;

  // Beyond the five operations: the decoded content as a field list, for
  // JSON and for the text report of the standard's further subrecords.
  // The base describes nothing.
  virtual void Describe(FieldList& fields) const;

  // The same fields straight to a sink, for a class that can: false (the
  // base) when the caller is to walk Describe's list instead.
  virtual bool WriteFields(FieldSink& sink) const;

  // A copy of the object; the base, and the original eleven classes (which
  // the factory copies by SRT), give none.
  virtual std::unique_ptr<Subrecord_Class> Clone() const;

  // What Decode found wrong in content it could still decode (reserved
  // bits set, bytes after the last field, values outside their table...),
  // one text each. Times are checked against the reception time elsewhere.
  std::vector<std::string> checks;
};

// Delivers one piece of a report: the first piece replaces the target's
// content, later pieces are appended; a null target takes nothing.
void EmitReportPiece(std::string* target, const std::string& piece, bool first);

}  // namespace EGTS

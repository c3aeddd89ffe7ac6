// libFuzzer target: the transport header check, the frame-data parse and
// every subrecord object's Report, Encode, EncodedLength and copy, over
// arbitrary bytes; with the standard's subrecords, the original view of a
// packet against its original parse (their reports must be the same).
//
// The first input byte chooses how the rest is used; with bit 7 set the
// factory also knows the standard's further subrecords (-x), and each
// object's field description and the -x report are made too. Bits 0-6:
//   0: a raw packet, as it would arrive on a connection;
//   1: byte 1 is the packet type, the rest is frame data; the header and
//      both check sums are made valid so the parse gets past them;
//   other: byte 1 is the record's service type, the rest is record data
//      handed to the subrecord factory directly.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "console/service_report.h"
#include "service/field_report.h"
#include "service/record_parser.h"
#include "service/subrecord_factory.h"
#include "service/time_checks.h"
#include "transport/checksum.h"
#include "transport/transport_header.h"

namespace {

EGTS::SubrecordSet set = EGTS::SubrecordSet::kOriginal;

void Exercise(const EGTS::Subrecord_Entry& entry) {
  if (!entry.object) return;
  std::string text;
  entry.object->Report(&text);
  EGTS::FieldList fields;
  entry.object->Describe(fields);
  std::vector<std::string> checks;
  EGTS::AppendTimeChecks(fields, 1700000000, checks);
  text = EGTS::FormatFieldReport(fields, checks);
  EGTS::bytestream out;
  entry.object->Encode(out);
  (void)entry.object->EncodedLength();
  EGTS::Subrecord_Entry copy = entry;
  if (copy.object) copy.object->Report(&text);
}

void ParsePacket(const uint8_t* data, size_t size) {
  const uint16_t count = static_cast<uint16_t>(std::min<size_t>(size, 0xFFFF));
  TransportHeader header;
  if (ValidateTransportHeader(data, count, header) >= 128) return;
  PacketHolder holder;
  PacketHolder view;
  const uint8_t parsed = ParseFrameData(data, count, header, holder, set, &view);
  if (set == EGTS::SubrecordSet::kStandard) {
    (void)FormatServiceLayerReport(parsed, holder, set, 1700000000);
    // The original view must report as the original parse does.
    PacketHolder original;
    const uint8_t alone = ParseFrameData(data, count, header, original);
    const auto report = [](uint8_t result, const PacketHolder& parse) {
      return MalformedRecordAreaText(parse, EGTS::SubrecordSet::kOriginal) +
             FormatServiceLayerReport(result, parse, EGTS::SubrecordSet::kOriginal, 1700000000);
    };
    if (alone != parsed || report(alone, original) != report(parsed, view)) __builtin_trap();
  }
  if (!holder.packet) return;
  (void)holder.packet->FrameDataLength();
  for (const EGTS::Record& record : holder.packet->records) {
    for (const EGTS::Subrecord_Entry& entry : record.subrecords) Exercise(entry);
  }
}

void ParseFrame(const uint8_t* data, size_t size) {
  if (size < 1) return;
  const size_t fdl = std::min<size_t>(size - 1, 0xFFFF - 13);
  std::vector<uint8_t> packet{0x01, 0x00, 0x00, 0x0B, 0x00,
                              static_cast<uint8_t>(fdl & 0xFF), static_cast<uint8_t>(fdl >> 8),
                              0x01, 0x00, data[0]};
  packet.push_back(Crc8(packet.data(), 10));
  packet.insert(packet.end(), data + 1, data + 1 + fdl);
  const uint16_t sfrcs = Crc16(data + 1, static_cast<uint16_t>(fdl));
  packet.push_back(static_cast<uint8_t>(sfrcs & 0xFF));
  packet.push_back(static_cast<uint8_t>(sfrcs >> 8));
  ParsePacket(packet.data(), packet.size());
}

void ParseSubrecords(const uint8_t* data, size_t size) {
  if (size < 1) return;
  EGTS::Record record;
  record.RST = data[0];
  size_t offset = 1;
  while (offset < size) {
    EGTS::Subrecord_Entry entry;
    const size_t available = std::min<size_t>(size - offset, 0xFFFF);
    const uint8_t result =
        EGTS::CreateSubrecord(data + offset, static_cast<uint16_t>(available), record, entry, set);
    // Without -x the first failure ends the record; with it, only a length
    // that leaves the rest unreadable does.
    if (result != 0 && (set == EGTS::SubrecordSet::kOriginal || available < 3u + entry.SRL)) return;
    Exercise(entry);
    offset += 3u + entry.SRL;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  set = (data[0] & 0x80) ? EGTS::SubrecordSet::kStandard : EGTS::SubrecordSet::kOriginal;
  switch (data[0] & 0x7F) {
    case 0: ParsePacket(data + 1, size - 1); break;
    case 1: ParseFrame(data + 1, size - 1); break;
    default: ParseSubrecords(data + 1, size - 1); break;
  }
  return 0;
}

// libFuzzer target: the transport header check, the frame-data parse and
// every subrecord object's Report, Encode, EncodedLength and copy, over
// arbitrary bytes.
//
// The first input byte chooses how the rest is used:
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

#include "service/record_parser.h"
#include "service/subrecord_factory.h"
#include "transport/checksum.h"
#include "transport/transport_header.h"

namespace {

void Exercise(const EGTS::Subrecord_Entry& entry) {
  if (!entry.object) return;
  std::string text;
  entry.object->Report(&text);
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
  ParseFrameData(data, count, header, holder);
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
    if (EGTS::CreateSubrecord(data + offset, static_cast<uint16_t>(available), record, entry) != 0) {
      return;
    }
    Exercise(entry);
    offset += 3u + entry.SRL;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  switch (data[0]) {
    case 0: ParsePacket(data + 1, size - 1); break;
    case 1: ParseFrame(data + 1, size - 1); break;
    default: ParseSubrecords(data + 1, size - 1); break;
  }
  return 0;
}

#include "service/record_parser.h"

#include <algorithm>

#include "service/ecall/msd_comparison.h"
#include "service/subrecord_factory.h"
#include "util/byte_order.h"
#include "transport/checksum.h"
#include "transport/result_codes.h"
#include "util/text.h"

using namespace EGTS;

namespace {

// Reads the type-specific fields at the start of the frame data; sets the
// length of those fields in `typeHeader`.
uint8_t ReadPacketTypeHeader(const uint8_t* frame, uint16_t fdl, PacketHolder& holder,
                             uint16_t& typeHeader) {
  typeHeader = 0;
  switch (holder.type) {
    case EGTS_PT_RESPONSE: {
      if (fdl < 3) return EGTS_PC_INVDATALEN;
      auto& response = static_cast<Packet_Response&>(*holder.packet);
      response.RPID = ReadU16(frame);
      response.PR = frame[2];
      typeHeader = 3;
      return EGTS_PC_OK;
    }
    case EGTS_PT_SIGNED_APPDATA: {
      if (fdl < 2) return EGTS_PC_INVDATALEN;
      auto& signedPacket = static_cast<Packet_Signed_Appdata&>(*holder.packet);
      signedPacket.SIGL = ReadU16(frame);
      if (signedPacket.SIGL > kMaxSignatureLength) return EGTS_PC_INVDATALEN;
      if (2u + signedPacket.SIGL > fdl) return EGTS_PC_INVDATALEN;
      signedPacket.SIGD.assign(frame + 2, frame + 2 + signedPacket.SIGL);
      typeHeader = static_cast<uint16_t>(signedPacket.SIGL + 2);
      return EGTS_PC_OK;
    }
    default:
      return EGTS_PC_OK;
  }
}

bool HasFailingEntry(const Record& record) {
  return !record.subrecords.empty() && record.subrecords.back().result != EGTS_PC_OK;
}

// A record's header as parsed, its result and what it kept of a header cut
// short: the same in both sets.
void CopyRecordHeader(const Record& from, Record& to) {
  to.result = from.result;
  to.headerLength = from.headerLength;
  to.RL = from.RL;
  to.RN = from.RN;
  to.RFL = from.RFL;
  to.OID = from.OID;
  to.EVID = from.EVID;
  to.TM = from.TM;
  to.SST = from.SST;
  to.RST = from.RST;
  to.cutHeader = from.cutHeader;
}

// How many records (whole or not) a walk of the record lengths finds, so
// that the packet's list is allocated once.
std::size_t CountRecords(const uint8_t* area, uint16_t length) {
  std::size_t count = 0;
  uint32_t position = 0;
  while (position < length) {
    ++count;
    if (length - position < 7) break;
    const uint8_t rfl = area[position + 4];
    const uint32_t consumed = RecordHeaderLength(rfl) + ReadU16(area + position);
    position += consumed;
  }
  return count;
}

// How many subrecord headers a walk of the subrecord lengths finds.
std::size_t CountSubrecords(const uint8_t* rd, uint16_t rl) {
  std::size_t count = 0;
  for (uint32_t offset = 0; offset < rl; offset += kSubrecordHeaderLength + ReadU16(rd + offset + 1)) {
    ++count;
    if (rl - offset < kSubrecordHeaderLength) break;
  }
  return count;
}

// A header or a length that runs past the bytes: 131 or 139 of the
// record, or its data cut short.
bool CutShort(uint8_t result, const Record& record) {
  return result == EGTS_PC_INC_HEADERFORM || result == EGTS_PC_INVDATALEN || record.dataCutShort;
}

// The original parse stops at the first failure, so that a failing record,
// or the record of a failing entry, is always the last one. With the
// standard's subrecords only an unreadable length stops it.
bool Stops(uint8_t result, const Record& record, SubrecordSet set) {
  if (result != EGTS_PC_OK) return true;
  return set == SubrecordSet::kOriginal ? HasFailingEntry(record) : !record.subrecordsWhole;
}

// `view`: beside a parse with the standard's subrecords, the original one,
// its entries made from the standard's; it ends where the original stops.
void ParseRecordArea(const uint8_t* area, uint16_t length, Packet& packet, SubrecordSet set,
                     Packet* view) {
  uint32_t position = 0;
  uint32_t remaining = length;
  packet.records.reserve(CountRecords(area, length));
  while (remaining > 0) {
    Record& record = packet.records.emplace_back();  // the failing record included
    Record* viewRecord = view != nullptr ? &view->records.emplace_back() : nullptr;
    const uint8_t result =
        ParseRecord(area + position, static_cast<uint16_t>(remaining), record, set, viewRecord);
    if (CutShort(result, record)) packet.recordAreaCutShort = true;
    if (viewRecord != nullptr) {
      if (CutShort(viewRecord->result, *viewRecord)) view->recordAreaCutShort = true;
      if (Stops(viewRecord->result, *viewRecord, SubrecordSet::kOriginal)) view = nullptr;
    }
    if (Stops(result, record, set)) return;
    const uint32_t consumed = static_cast<uint32_t>(record.headerLength) + record.RL;
    if (consumed == 0 || consumed > remaining) {
      packet.malformedRecordArea = true;
      if (view != nullptr) view->malformedRecordArea = true;
      return;
    }
    position += consumed;
    remaining -= consumed;
  }
}

// The original entry of the standard's `entry` into the view's record; false
// where the original parse stops there.
bool AddOriginalEntry(const uint8_t* bytes, uint16_t available, const Record& record,
                      const Subrecord_Entry& entry, bool readable, Record& view) {
  Subrecord_Entry& original = view.subrecords.emplace_back();
  if (CreateOriginalEntry(bytes, available, record, entry, original) != EGTS_PC_OK) {
    view.subrecordsWhole = false;
    view.dataCutShort = !readable;
    return false;
  }
  if (readable) return true;
  view.subrecords.pop_back();
  view.result = EGTS_PC_INVDATALEN;
  view.subrecordsWhole = false;
  view.dataCutShort = true;
  return false;
}

void ParseSubrecords(const uint8_t* rd, uint16_t rl, Record& record, SubrecordSet set,
                     Record* view) {
  uint32_t offset = 0;
  uint32_t remaining = rl;
  record.subrecords.reserve(CountSubrecords(rd, rl));
  while (remaining > 0) {
    Subrecord_Entry& entry = record.subrecords.emplace_back();
    const uint8_t result =
        CreateSubrecord(rd + offset, static_cast<uint16_t>(remaining), record, entry, set);
    const uint32_t size = static_cast<uint32_t>(entry.SRL) + kSubrecordHeaderLength;
    const bool readable = remaining >= kSubrecordHeaderLength && remaining >= size;
    if (view != nullptr && !AddOriginalEntry(rd + offset, static_cast<uint16_t>(remaining), record,
                                             entry, readable, *view)) {
      view = nullptr;
    }
    if (result != EGTS_PC_OK) {
      if (set == SubrecordSet::kOriginal || !readable) {
        record.subrecordsWhole = false;
        record.dataCutShort = !readable;
        return;
      }
    } else if (!readable) {
      record.subrecords.pop_back();  // the entry is discarded
      record.result = EGTS_PC_INVDATALEN;
      record.subrecordsWhole = false;
      record.dataCutShort = true;
      return;
    }
    offset += size;
    remaining -= size;
  }
}

}  // namespace

uint8_t ParseRecord(const uint8_t* bytes, uint16_t available, Record& record, SubrecordSet set,
                    Record* view) {
  auto finish = [&record, view](uint8_t result) {
    record.result = result;
    if (view != nullptr) CopyRecordHeader(record, *view);
    return result;
  };
  // A header cut short keeps its bytes for the reports, which show the
  // fields that are there.
  auto cutShort = [&]() {
    if (bytes != nullptr) record.cutHeader.assign(bytes, bytes + available);
    return finish(EGTS_PC_INC_HEADERFORM);
  };
  const uint32_t n = available;
  if (n < 7) return cutShort();
  record.RL = ReadU16(bytes);
  record.RN = ReadU16(bytes + 2);
  record.RFL = bytes[4];
  uint32_t header = 5;
  // Each optional field check reserves its 4 bytes plus SST and RST.
  if (record.RFL & RFL_OBFE) {
    if (n < header + 6) return cutShort();
    record.OID = ReadU32(bytes + header);
    header += 4;
  }
  if (record.RFL & RFL_EVFE) {
    if (n < header + 6) return cutShort();
    record.EVID = ReadU32(bytes + header);
    header += 4;
  }
  if (record.RFL & RFL_TMFE) {
    if (n < header + 6) return cutShort();
    record.TM = ReadU32(bytes + header);
    header += 4;
  }
  record.SST = bytes[header];
  record.RST = bytes[header + 1];
  header += 2;
  record.headerLength = static_cast<uint8_t>(header);
  if (record.RL == 0) return finish(EGTS_PC_OK);
  if (n < header + record.RL) return finish(EGTS_PC_INVDATALEN);
  finish(EGTS_PC_OK);
  ParseSubrecords(bytes + header, record.RL, record, set, view);
  return record.result;
}

uint8_t ParseFrameData(const uint8_t* packet, uint16_t count, const TransportHeader& header,
                       PacketHolder& holder, SubrecordSet set, PacketHolder* originalView) {
  if (set != SubrecordSet::kStandard) originalView = nullptr;
  if (header.FDL == 0) return EGTS_PC_OK;
  const uint32_t total = static_cast<uint32_t>(header.HL) + header.FDL + 2;
  if (packet == nullptr || count < total) return EGTS_PC_INVDATALEN;

  const uint8_t* frame = packet + header.HL;
  const uint16_t computed = Crc16(frame, header.FDL);
  holder.SFRCS = ReadU16(frame + header.FDL);
  if (originalView != nullptr) originalView->SFRCS = holder.SFRCS;
  if (holder.SFRCS != computed) return EGTS_PC_DATACRC_ERROR;

  if (!CreatePacket(holder, header.PT)) return EGTS_PC_UNS_TYPE;
  uint16_t typeHeader = 0;
  const uint8_t result = ReadPacketTypeHeader(frame, header.FDL, holder, typeHeader);
  Packet* view = nullptr;
  if (originalView != nullptr) {
    // The type's fields are read as they are, the same for both.
    if (!CreatePacket(*originalView, header.PT)) return EGTS_PC_NO_RES_AVAIL;
    ReadPacketTypeHeader(frame, header.FDL, *originalView, typeHeader);
    view = originalView->packet.get();
  }
  if (result != EGTS_PC_OK) return result;
  const uint16_t areaLength = static_cast<uint16_t>(header.FDL - typeHeader);
  ParseRecordArea(frame + typeHeader, areaLength, *holder.packet, set, view);
  if (set == SubrecordSet::kStandard) Msd::CompareMsdSubrecords(*holder.packet);
  return EGTS_PC_OK;
}

PacketRead ReadPacket(std::span<const uint8_t> bytes, SubrecordSet set) {
  PacketRead read;
  const auto count = static_cast<uint16_t>(std::min<std::size_t>(bytes.size(), 0xFFFF));
  read.headerResult = ValidateTransportHeader(bytes.data(), count, read.header);
  if (IsError(read.headerResult)) return read;
  read.frameResult = ParseFrameData(bytes.data(), count, read.header, read.holder, set);
  read.parsed = true;
  return read;
}

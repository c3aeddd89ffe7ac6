#include "compose/ecall_msd_packet.h"

#include <memory>
#include <new>

#include "compose/packet_serializer.h"
#include "service/packet.h"
#include "service/ecall/subrecord_ecall_raw_msd_data.h"
#include "service/subrecord_types.h"
#include "transport/result_codes.h"
#include "util/utc_time.h"

using namespace EGTS;

namespace {

constexpr uint8_t kFormatEn15722 = 1;
constexpr unsigned kVehicleTypeShift = 3;
constexpr unsigned kFixedPropulsionKinds = 6;  // bits 0-5; otherStorage has no bit

std::unique_ptr<Subrecord_Class> RawMsdData(const std::vector<uint8_t>& msd) {
  std::unique_ptr<Subrecord_ECALL_RAW_MSD_DATA> raw(new (std::nothrow)
                                                        Subrecord_ECALL_RAW_MSD_DATA);
  if (!raw) return nullptr;
  auto stream = std::make_shared<bytestream>();
  stream->WriteBlock(msd.data(), static_cast<uint16_t>(msd.size()));
  raw->SetFormat(kFormatEn15722);
  raw->data = std::move(stream);
  return raw;
}

}  // namespace

Subrecord_ECALL_MSD_DATA MsdDataOf(const Msd::ECallMessage& message) {
  const Msd::MSDStructure& m = message.msdStructure;
  Subrecord_ECALL_MSD_DATA data;
  data.SetFormatVersion(message.msdVersion);
  data.SetMessageIdentifier(m.messageIdentifier);
  data.SetControlFlags(static_cast<uint8_t>(
      (m.automaticActivation ? 0x01 : 0) | (m.testCall ? 0x02 : 0) |
      (m.positionCanBeTrusted ? 0x04 : 0) | ((m.vehicleType & 0x0F) << kVehicleTypeShift)));
  data.SetVIN(m.vehicleIdentificationNumber);
  uint8_t storage = 0;
  for (unsigned i = 0; i < kFixedPropulsionKinds; ++i) {
    if (m.vehiclePropulsionStorageType[i]) storage |= static_cast<uint8_t>(1u << i);
  }
  data.SetVehPropulsionStorage(storage);
  data.SetTimeStamp(m.timestamp);
  data.SetPositionLatitude(m.positionLatitude);
  data.SetPositionLongitude(m.positionLongitude);
  data.SetVehicleDirection(m.vehicleDirection);
  // The tail holds what the message has; the rest reads as undefined.
  if (m.recentVehicleLocationN1) {
    data.SetLATD_n1(m.recentVehicleLocationN1->latitudeDelta);
    data.SetLOND_n1(m.recentVehicleLocationN1->longitudeDelta);
  }
  if (m.recentVehicleLocationN2) {
    data.SetLATD_n2(m.recentVehicleLocationN2->latitudeDelta);
    data.SetLOND_n2(m.recentVehicleLocationN2->longitudeDelta);
  }
  if (m.numberOfPassengers) data.SetNumberOfPassengers(*m.numberOfPassengers);
  return data;
}

uint8_t ComposeEcallMsdPacket(const Msd::ECallMessage& message, const EcallMsdPacket& how,
                              bytestream& out, std::string& error) {
  out.Reset();
  const Msd::MsdEncoding encoding = Msd::EncodeMsd(message, how.encoding);
  error = encoding.error;
  if (!error.empty()) return EGTS_PC_INC_DATAFORM;

  PacketHolder holder;
  if (!CreatePacket(holder, EGTS_PT_APPDATA)) return EGTS_PC_NO_RES_AVAIL;
  Record record;
  record.RN = how.RN;
  record.RFL = RFL_OBFE | RFL_TMFE;
  record.OID = how.OID;
  record.TM = message.msdStructure.timestamp >= kEgtsEpochOffset
                  ? message.msdStructure.timestamp - kEgtsEpochOffset
                  : 0;
  record.SST = EGTS_ECALL_SERVICE;
  record.RST = EGTS_ECALL_SERVICE;
  if (how.withMsdData) {
    std::unique_ptr<Subrecord_Class> fixed(new (std::nothrow)
                                               Subrecord_ECALL_MSD_DATA(MsdDataOf(message)));
    if (!fixed) return EGTS_PC_NO_RES_AVAIL;
    AppendSubrecord(record, EGTS_SR_ECALL_MSD_DATA, std::move(fixed));
  }
  std::unique_ptr<Subrecord_Class> raw = RawMsdData(encoding.octets);
  if (!raw) return EGTS_PC_NO_RES_AVAIL;
  AppendSubrecord(record, EGTS_SR_ECALL_RAW_MSD_DATA, std::move(raw));
  holder.packet->records.push_back(std::move(record));

  TransportHeader header;
  header.PRV = 1;
  header.HL = kShortHeaderLength;
  header.PID = how.PID;
  header.PT = EGTS_PT_APPDATA;
  header.FDL = holder.packet->FrameDataLength();
  const uint8_t result = SerializePacket(out, header, holder);
  ReleasePacket(holder);
  return result;
}

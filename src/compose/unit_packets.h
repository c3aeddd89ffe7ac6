#pragma once
// The packets a simulated unit sends, written straight as bytes: a unit
// writes many thousands a second, and the standard's teledata and
// authentication subrecords have decoders only. Every multi-byte value is
// little-endian.
//
// Packet: EGTS_PT_APPDATA (or EGTS_PT_RESPONSE with RPID and PR first),
// HL 11, PRV 1, flags 0, then the records, then SFRCS.
// Record: RL u16, RN u16, RFL (bit 0 OBFE, bit 2 TMFE), [OID u32], [TM u32],
// SST, RST, subrecords (SRT u8, SRL u16, SRD).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace compose {

class PacketWriter {
 public:
  // An APPDATA packet.
  explicit PacketWriter(uint16_t pid);
  // A RESPONSE packet confirming `rpid` with `pr`.
  PacketWriter(uint16_t pid, uint16_t rpid, uint8_t pr);

  // A record of `service` (SST = RST); oid and tm 0: left out.
  void BeginRecord(uint16_t rn, uint8_t service, uint32_t oid = 0, uint32_t tm = 0);
  void Subrecord(uint8_t srt, std::span<const uint8_t> srd);
  void EndRecord();

  // The whole packet; the writer is spent.
  std::vector<uint8_t> Finish();

 private:
  std::vector<uint8_t> bytes_;
  std::size_t recordAt_ = 0;
};

// A point of a unit's track.
struct UnitPosition {
  uint32_t time = 0;  // EGTS time
  double lat = 0;
  double lon = 0;
  double speedKmh = 0;
  double heading = 0;
};

// TERM_IDENTITY (SRT 1): TID, FLG (SSRA, IMEIE, and IMSIE, MNE, BSE when
// given), IMEI 15 bytes, IMSI 16, BS, MSISDN 15 (padded with '0' in front).
std::vector<uint8_t> TermIdentitySrd(uint32_t tid, const std::string& imei,
                                     const std::string& imsi, uint16_t bs,
                                     const std::string& msisdn);
// VEHICLE_DATA (SRT 3): VIN 17 bytes, VHT, VPST.
std::vector<uint8_t> VehicleDataSrd(const std::string& vin, uint32_t vht, uint32_t vpst);
// POS_DATA (SRT 16), 21 bytes: a valid 3D fix, MV when moving, SRC 0.
std::vector<uint8_t> PosDataSrd(const UnitPosition& position);
// EXT_POS_DATA (SRT 17): HDOP 0.9, 12 satellites, GLONASS and GPS.
std::vector<uint8_t> ExtPosDataSrd();
// STATE_DATA (SRT 21): ST, 12.6 V main supply, 4.1 V backup, 3.9 V internal,
// navigation module on.
std::vector<uint8_t> StateDataSrd(uint8_t st);
// RECORD_RESPONSE (SRT 0).
std::vector<uint8_t> RecordResponseSrd(uint16_t crn, uint8_t rst);
// COMMAND_DATA (SRT 51) CT_COMCONF with cct; with `data`, CD = ADR, CCD, data.
std::vector<uint8_t> CommandConfirmationSrd(uint32_t cid, uint32_t sid, uint8_t cct, uint16_t adr,
                                            uint16_t ccd, const std::vector<uint8_t>* data);
// ACCEL_DATA (SRT 20, ECALL service): ATM and up to 255 samples (m/s^2
// as signed 0.1 m/s^2).
struct AccelValue {
  uint16_t rtmMs;
  double x, y, z;
};
std::vector<uint8_t> AccelDataSrd(uint32_t atm, std::span<const AccelValue> samples);
// TRACK_DATA (SRT 62): ATM and up to 255 points of 12 bytes, RTM 9 (1 s).
std::vector<uint8_t> TrackDataSrd(uint32_t atm, std::span<const UnitPosition> points);
// RAW_MSD_DATA (SRT 40): format 1 and the encoded MSD.
std::vector<uint8_t> RawMsdDataSrd(const std::vector<uint8_t>& msd);

}  // namespace compose

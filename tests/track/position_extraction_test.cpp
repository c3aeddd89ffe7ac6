#include <gtest/gtest.h>

#include "compose/ecall_msd_packet.h"
#include "support/scratch_directory.h"
#include "support/track_packets.h"
#include "service/record_parser.h"
#include "track/position_extraction.h"
#include "transport/transport_header.h"

using namespace testing_support;

namespace {

constexpr int64_t kEpoch2010 = 1262304000;

TEST(PositionExtraction, ExamplePacketGivesItsTrackPointAndMsdPositions) {
  const std::string bytes = ReadFile(std::string(KORVANE_EXAMPLES_DIR) + "/ecall_track_msd.bin");
  const PacketHolder holder = Parsed(Bytes(bytes.begin(), bytes.end()));
  const std::vector<TrackPoint> points = PositionsOf(holder, PacketOrigin{257, {}, "file"});
  ASSERT_EQ(points.size(), 3u);

  // TRACK_DATA: the point with data, RTM 0 = 0.1 s after ATM; LAHS 1 is
  // south. The point without data has no position.
  const TrackPoint& track = points[0];
  EXPECT_EQ(track.unit, "OID 1234");
  EXPECT_EQ(track.kind, PositionKind::TRACK_DATA);
  EXPECT_EQ(*track.timeMs, (0x1FF9B180 + kEpoch2010) * 1000 + 100);
  EXPECT_NEAR(track.latitude, -55.75, 1e-7);
  EXPECT_NEAR(track.longitude, 37.62, 1e-7);
  EXPECT_DOUBLE_EQ(*track.speedKmh, 60);
  EXPECT_DOUBLE_EQ(*track.headingDeg, 300);
  EXPECT_EQ(*track.PID, 257);
  EXPECT_EQ(*track.RN, 1);

  // ECALL_MSD_DATA: n-1 first (no time of its own), then the position;
  // Position Confidence 0: not valid.
  const TrackPoint& recent = points[1];
  EXPECT_EQ(recent.kind, PositionKind::ECALL_MSD_DATA);
  EXPECT_EQ(recent.recent, 1);
  EXPECT_FALSE(recent.timeMs);
  EXPECT_NEAR(recent.latitude, 55.75 - 120 * 100 / 3600000.0, 1e-9);
  EXPECT_NEAR(recent.longitude, 37.62 + 40 * 100 / 3600000.0, 1e-9);
  const TrackPoint& msd = points[2];
  EXPECT_EQ(msd.recent, 0);
  EXPECT_EQ(*msd.timeMs, int64_t{0x6B36EC80} * 1000);
  EXPECT_NEAR(msd.latitude, 55.75, 1e-9);
  EXPECT_DOUBLE_EQ(*msd.headingDeg, 90);  // 45 steps of 2 degrees
  EXPECT_FALSE(msd.valid);
  EXPECT_FALSE(msd.speedKmh);
}

// The raw MSD alone (RAW_MSD_DATA, decoded with the standard's
// subrecords): n-2 and n-1 before the position, valid as it can be trusted.
TEST(PositionExtraction, RawMsdGivesItsPositionAndRecentOnes) {
  EGTS::Msd::ECallMessage message;
  EGTS::Msd::MSDStructure& msd = message.msdStructure;
  msd.vehicleIdentificationNumber = "1HGCM82633A004352";
  msd.positionCanBeTrusted = true;
  msd.timestamp = 1800000000;
  msd.positionLatitude = 200700000;   // 55.75 degrees
  msd.positionLongitude = 135432000;  // 37.62 degrees
  msd.vehicleDirection = 10;
  msd.recentVehicleLocationN1 = EGTS::Msd::VehicleLocationDelta{-12, 4};
  msd.recentVehicleLocationN2 = EGTS::Msd::VehicleLocationDelta{-10, 0};
  EcallMsdPacket how;
  how.OID = 77;
  EGTS::bytestream packet;
  std::string error;
  ASSERT_EQ(ComposeEcallMsdPacket(message, how, packet, error), 0) << error;
  const PacketHolder holder = Parsed(packet.bytes);
  const std::vector<TrackPoint> points = PositionsOf(holder, PacketOrigin{1, {}, "x"});
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0].recent, 2);
  EXPECT_NEAR(points[0].latitude, 55.75 - 22 * 100 / 3600000.0, 1e-9);
  EXPECT_EQ(points[1].recent, 1);
  EXPECT_NEAR(points[1].longitude, 37.62 + 4 * 100 / 3600000.0, 1e-9);
  const TrackPoint& position = points[2];
  EXPECT_EQ(position.kind, PositionKind::RAW_MSD_DATA);
  EXPECT_EQ(position.unit, "OID 77");
  EXPECT_TRUE(position.valid);
  EXPECT_EQ(*position.timeMs, int64_t{1800000000} * 1000);
  EXPECT_NEAR(position.latitude, 55.75, 1e-9);
  EXPECT_DOUBLE_EQ(*position.headingDeg, 20);
}

TEST(PositionExtraction, PosDataTakesItsRecordsExtPosDataAndTheUnitKeyFallsBack) {
  Fix first{-12.5, -77.25, 500000000, 42.5, 271, true, 3120, 13};
  Fix second = first;
  second.valid = false;
  second.altitude.reset();
  // One POS_DATA after its EXT_POS_DATA; then two, each followed by its own.
  const Bytes single = Concat({SubrecordBytes(17, ExtPosDataSrd(7, 250)),
                               SubrecordBytes(16, PosDataSrd(first))});
  const Bytes pair = Concat({SubrecordBytes(16, PosDataSrd(first)),
                             SubrecordBytes(17, ExtPosDataSrd(7, 250)),
                             SubrecordBytes(16, PosDataSrd(second)),
                             SubrecordBytes(17, ExtPosDataSrd(12, 80))});

  std::vector<TrackPoint> points =
      PositionsOf(Parsed(RecordPacket(std::nullopt, 2, single, 5, 9)), PacketOrigin{5, 4711u, "x"});
  ASSERT_EQ(points.size(), 1u);
  const TrackPoint& p = points[0];
  EXPECT_EQ(p.unit, "TID 4711");
  EXPECT_EQ(*p.timeMs, (500000000 + kEpoch2010) * 1000);
  EXPECT_NEAR(p.latitude, -12.5, 1e-7);
  EXPECT_NEAR(p.longitude, -77.25, 1e-7);
  EXPECT_DOUBLE_EQ(*p.speedKmh, 42.5);
  EXPECT_DOUBLE_EQ(*p.headingDeg, 271);
  EXPECT_DOUBLE_EQ(*p.altitudeM, 3120);
  EXPECT_TRUE(p.valid);
  EXPECT_EQ(*p.fixDimensions, 3);
  EXPECT_EQ(*p.sourceEvent, 13);
  EXPECT_EQ(*p.satellites, 7);
  EXPECT_DOUBLE_EQ(*p.hdop, 2.5);
  EXPECT_FALSE(p.vdop);

  points = PositionsOf(Parsed(RecordPacket(std::nullopt, 2, pair, 6, 10)), PacketOrigin{6, {}, "peer"});
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].unit, "peer");
  EXPECT_EQ(*points[0].satellites, 7);
  EXPECT_EQ(*points[1].satellites, 12);
  EXPECT_FALSE(points[1].valid);
  EXPECT_FALSE(points[1].altitudeM);

  // Parsed without the standard's subrecords, POS_DATA has no object.
  PacketHolder original;
  const Bytes packet = RecordPacket(1, 2, single, 7, 1);
  TransportHeader header;
  ValidateTransportHeader(packet.data(), static_cast<uint16_t>(packet.size()), header);
  ParseFrameData(packet.data(), static_cast<uint16_t>(packet.size()), header, original);
  EXPECT_TRUE(PositionsOf(original, PacketOrigin{7, {}, ""}).empty());
}

}  // namespace

// The raw MSD end to end: korvane -x with the bundled example packet
// (ECALL_MSD_DATA and RAW_MSD_DATA of one emergency call, MSD v2 with
// ERA-GLONASS data) in the text report and in JSON, and without -x the
// report as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compose/ecall_msd_packet.h"
#include "service/ecall/msd_samples.h"
#include "support/json_lines.h"
#include "support/packet_builder.h"
#include "support/run_korvane.h"

namespace {

using namespace testing_support;
using nlohmann::json;

const std::string kExample = std::string(KORVANE_EXAMPLES_DIR) + "/ecall_msd_era.bin";

TEST(MsdEndToEnd, ExampleInTheTextReport) {
  const RunResult run = RunKorvaneBinary({"-x", "-f:" + kExample}, "");
  for (const char* line :
       {"       MSD Version            - 2\n",
        "       VIN                    - XTA21099043579312\n",
        "       Time Stamp             - 0x6AE84684 (02.11.2026 08:15:00 GMT)\n",
        "       Position Latitude      - 0x0BF68F98 (55.75222000)\n",
        "           OID                - 1.4.2 (ERA-GLONASS, MSD v2)\n",
        "       ERA-GLONASS Data:\n", "           Crash Severity     - 310\n",
        "               batteryVoltageLow - TRUE\n", "               crashFront     - TRUE\n",
        "           Coordinate System  - 1 (wgs84)\n"}) {
    EXPECT_NE(run.output.find(line), std::string::npos) << line << run.output;
  }
  // Flags the unit did not send are not shown; both forms of the MSD agree.
  EXPECT_EQ(run.output.find("raimProblem"), std::string::npos);
  EXPECT_EQ(run.output.find("differ in"), std::string::npos);

  const RunResult plain = RunKorvaneBinary({"-v", "-f:" + kExample}, "");
  EXPECT_NE(plain.output.find("       Raw MSD data           - 52 bytes ["), std::string::npos);
  EXPECT_EQ(plain.output.find("MSD Version"), std::string::npos);
}

TEST(MsdEndToEnd, ExampleInJson) {
  const RunResult run = RunKorvaneBinary({"-j", "-x", "-f:" + kExample}, "");
  EXPECT_EQ(SchemaFindings(run.output), "") << run.output;
  const std::vector<json> lines = ParseJsonLines(run.output);
  ASSERT_EQ(lines.size(), 1u) << run.output;
  const json& raw = lines[0].at("frame").at("records").at(0).at("subrecords").at(1);
  EXPECT_EQ(raw.at("name"), "EGTS_SR_ECALL_RAW_MSD_DATA");
  const json& msd = raw.at("data").at("msd");
  EXPECT_EQ(msd.at("msdVersion"), 2);
  EXPECT_EQ(msd.at("automaticActivation"), true);
  EXPECT_EQ(msd.at("vehicleIdentificationNumber"), "XTA21099043579312");
  EXPECT_EQ(msd.at("vehiclePropulsionStorageType").at("dieselTankPresent"), false);
  EXPECT_EQ(msd.at("time"), "2026-11-02T08:15:00Z");
  EXPECT_NEAR(msd.at("latitude").get<double>(), 55.75222, 1e-8);
  EXPECT_EQ(msd.at("recentVehicleLocationN1").at("latitudeDelta"), -12);
  EXPECT_EQ(msd.at("numberOfPassengers"), 2);
  const json& era = msd.at("eraAdditionalData");
  EXPECT_EQ(era.at("crashSeverity"), 310);
  EXPECT_EQ(era.at("diagnosticResult").at("batteryVoltageLow"), true);
  EXPECT_EQ(era.at("diagnosticResult").at("micFailure"), false);
  EXPECT_FALSE(era.at("diagnosticResult").contains("raimProblem"));
  EXPECT_FALSE(era.at("crashInfo").contains("crashSide"));
  EXPECT_EQ(era.at("coordinateSystemType_name"), "wgs84");
  // Without -x the subrecord carries its bytes only.
  const std::vector<json> plain =
      ParseJsonLines(RunKorvaneBinary({"-j", "-f:" + kExample}, "").output);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_FALSE(
      plain[0].at("frame").at("records").at(0).at("subrecords").at(1).at("data").contains("msd"));
}

// An emergency call whose two forms disagree: ECALL_MSD_DATA with another
// VIN than the RAW_MSD_DATA of vector B.
TEST(MsdEndToEnd, DifferenceBetweenTheTwoFormsIsACheck) {
  EGTS::Msd::ECallMessage other = msd_samples::VectorBMessage();
  other.msdStructure.vehicleIdentificationNumber = "ECALLEXAMPLE02014";
  EGTS::bytestream fixed;
  MsdDataOf(other).Encode(fixed);
  Bytes raw = msd_samples::FromHex(std::string("01") + msd_samples::kVectorB);
  const Bytes packet = PacketBytes(
      1, RecordBytes({.SST = 10, .RST = 10},
                     Concat({SubrecordBytes(50, Bytes(fixed.bytes.begin(),
                                                      fixed.bytes.begin() + fixed.position)),
                             SubrecordBytes(40, raw)})));
  const char kCheck[] =
      "ECALL_MSD_DATA and RAW_MSD_DATA differ in vehicleIdentificationNumber: ECALLEXAMPLE02014 "
      "against ECALLEXAMPLE02013";
  const RunResult text = RunKorvaneBinary({"-x", "-c"}, Hex(packet));
  EXPECT_NE(text.output.find(std::string("       Check                  - ") + kCheck + "\n"),
            std::string::npos)
      << text.output;
  const std::vector<json> lines =
      ParseJsonLines(RunKorvaneBinary({"-j", "-x", "-c"}, Hex(packet)).output);
  ASSERT_EQ(lines.size(), 1u);
  const json& checks = lines[0].at("frame").at("records").at(0).at("subrecords").at(1).at("checks");
  EXPECT_NE(std::find(checks.begin(), checks.end(), kCheck), checks.end()) << checks.dump();
}

}  // namespace

// Writes examples/ecall_msd_era.bin and examples/ecall_msd_era.hex: the
// emergency call of a car as its unit sends it, one packet (PID 1) with one
// ECALL record (RN 1, OID 4711) holding ECALL_MSD_DATA and RAW_MSD_DATA
// with the same MSD: version 2, an automatic call from a passenger car
// (VIN XTA21099043579312, petrol) near Moscow at 02.11.2026 08:15:00 UTC,
// two recent positions, two passengers, and the ERA-GLONASS additional data
// (OID 1.4.2: crash severity 310, a low battery among the diagnostics, a
// frontal crash). The MSD is made by Korvane's own encoder.
//
// Build and run from the repository:
//   cmake --build build --target make_ecall_msd && ./build/make_ecall_msd examples

#include <cstdio>
#include <string>

#include "compose/ecall_msd_packet.h"
#include "service/ecall/msd.h"

using namespace EGTS::Msd;

namespace {

ECallMessage ExampleMessage() {
  ECallMessage message;
  message.msdVersion = 2;
  MSDStructure& msd = message.msdStructure;
  msd.messageIdentifier = 1;
  msd.automaticActivation = true;
  msd.positionCanBeTrusted = true;
  msd.vehicleType = 1;  // passenger car (M1)
  msd.vehicleIdentificationNumber = "XTA21099043579312";
  msd.vehiclePropulsionStorageType[0] = true;  // gasoline
  msd.timestamp = 1793607300;                  // 2026-11-02 08:15:00 UTC
  msd.positionLatitude = 200707992;            // 55.75222 degrees
  msd.positionLongitude = 135416016;           // 37.61556 degrees
  msd.vehicleDirection = 45;                   // 90 degrees
  msd.recentVehicleLocationN1 = VehicleLocationDelta{-12, 8};
  msd.recentVehicleLocationN2 = VehicleLocationDelta{-10, 6};
  msd.numberOfPassengers = 2;

  ERAAdditionalData era;
  era.crashSeverity = 310;
  auto& diagnostics = era.diagnosticResult.emplace();
  for (auto& flag : diagnostics) flag = false;
  diagnostics[9] = true;    // batteryVoltageLow
  diagnostics[14].reset();  // raimProblem not reported
  diagnostics[20].reset();  // otherNotCriticalFailures not reported
  auto& crash = era.crashInfo.emplace();
  for (auto& flag : crash) flag = false;
  crash[0] = true;   // crashFront
  crash[6] = true;   // crashFrontOrSide
  crash[5].reset();  // crashSide not reported
  crash[7].reset();  // crashAnotherType not reported
  message.optionalAdditionalData = AdditionalData{EraOid(EraForm::kMsdV2), {}, era};
  return message;
}

bool WriteFile(const std::string& path, const std::string& content, const char* mode) {
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr) return false;
  const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string directory = argc > 1 ? argv[1] : "examples";
  EcallMsdPacket how;
  how.OID = 4711;
  how.withMsdData = true;
  EGTS::bytestream out;
  std::string error;
  if (ComposeEcallMsdPacket(ExampleMessage(), how, out, error) != 0) {
    std::fprintf(stderr, "make_ecall_msd: the packet cannot be made: %s\n", error.c_str());
    return 1;
  }
  const std::string bytes(out.bytes.begin(), out.bytes.begin() + out.position);
  std::string hex;
  for (const unsigned char byte : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, hex.empty() ? "%02X" : " %02X", byte);
    hex += pair;
  }
  if (!WriteFile(directory + "/ecall_msd_era.bin", bytes, "wb") ||
      !WriteFile(directory + "/ecall_msd_era.hex", hex + "\n", "w")) {
    std::fprintf(stderr, "make_ecall_msd: can not write into %s\n", directory.c_str());
    return 1;
  }
  std::printf("ecall_msd_era.bin: 1 packet, %zu bytes\n", bytes.size());
  return 0;
}

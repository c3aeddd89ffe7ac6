#include "app/units_mode.h"


#include "app/unit_fleet.h"
#include "console/log_line.h"
#include "platform/files.h"
#include "util/text.h"

namespace {

constexpr int kBadStart = 2;
constexpr std::size_t kMaxProfileBytes = 16 * 1024 * 1024;

bool ReadProfileText(const std::string& path, std::string& text, std::string& error) {
  platform::EntryKind kind{};
  auto reader = platform::RegularFileReader::Open(path, kind);
  if (!reader) {
    error = "profile: cannot be read (" + reader.error().message() + ")";
    return false;
  }
  uint8_t chunk[65536];
  for (;;) {
    auto got = reader->Read(chunk, sizeof chunk);
    if (!got) {
      error = "profile: cannot be read (" + got.error().message() + ")";
      return false;
    }
    if (*got == 0) return true;
    text.append(reinterpret_cast<const char*>(chunk), *got);
    if (text.size() > kMaxProfileBytes) {
      error = "profile: longer than 16 MiB";
      return false;
    }
  }
}

}  // namespace

int RunUnitsMode(const StartupSettings& settings, const PacketRoad& road) {
  if (!settings.SendToPlatform) {
    WriteMessage("ERROR: -e: needs the platform's address (-s:<addr:port>)\n");
    return kBadStart;
  }
  std::string text;
  std::string error;
  auto profile = std::make_shared<session::UnitProfile>();
  if (!ReadProfileText(settings.UnitProfile, text, error) ||
      !session::ParseUnitProfile(text, *profile, error)) {
    WriteMessage(StringPrintf("ERROR: Unit profile %s: %s\n", settings.UnitProfile.c_str(),
                              error.c_str()));
    return kBadStart;
  }
  FleetOptions options;
  options.address = settings.PlatformAddress;
  options.port = settings.PlatformPort;
  options.count = settings.UnitCount;
  options.perSecond = settings.UnitsPerSecond;
  options.report = road.report;
  // -j chooses the form of what is reported; for a fleet -v or -x asks for
  // the packets.
  options.reportPackets = settings.UnitCount == 1 || settings.Verbose || settings.Standard;
  RunUnitFleet(options, road, profile);
  return 0;
}

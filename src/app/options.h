#pragma once
// The command line: start-up settings and their parser.

#include <cstdint>
#include <string>
#include <vector>

#include "console/report_options.h"
#include "pipeline/packet_road.h"
#include "session/talk_options.h"

struct StartupSettings {
  std::string PacketFileName;
  std::string IncDirectory;
  std::string WorkDirectory;
  std::string OutDirectory;
  std::string BindAddress;  // at most 64 characters
  uint16_t BindPort = 0;
  bool FileMode = false;
  bool ConsoleInput = false;
  bool ShowUsage = false;
  bool IncomingMode = false;
  bool WorkDirGiven = false;
  bool FatalOption = false;
  bool Verbose = false;       // -v: report service records of every packet
  bool Standard = false;      // -x: also the standard's further subrecords (implies -v)
  bool Json = false;          // -j: JSON Lines on standard output
  bool BindAccepted = false;  // -b: gave an address and a valid port
  bool Confirm = false;       // -r: confirm every packet a terminal sends
  uint8_t AuthorizationResult = 0;  // -r:<code>: the answer to an authorization
  std::string PlatformAddress;  // -s: where to send the single packet
  uint16_t PlatformPort = 0;
  bool SendToPlatform = false;  // -s: gave an address and a valid port
  std::string CaptureFile;      // -p: a capture to report
  uint16_t CapturePort = 0;     // -p:<file>:<port>: only connections with this port
  bool CaptureMode = false;
  std::string TrackFile;          // -g: where the tracks go (GPX for a name ending in .gpx)
  uint32_t TrackSpeedBound = 300; // -g:<file>:<km/h>: the bound of the implied speed
  bool TrackMode = false;
  std::string UnitProfile;       // -e: the simulated units' profile
  uint32_t UnitCount = 1;        // -e:<profile>:<count>
  uint32_t UnitsPerSecond = 0;   // -e:<profile>:<count>:<connections a second>; 0: all at once
  bool UnitsMode = false;
  bool SmsPdu = false;            // -m: the input of -f: or -c is an SMS PDU (hex)
  std::vector<std::string> RunFiles;  // -t: conformance runs, in order
  std::string ExpectedProfile;        // -u: the unit profile of expected values
  std::string VerdictFile;            // -l: the verdict (JUnit XML for *.xml, else JSON)
  bool ReplayConfirmed = false;  // -d:confirmed: the next packet once the last is confirmed
  double ReplayFactor = 1;       // -d:<factor>: captured pacing this many times as fast
  bool ReplayTimesNow = false;   // -d:...:now: record times shifted to now
};

// What the options decide about the reports of every packet source, and
// about talking to terminals.
ReportOptions ReportOptionsOf(const StartupSettings& settings);
TalkOptions TalkOptionsOf(const StartupSettings& settings);
// Both, as the one value every packet source is made with (its tracks are
// the entry's to set).
PacketRoad PacketRoadOf(const StartupSettings& settings);

// The default work directory: the program path cut after its last '/',
// followed by "WorkDir". A program started through PATH has no '/' in its
// path; the executable's own path stands in then. Empty when neither has one.
std::string DefaultWorkDirectory(const char* programPath,
                                 const std::string& executablePath = "");

// Called when -b: has given an address and a port: sets up server mode
// (the stop-all event) and appends any failure message to `messages`.
using BindHook = void (*)(std::string& messages);

// Parses argv[1..argc-1] left to right into `settings`, appending every
// message to `messages` in order, then the default-path warning and the
// usage text. `onBind` may be null.
void ParseOptions(int argc, char** argv, StartupSettings& settings, std::string& messages,
                  BindHook onBind);

extern const char* const kUsageText;

// The "%u" scanning conversion: leading white space skipped, an optional
// sign, at least one digit, stops at the first non-digit. Values that do not
// fit 32 bits saturate to 0xFFFFFFFF. Returns false when nothing converts.
bool ScanUnsigned(const char* text, uint32_t& value);

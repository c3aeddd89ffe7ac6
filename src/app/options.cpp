#include "app/options.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "transport/transport_header.h"

const char* const kUsageText =
    "Usage:  -h showing this information\n"
    "        -f:<filename> given file that contains EGTS packet data is used\n"
    "        -c if parameter -f not found the standart console input expected\n"
    "        -a:<TP address> current Telematics Platform address (required in routing procedure)\n"
    "        -n:<dir path> directory path where incomming messages are waited for\n"
    "        -w:<dir path> the working directory for store incomming messages files\n"
    "        -o:<dir path> the output directory for store outgoing messages files\n"
    "        -b:<bind addr:port> the binding address & port to listening for incomming TCP/IP connection\n"
    "        -v report service records and subrecords of every packet\n"
    "        -r[:<code>] confirm every packet a terminal sends (EGTS_PT_RESPONSE), answer its\n"
    "           authorization with the result code (0: accepted, the default) and check the conversation\n"
    "        -s:<addr:port> send the packet of -f or -c to a platform and report its answer\n"
    "        -x decode and check every subrecord of the standard (implies -v)\n"
    "        -p:<capture file>[:<port>] report every EGTS packet of a pcap or pcapng capture\n"
    "        -g:<file>[:<km/h>] write the positions of every unit as GeoJSON (GPX for a name ending\n"
    "           in .gpx) and check them for sense (speed bound, default 300 km/h)\n"
    "        -j write JSON Lines to the standard output, every other text to the standard error\n"
    "        -e:<profile.json>[:<count>[:<connections per second>]] with -s: simulated units (one,\n"
    "           or a fleet) talk to the platform as terminals do; a summary at the end\n"
    "        -p:<capture file> with -s: play the terminal side of every captured connection\n"
    "           again against the platform; -d:<captured|confirmed|<factor>>[:now] its pacing\n"
    "           (as captured, the default; as fast as confirmed; captured times <factor> as fast)\n"
    "           and record times shifted to now\n";

namespace {

constexpr size_t kMaxBindAddress = 64;

bool HasValue(const char* arg) { return arg[2] == ':' && arg[3] != '\0'; }

void ParseFileOption(const char* arg, StartupSettings& s, std::string& messages) {
  if (HasValue(arg)) {
    s.PacketFileName = arg + 3;
    s.FileMode = true;
  } else if (!s.FileMode) {
    messages += "ERROR: No file name found for parameter -f:\n";
    s.FatalOption = true;
  }
}

void ParseAddressOption(const char* arg, std::string& messages) {
  if (arg[2] != ':') {
    messages += "ERROR: No TP address found for parameter -a:\n";
    return;
  }
  uint32_t value = 0;
  if (!ScanUnsigned(arg + 3, value) || value < 1 || value > 65535) {
    messages += "ERROR: EGTS TP address value must be in range between 0 and 65535\n";
    return;
  }
  TPAddress = static_cast<uint16_t>(value);
}

void ParseIncomingOption(const char* arg, StartupSettings& s, std::string& messages) {
  if (HasValue(arg)) {
    s.IncDirectory = arg + 3;
    s.IncomingMode = true;
  } else if (!s.IncomingMode) {
    messages += "ERROR: No IncDirectory found for parameter -n:\n";
    s.FatalOption = true;
  }
}

void ParseDirectoryOption(const char* arg, std::string& target, bool* given,
                          const char* warning, std::string& messages) {
  if (arg[2] != ':') {
    messages += warning;
    return;
  }
  if (arg[3] == '\0') return;
  target = arg + 3;
  if (given != nullptr) *given = true;
}

void ParseBindOption(const char* arg, StartupSettings& s, std::string& messages,
                     BindHook onBind) {
  if (arg[2] != ':') {
    messages += "WARNING: incorrect format of parameter -b.\n";
    return;
  }
  const char* colon = std::strchr(arg + 3, ':');
  if (colon == nullptr) return;
  s.BindAddress.assign(arg + 3, std::min<size_t>(colon - (arg + 3), kMaxBindAddress));
  uint32_t port = 0;
  // A port above 65535 is refused rather than taken modulo 65536.
  if (!ScanUnsigned(colon + 1, port) || port > 65535) {
    messages += "ERROR: invalid port number for parameter -b.\n";
    return;
  }
  s.BindPort = static_cast<uint16_t>(port);
  s.BindAccepted = true;
  if (onBind != nullptr) onBind(messages);
}

void ParsePlatformOption(const char* arg, StartupSettings& s, std::string& messages) {
  const char* colon = arg[2] == ':' ? std::strchr(arg + 3, ':') : nullptr;
  if (colon == nullptr || colon == arg + 3) {
    messages += "WARNING: incorrect format of parameter -s.\n";
    return;
  }
  uint32_t port = 0;
  if (!ScanUnsigned(colon + 1, port) || port == 0 || port > 65535) {
    messages += "ERROR: invalid port number for parameter -s.\n";
    return;
  }
  s.PlatformAddress.assign(arg + 3, colon);
  s.PlatformPort = static_cast<uint16_t>(port);
  s.SendToPlatform = true;
}

// "<name>" or "<name>:<digits>": a name may hold colons itself, so only
// digits after the last one are a number. Cuts them off the name and
// returns them; nothing when there are none.
std::optional<std::string> TakeTrailingDigits(std::string& name) {
  const std::size_t colon = name.rfind(':');
  if (colon == std::string::npos || colon + 1 == name.size() ||
      name.find_first_not_of("0123456789", colon + 1) != std::string::npos) {
    return std::nullopt;
  }
  std::string digits = name.substr(colon + 1);
  name.resize(colon);
  return digits;
}

// -p:<file> or -p:<file>:<port>.
void ParseCaptureOption(const char* arg, StartupSettings& s, std::string& messages) {
  if (!HasValue(arg)) {
    messages += "ERROR: No capture file found for parameter -p:\n";
    return;
  }
  std::string file = arg + 3;
  if (const std::optional<std::string> digits = TakeTrailingDigits(file)) {
    uint32_t port = 0;
    if (!ScanUnsigned(digits->c_str(), port) || port == 0 || port > 65535) {
      messages += "ERROR: invalid port number for parameter -p.\n";
      return;
    }
    s.CapturePort = static_cast<uint16_t>(port);
  }
  s.CaptureFile = file;
  s.CaptureMode = true;
}

// -g:<file> or -g:<file>:<km/h>.
void ParseTrackOption(const char* arg, StartupSettings& s, std::string& messages) {
  std::string file = HasValue(arg) ? arg + 3 : "";
  uint32_t bound = 300;
  if (const std::optional<std::string> digits = TakeTrailingDigits(file)) {
    if (!ScanUnsigned(digits->c_str(), bound) || bound == 0 || bound > 65535) {
      messages += "ERROR: invalid speed bound for parameter -g.\n";
      return;
    }
  }
  if (file.empty()) {
    messages += "ERROR: No track file found for parameter -g:\n";
    return;
  }
  s.TrackFile = file;
  s.TrackSpeedBound = bound;
  s.TrackMode = true;
}

// -e:<profile>[:<count>[:<connections a second>]].
void ParseUnitsOption(const char* arg, StartupSettings& s, std::string& messages) {
  std::string profile = HasValue(arg) ? arg + 3 : "";
  std::optional<std::string> last = TakeTrailingDigits(profile);
  std::optional<std::string> first = last ? TakeTrailingDigits(profile) : std::nullopt;
  if (!first) std::swap(first, last);
  uint32_t count = 1;
  uint32_t rate = 0;
  if ((first && (!ScanUnsigned(first->c_str(), count) || count == 0 || count > 1000000)) ||
      (last && (!ScanUnsigned(last->c_str(), rate) || rate == 0))) {
    messages += "ERROR: invalid unit count or rate for parameter -e.\n";
    s.FatalOption = true;
    return;
  }
  if (profile.empty()) {
    messages += "ERROR: No unit profile found for parameter -e:\n";
    s.FatalOption = true;
    return;
  }
  s.UnitProfile = profile;
  s.UnitCount = count;
  s.UnitsPerSecond = rate;
  s.UnitsMode = true;
}

// -d:<captured|confirmed|<factor>>[:now]: the pacing of a replay.
void ParsePacingOption(const char* arg, StartupSettings& s, std::string& messages) {
  std::string value = HasValue(arg) ? arg + 3 : "";
  if (value.size() >= 4 && value.compare(value.size() - 4, 4, ":now") == 0) {
    s.ReplayTimesNow = true;
    value.resize(value.size() - 4);
  }
  if (value == "captured") {
    s.ReplayFactor = 1;
  } else if (value == "confirmed") {
    s.ReplayConfirmed = true;
  } else {
    char* end = nullptr;
    const double factor = std::strtod(value.c_str(), &end);
    if (value.empty() || end == nullptr || *end != '\0' || !(factor > 0) || factor > 1e6) {
      messages += "ERROR: invalid pacing for parameter -d.\n";
      s.FatalOption = true;
      return;
    }
    s.ReplayFactor = factor;
  }
}

// -r, or -r:<code> with the authorization result (0..255).
void ParseConfirmOption(const char* arg, StartupSettings& s, std::string& messages) {
  if (arg[2] != ':') {
    s.Confirm = true;
    return;
  }
  uint32_t code = 0;
  if (!ScanUnsigned(arg + 3, code) || code > 255) {
    messages += "ERROR: invalid result code for parameter -r.\n";
    return;
  }
  s.Confirm = true;
  s.AuthorizationResult = static_cast<uint8_t>(code);
}

// -t:<run.json>[,<run.json>...]
void ParseRunsOption(const char* arg, StartupSettings& s, std::string& messages) {
  if (!HasValue(arg)) {
    messages += "ERROR: No run file found for parameter -t:\n";
    return;
  }
  const std::string list = arg + 3;
  for (std::size_t at = 0; at <= list.size();) {
    const std::size_t comma = std::min(list.find(',', at), list.size());
    if (comma > at) s.RunFiles.push_back(list.substr(at, comma - at));
    at = comma + 1;
  }
}

void ParseOne(const char* arg, StartupSettings& s, std::string& messages, BindHook onBind) {
  if (arg[0] != '-') return;
  switch (arg[1]) {
    case 'h': s.ShowUsage = true; break;
    case 'f': ParseFileOption(arg, s, messages); break;
    case 'c': s.ConsoleInput = true; break;
    case 'v': s.Verbose = true; break;
    case 'x': s.Standard = true; break;
    case 'j': s.Json = true; break;
    case 'm': s.SmsPdu = true; break;
    case 't': ParseRunsOption(arg, s, messages); break;
    case 'u':
      if (HasValue(arg)) s.ExpectedProfile = arg + 3;
      else messages += "ERROR: No unit profile found for parameter -u:\n";
      break;
    case 'l':
      if (HasValue(arg)) s.VerdictFile = arg + 3;
      else messages += "ERROR: No verdict file found for parameter -l:\n";
      break;
    case 'r': ParseConfirmOption(arg, s, messages); break;
    case 'p': ParseCaptureOption(arg, s, messages); break;
    case 'g': ParseTrackOption(arg, s, messages); break;
    case 'e': ParseUnitsOption(arg, s, messages); break;
    case 'd': ParsePacingOption(arg, s, messages); break;
    case 's': ParsePlatformOption(arg, s, messages); break;
    case 'a':
      if (arg[2] != ':') s.FatalOption = true;
      ParseAddressOption(arg, messages);
      break;
    case 'n': ParseIncomingOption(arg, s, messages); break;
    case 'w':
      ParseDirectoryOption(arg, s.WorkDirectory, &s.WorkDirGiven,
                           "WARNING: No WorkDirectory for parameter -w.\n", messages);
      break;
    case 'o':
      ParseDirectoryOption(arg, s.OutDirectory, nullptr,
                           "WARNING: No OutDirectory for parameter -o.\n", messages);
      break;
    case 'b': ParseBindOption(arg, s, messages, onBind); break;
    default: break;
  }
}

}  // namespace

bool ScanUnsigned(const char* text, uint32_t& value) {
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  uint64_t accumulated = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
    accumulated = accumulated * 10 + static_cast<unsigned>(*p - '0');
    if (accumulated > 0xFFFFFFFFull) accumulated = 0x100000000ull;  // saturate
  }
  if (accumulated > 0xFFFFFFFFull) {
    value = 0xFFFFFFFFu;
  } else {
    value = static_cast<uint32_t>(accumulated);
    if (negative) value = 0u - value;  // as the C library's %u does
  }
  return true;
}

ReportOptions ReportOptionsOf(const StartupSettings& settings) {
  ReportOptions options;
  options.serviceLayer = settings.Verbose || settings.Standard;
  options.standard = settings.Standard;
  options.json = settings.Json;
  return options;
}

TalkOptions TalkOptionsOf(const StartupSettings& settings) {
  TalkOptions options;
  options.confirm = settings.Confirm;
  options.authorizationResult = settings.AuthorizationResult;
  return options;
}

PacketRoad PacketRoadOf(const StartupSettings& settings) {
  return PacketRoad{ReportOptionsOf(settings), TalkOptionsOf(settings), nullptr};
}

std::string DefaultWorkDirectory(const char* programPath, const std::string& executablePath) {
  const std::string path = programPath != nullptr ? programPath : "";
  const std::string& source = path.find('/') != std::string::npos ? path : executablePath;
  const std::size_t slash = source.rfind('/');
  if (slash == std::string::npos) return "";
  return source.substr(0, slash + 1) + "WorkDir";
}

void ParseOptions(int argc, char** argv, StartupSettings& settings, std::string& messages,
                  BindHook onBind) {
  if (argc < 2) return;
  for (int i = 1; i < argc; ++i) ParseOne(argv[i], settings, messages, onBind);
  if (settings.IncomingMode && !settings.WorkDirGiven) {
    messages += "WARNING: Default path for WorkDirectory will be used '" +
                settings.WorkDirectory + "'\n";
  }
  if (settings.ShowUsage) messages += kUsageText;
}

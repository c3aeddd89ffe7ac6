#include "app/operator_console.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <mutex>

#include "compose/command_builder.h"
#include "service/commands/unit_parameters.h"
#include "console/console_lock.h"
#include "console/console_output.h"
#include "platform/console_input.h"
#include "util/text.h"

namespace {

// The console's line area: 128 bytes, at most 125 characters a line.
constexpr std::size_t kMostCharacters = 125;
// Lines are read up to 128 characters at a time: a line of 125 comes whole
// with its CR LF, and a longer one is seen to be longer.
constexpr std::size_t kReadLimit = kMostCharacters + 4;
// The longest recipient number: the outgoing file name is formed in 64
// bytes, so a longer number could not be written.
constexpr std::size_t kMaxRecipientDigits = 43;

// The parameters of one command line, in the order of its format.
struct CommandParameters {
  char recipient[64] = {};
  uint32_t devId = 0;
  uint32_t first = 0;
  uint32_t second = 0;
  char text[128] = {};
};

// A number of a command line: its name in the echo and its largest value,
// which its field in the packet holds (one byte or 32 bits).
struct NumberField {
  const char* name;
  uint32_t most;
};
constexpr uint32_t kByte = 0xFF;
constexpr uint32_t kU32 = 0xFFFFFFFF;
constexpr NumberField kDevId{"DEV_ID", kU32};

using Builder = EGTS::Subrecord_COMMAND_DATA (*)(const CommandParameters&);

enum class Fields { kOneNumber, kTwoNumbers, kWord };

struct ConsoleCommand {
  const char* name;
  Fields fields;
  int fieldCount;  // converted fields the format must give
  NumberField own[2];  // the command's own numbers, as many as its fields have
  const char* echo;
  const char* help;
  Builder build;
};

// The recipient number is read into a 64-byte field, at most 63 digits, so
// a longer run than the file name can carry is recognised. %n marks where
// each number starts: the numbers are read again there, whole, to be
// checked against their fields.
constexpr const char* kOneNumberFormat = " %63[0123456789] %n%u %n%u";
constexpr const char* kTwoNumbersFormat = " %63[0123456789] %n%u %n%u %n%u";
constexpr const char* kWordFormat = " %63[0123456789] %n%u %127s";

// In table order: a word selects the first command it begins with.
constexpr ConsoleCommand kCommands[] = {
    {"EGTS_ECALL_REQ", Fields::kOneNumber, 3, {{"PAR", kByte}},
     "\nCommand '%s' RCP_NUM='%s' DEV_ID=%u PAR=%u\n\n",
     " 'EGTS_ECALL_REQ <tel_num> <devid> <type:[0,1]>'",
     [](const CommandParameters& p) { return BuildEcallReq(p.recipient, p.devId, p.first); }},
    {"EGTS_ECALL_MSD_REQ", Fields::kTwoNumbers, 4, {{"MSG_ID", kU32}, {"TRANSP", kByte}},
     "\nCommand '%s' RCP_NUM='%s' DEV_ID=%u MSG_ID=%u TRANSP=%u\n\n",
     " 'EGTS_ECALL_MSD_REQ <tel_num> <devid> <msgid> <transp:[0,1,2,3,]>'",
     [](const CommandParameters& p) {
       return BuildEcallMsdReq(p.recipient, p.devId, p.first, p.second);
     }},
    {"EGTS_UNIT_ID", Fields::kWord, 3, {}, "\nCommand '%s' RCP_NUM='%s' DEV_ID=%u\n\n",
     " 'EGTS_UNIT_ID <tel_num> <devid> <auth code>'",
     [](const CommandParameters& p) { return BuildUnitId(p.recipient, p.devId, p.text); }},
    {"EGTS_SIM_PIN", Fields::kOneNumber, 3, {{"SIM_PIN", kU32}},
     "\nCommand '%s' RCP_NUM='%s' DEV_ID=%u SIM_PIN=%u\n\n",
     " 'EGTS_SIM_PIN <tel_num> <devid> <pin code>'",
     [](const CommandParameters& p) { return BuildSimPin(p.recipient, p.devId, p.first); }},
    {"EGTS_SELFTEST_INTERVAL", Fields::kOneNumber, 3, {{"INTERVAL", kU32}},
     "\nCommand '%s' RCP_NUM='%s' DEV_ID=%u INTERVAL=%u\n\n",
     " 'EGTS_SELFTEST_INTERVAL <tel_num> <devid> <interval>'",
     [](const CommandParameters& p) {
       return BuildSelftestInterval(p.recipient, p.devId, p.first);
     }},
    {"EGTS_RADIO_MUTE_DELAY", Fields::kOneNumber, 3, {{"DELAY", kU32}},
     "\nCommand '%s' RCP_NUM='%s' DEV_ID=%u DELAY=%u\n\n",
     " 'EGTS_RADIO_MUTE_DELAY <tel_num> <devid> <delay>'",
     [](const CommandParameters& p) { return BuildRadioMuteDelay(p.recipient, p.devId, p.first); }},
    {"EGTS_RADIO_UNMUTE_DELAY", Fields::kOneNumber, 3, {{"DELAY", kU32}},
     "\nCommand '%s' RCP_NUM='%s' DEV_ID=%u DELAY=%u\n\n",
     " 'EGTS_RADIO_UNMUTE_DELAY <tel_num> <devid> <delay>'",
     [](const CommandParameters& p) {
       return BuildRadioUnmuteDelay(p.recipient, p.devId, p.first);
     }},
};

void Print(const std::string& text) {
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  WriteText(text);
}

// The characters of a line without its line end (LF or CR LF).
std::size_t LineCharacters(const std::string& line) {
  std::size_t length = line.size();
  if (length > 0 && line[length - 1] == '\n') --length;
  if (length > 0 && line[length - 1] == '\r') --length;
  return length;
}

bool BeginsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

const ConsoleCommand* FindCommand(const std::string& word) {
  for (const ConsoleCommand& command : kCommands) {
    if (BeginsWith(word, command.name)) return &command;
  }
  return nullptr;
}

// Reads the number at `text` as the format's %u took it (a sign, then
// digits) and checks it against its field; the error line when it is
// negative or beyond the field.
std::optional<std::string> ReadNumber(const char* text, const NumberField& field,
                                      uint32_t& value) {
  const char* at = text;
  const bool negative = *at == '-';
  if (*at == '-' || *at == '+') ++at;
  uint64_t number = 0;
  for (; *at >= '0' && *at <= '9'; ++at) {
    number = std::min<uint64_t>(number * 10 + static_cast<uint64_t>(*at - '0'), uint64_t{1} << 40);
  }
  if ((negative && number != 0) || number > field.most) {
    const std::string typed(text, std::strcspn(text, " \t\r\n"));
    return StringPrintf("\nERROR: incorrect parameter: %s=%s is out of range 0..%lu\n", field.name,
                        EscapeName(typed).c_str(), static_cast<unsigned long>(field.most));
  }
  value = static_cast<uint32_t>(number);
  return std::nullopt;
}

// Converts the parameters with the command's format and checks every number
// against its field; the error line when a field is missing, the recipient
// number is too long to be written, or a number is out of its range.
std::optional<std::string> ConvertParameters(const ConsoleCommand& command, const char* text,
                                             CommandParameters& p) {
  int converted = 0;
  int at[3] = {};  // where DEV_ID and the own numbers start
  switch (command.fields) {
    case Fields::kOneNumber:
      converted = std::sscanf(text, kOneNumberFormat, p.recipient, &at[0], &p.devId, &at[1],
                              &p.first);
      break;
    case Fields::kTwoNumbers:
      converted = std::sscanf(text, kTwoNumbersFormat, p.recipient, &at[0], &p.devId, &at[1],
                              &p.first, &at[2], &p.second);
      break;
    case Fields::kWord:
      converted = std::sscanf(text, kWordFormat, p.recipient, &at[0], &p.devId, p.text);
      break;
  }
  if (converted != command.fieldCount || std::strlen(p.recipient) > kMaxRecipientDigits) {
    return "\nERROR: incorrect parameter.\n";
  }
  const int ownNumbers = command.fields == Fields::kTwoNumbers  ? 2
                         : command.fields == Fields::kOneNumber ? 1
                                                                : 0;
  uint32_t* values[3] = {&p.devId, &p.first, &p.second};
  for (int i = 0; i <= ownNumbers; ++i) {
    const NumberField& field = i == 0 ? kDevId : command.own[i - 1];
    if (auto error = ReadNumber(text + at[i], field, *values[i])) return error;
  }
  return std::nullopt;
}

const char* RefusalText(QueueOutcome outcome) {
  switch (outcome) {
    case QueueOutcome::kNoWorkThread:
      return "WARNING: Command was not queued: there is no work thread\n";
    case QueueOutcome::kNotRunning:
      return "WARNING: Command was not queued: the work thread is not running\n";
    case QueueOutcome::kNoQueue:
      return "WARNING: Command was not queued: there is no command queue without an incoming "
             "directory (-n:)\n";
    case QueueOutcome::kLockTimedOut:
      return "WARNING: Command was not queued: the command queue stayed locked for 3000 ms\n";
    case QueueOutcome::kQueued:
      break;
  }
  return "";
}

// A command word and its parameters at `rest`, checked with the same table,
// checks and messages for the outgoing directory and for a connection; the
// echo text goes to `echo`. Null (with its message printed) when the line
// does not make a command.
std::optional<EGTS::Subrecord_COMMAND_DATA> ParseCommand(const char* rest, std::string& echo) {
  char word[128] = {};
  int wordLength = 0;
  if (std::sscanf(rest, "%127[^ \n\r]%n", word, &wordLength) == 0) {
    Print("\nERROR: Input error\n");
    return std::nullopt;
  }
  const ConsoleCommand* command = FindCommand(word);
  if (command == nullptr) {
    Print(UnknownCommandText(word));
    return std::nullopt;
  }
  CommandParameters parameters;
  if (auto error = ConvertParameters(*command, rest + wordLength, parameters)) {
    Print(*error);
    return std::nullopt;
  }
  echo = StringPrintf(command->echo, word, parameters.recipient, parameters.devId,
                      parameters.first, parameters.second);
  return command->build(parameters);
}

void HandleCommandLine(const std::string& line, CommandDestination& destination) {
  // The word starts at the ninth character; the eighth is skipped unseen.
  const char* rest = line.size() > 8 ? line.c_str() + 8 : "";
  std::string echo;
  const auto command = ParseCommand(rest, echo);
  if (!command) return;
  const QueueOutcome readiness = destination.Readiness();
  if (readiness != QueueOutcome::kQueued) {
    Print(RefusalText(readiness));
    return;
  }
  Print(echo);
  const QueueOutcome queued = destination.Queue(*command);
  if (queued != QueueOutcome::kQueued) Print(RefusalText(queued));
}

// The parameter a live word names: by the table's name, or by its code
// (decimal, or hexadecimal with 0x).
const EGTS::UnitParameter* FindNamedParameter(const std::string& word) {
  if (const EGTS::UnitParameter* found = EGTS::FindParameter(word)) return found;
  uint32_t code = 0;
  const bool hex = word.rfind("0x", 0) == 0 || word.rfind("0X", 0) == 0;
  const char* digits = word.c_str() + (hex ? 2 : 0);
  char* end = nullptr;
  code = static_cast<uint32_t>(std::strtoul(digits, &end, hex ? 16 : 10));
  if (*digits == '\0' || *end != '\0' || code > 0xFFFF) return nullptr;
  return EGTS::FindParameter(static_cast<uint16_t>(code));
}

// "get <parameter>" and "set <parameter> <value>" after "send <client id>":
// a read or a set of a unit parameter of the table, the value checked
// against the parameter's type and range. Null (with its message printed)
// when the words make no command.
std::optional<EGTS::Subrecord_COMMAND_DATA> ParseParameterWords(const char* rest,
                                                               std::string& echo) {
  char verb[8] = {};
  char name[64] = {};
  int used = 0;
  if (std::sscanf(rest, " %7s %63s %n", verb, name, &used) < 2) {
    Print("\nERROR: incorrect parameter.\n");
    return std::nullopt;
  }
  const EGTS::UnitParameter* parameter = FindNamedParameter(name);
  if (parameter == nullptr) {
    Print(StringPrintf("\nERROR: Unknown parameter '%s'\n", EscapeName(name).c_str()));
    return std::nullopt;
  }
  if (std::strcmp(verb, "get") == 0) {
    echo = StringPrintf("\nCommand 'get' PARAMETER=%s (0x%04X)\n\n", parameter->name, parameter->code);
    return BuildParameterRead(parameter->code);
  }
  std::string text = rest + used;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const auto value = EGTS::ParseValueText(*parameter, text);
  const std::string wrong = !value ? std::string(EGTS::ParameterTypeName(parameter->type)) + " expected"
                                   : EGTS::CheckValue(*parameter, *value);
  if (text.empty() || !wrong.empty()) {
    Print(StringPrintf("\nERROR: incorrect parameter: %s=%s: %s\n", parameter->name,
                       EscapeName(text).c_str(), text.empty() ? "no value" : wrong.c_str()));
    return std::nullopt;
  }
  echo = StringPrintf("\nCommand 'set' PARAMETER=%s (0x%04X) VALUE=%s\n\n", parameter->name,
                      parameter->code, EscapeControls(EGTS::ValueText(*value)).c_str());
  return BuildParameterSet(parameter->code, EGTS::EncodeValue(*value));
}

// The largest object `upload` takes: the parts of a bigger one would not be
// counted in EPQ's 16 bits at the default part size, and the whole object
// is held in memory until it is sent.
constexpr std::size_t kMaxUploadBytes = 16u << 20;

// The file whole; an error line when it cannot be read, is empty or too big.
std::optional<std::string> ReadObject(const std::string& name, std::vector<uint8_t>& bytes) {
  std::ifstream in(name, std::ios::binary);
  std::vector<char> chunk(65536);
  while (in && bytes.size() <= kMaxUploadBytes) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + in.gcount());
  }
  const std::string shown = EscapeName(name);
  if (!in.eof()) return StringPrintf("\nERROR: Can not read the file '%s'\n", shown.c_str());
  if (bytes.empty()) return StringPrintf("\nERROR: The file '%s' is empty\n", shown.c_str());
  if (bytes.size() > kMaxUploadBytes) {
    return StringPrintf("\nERROR: The file '%s' is larger than %zu bytes\n", shown.c_str(),
                        kMaxUploadBytes);
  }
  return std::nullopt;
}

// "upload <file> [firmware|config] [module]" after "send <client id>": the
// object and its header, or null (with its message printed).
std::optional<NTCPIPClientThread::Upload> ParseUploadWords(const char* rest, std::string& echo) {
  char file[128] = {};
  char kind[16] = "firmware";
  char module[16] = "1";
  char extra[2] = {};
  const int words = std::sscanf(rest, " upload %127s %15s %15s %1s", file, kind, module, extra);
  if (words < 1 || words > 3) {
    Print("\nERROR: incorrect parameter.\n");
    return std::nullopt;
  }
  const bool configuration = std::strcmp(kind, "config") == 0;
  if (!configuration && std::strcmp(kind, "firmware") != 0) {
    Print(StringPrintf("\nERROR: incorrect parameter: KIND=%s: firmware or config expected\n",
                       EscapeName(kind).c_str()));
    return std::nullopt;
  }
  if (std::strcmp(module, "0") != 0 && std::strcmp(module, "1") != 0) {
    Print(StringPrintf("\nERROR: incorrect parameter: MODULE=%s: 0 (peripheral) or 1 (the unit) "
                       "expected\n",
                       EscapeName(module).c_str()));
    return std::nullopt;
  }
  NTCPIPClientThread::Upload upload;
  if (auto error = ReadObject(file, upload.object)) {
    Print(*error);
    return std::nullopt;
  }
  upload.header.configuration = configuration;
  upload.header.module = static_cast<uint8_t>(module[0] - '0');
  echo = StringPrintf("\nCommand 'upload' FILE=%s SIZE=%zu KIND=%s MODULE=%s\n\n",
                      EscapeName(file).c_str(), upload.object.size(), kind, module);
  return upload;
}

bool IsUploadVerb(const char* rest) {
  char verb[8] = {};
  return std::sscanf(rest, " %7s", verb) == 1 && std::strcmp(verb, "upload") == 0;
}

// Tells what became of a command or an upload handed to a connection.
void PrintSendOutcome(SendOutcome outcome, const char* client, std::size_t waiting) {
  switch (outcome) {
    case SendOutcome::kQueued:
      return;
    case SendOutcome::kNoConnection:
      Print(StringPrintf("ERROR: No connection %s\n", client));
      return;
    case SendOutcome::kNotAccepted:
      Print(StringPrintf("ERROR: Connection %s takes no command now (%zu waiting)\n", client,
                         waiting));
      return;
    case SendOutcome::kLockTimedOut:
      Print("ERROR: The connections stayed locked for 3000 ms\n");
      return;
  }
}

bool IsParameterVerb(const char* rest) {
  char verb[8] = {};
  return std::sscanf(rest, " %7s", verb) == 1 &&
         (std::strcmp(verb, "get") == 0 || std::strcmp(verb, "set") == 0);
}

// "send <client id> <command> <tel_num> <devid> <params>": the command goes
// to that connection instead of the outgoing directory.
void HandleSendLine(const std::string& line, CommandDestination& destination) {
  char client[64] = {};
  int consumed = 0;
  if (std::sscanf(line.c_str() + 4, " %63s %n", client, &consumed) != 1) {
    Print("\nERROR: Input error\n");
    return;
  }
  std::string echo;
  const char* rest = line.c_str() + 4 + consumed;
  if (IsUploadVerb(rest)) {
    auto upload = ParseUploadWords(rest, echo);
    if (!upload) return;
    PrintSendOutcome(destination.UploadToClient(client, std::move(*upload), [&echo] { Print(echo); }),
                     client, NTCPIPClientThread::kMaxQueuedUploads);
    return;
  }
  const auto command = IsParameterVerb(rest) ? ParseParameterWords(rest, echo) : ParseCommand(rest, echo);
  if (!command) return;
  // Echoed once the connection has taken the command, and before its thread
  // can send and dump the packet.
  uint32_t cid = 0;
  PrintSendOutcome(destination.SendToClient(client, *command, cid, [&echo] { Print(echo); }), client,
                   NTCPIPClientThread::kMaxQueuedCommands);
}

}  // namespace

std::string UnknownCommandText(const std::string& word) {
  std::string text = StringPrintf("\nERROR: Unspecified command '%s'\n", word.c_str());
  text += "The following commands are supported:\n";
  for (const ConsoleCommand& command : kCommands) {
    text += command.help;
    text += '\n';
  }
  return text;
}

std::string ClientsText(const std::vector<NTCPIPClientThread::Summary>& clients) {
  if (clients.empty()) return "No connections\n";
  std::string text;
  for (const NTCPIPClientThread::Summary& client : clients) {
    text += StringPrintf("%.6X  %s  %s", client.id, client.peer.c_str(),
                         client.authorized ? "authorized" : "not authorized");
    if (client.tid) text += StringPrintf("  TID %u", *client.tid);
    if (!client.imei.empty()) text += "  IMEI " + EscapeControls(client.imei);
    text += StringPrintf("  packets %llu\n", static_cast<unsigned long long>(client.packets));
  }
  return text;
}

bool HandleConsoleLine(const std::string& line, CommandDestination& destination) {
  if (BeginsWith(line, "command")) {
    HandleCommandLine(line, destination);
  } else if (destination.Talks() && BeginsWith(line, "clients")) {
    Print(ClientsText(destination.Clients()));
  } else if (destination.Talks() && BeginsWith(line, "send ")) {
    HandleSendLine(line, destination);
  } else if (destination.TakesSms() && BeginsWith(line, "sms ")) {
    std::vector<uint8_t> pdu;
    int high = -1;
    for (std::size_t i = 4; i < LineCharacters(line); ++i) {
      const char c = line[i];
      const int digit = std::isxdigit(static_cast<unsigned char>(c)) ? std::stoi(std::string(1, c), nullptr, 16) : -1;
      if (digit < 0) continue;
      if (high < 0) {
        high = digit;
      } else {
        pdu.push_back(static_cast<uint8_t>(high << 4 | digit));
        high = -1;
      }
    }
    destination.Sms(pdu);
  } else if (BeginsWith(line, "quit")) {
    return false;
  } else {
    Print("\nInvalid command type. Please, type 'command' first.\n");
  }
  return true;
}

// A line longer than the console takes is refused whole: nothing of it
// runs, not even its tail.
bool RunOperatorConsole(CommandDestination& destination) {
  platform::ConsoleInput& input = platform::StandardInput();
  while (auto line = input.ReadLine(kReadLimit)) {
    if (LineCharacters(*line) <= kMostCharacters) {
      if (!HandleConsoleLine(*line, destination)) return true;
      continue;
    }
    while (line && line->back() != '\n') line = input.ReadLine(kReadLimit);
    Print(StringPrintf("\nERROR: The line is longer than %zu characters and was ignored\n",
                       kMostCharacters));
    if (!line) break;
  }
  return false;
}

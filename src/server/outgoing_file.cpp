// Command packets: a queued operator command becomes an EGTS packet that is
// dumped on the console and written as a packet file to the outgoing
// directory.

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "platform/system_time.h"
#include "server/nwork_thread.h"
#include "server/packet_file.h"
#include "transport/result_codes.h"
#include "transport/transport_header.h"
#include "util/text.h"

namespace {

// A name already taken in the outgoing directory is formed again in the
// next second; this bounds how long one file may wait for a free name.
constexpr int kNameTries = 10;

// Written under this name first, so that a reader of "*.txt" never sees a
// file half-written.
std::string TemporaryPath(const std::string& path) { return path + ".part"; }

void SleepUntilNextSecond() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto next = ceil<seconds>(now + milliseconds(1));
  platform::Sleep(duration_cast<milliseconds>(next - now) + milliseconds(1));
}

// Writes the whole text; false when a write wrote nothing.
bool WriteAll(std::FILE* file, const uint8_t* data, std::size_t size) {
  while (size > 0) {
    const std::size_t written = std::fwrite(data, 1, size, file);
    if (written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

void NWorkThread::WriteCommandPacket(const EGTS::Subrecord_COMMAND_DATA& command) {
  if (command.CD().empty()) return;
  EGTS::bytestream packet;
  if (ComposeCommandPacket(command, counters_, packet) != 0) return;
  pipeline::PacketIn in;
  in.bytes = packet.bytes;
  in.time = platform::CurrentSystemTime();
  in.dumpOnly = true;
  std::string name;
  if (report_.json) {
    // The object names the file, so it follows the writing.
    WritePacketFile(command.RCP_NUM, packet, name);
    in.source = "command";
    in.extra = {{"file", name}};
  } else {
    in.textLead = StringPrintf("Main: \nCommand ID [%u] Packet Data: \n ",
                               static_cast<unsigned>(counters_.commandId)) +
                  HexText(packet.bytes.data(), packet.bytes.size()) + "\n\n";
  }
  // In text the file is written after its dump, so its name is not known yet.
  in.origin.label = name.empty() ? "command" : name;
  pipeline::PacketOut taken = pipeline_.Take(in);
  {
    std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
    if (report_.json) {
      std::fwrite(taken.block.data(), 1, taken.block.size(), stdout);
      std::fflush(stdout);
    } else {
      WriteText(taken.block);
    }
  }
  if (!report_.json) WritePacketFile(command.RCP_NUM, packet, name);
  for (const session::Finding& finding : taken.trackFindings) {
    LogLine(kWorkThreadSource, "%s", session::FindingLine(finding).c_str());
  }
}

std::string NWorkThread::OutgoingPath(const std::string& recipient) const {
  const unsigned recordDigit = counters_.recordNumber % 10;
  return platform::JoinPath(
      outDirectory_,
      OutgoingFileName(platform::CurrentSystemTime(), recordDigit, recipient));
}

bool NWorkThread::WritePacketFile(const std::string& recipient, const EGTS::bytestream& packet,
                                  std::string& name) {
  if (packet.bytes.empty()) return false;
  std::string path = OutgoingPath(recipient);
  name = platform::BaseName(path);
  const std::string temporary = TemporaryPath(path);
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    LogLine(kWorkThreadSource, "ERROR: Can not open file for the writing. [%s]", path.c_str());
    return true;
  }
  ++fileSequence_;
  const std::string header =
      PacketFileHeader(fileSequence_, recipient, static_cast<uint32_t>(std::time(nullptr)));
  bool written = WriteAll(file, reinterpret_cast<const uint8_t*>(header.data()), header.size()) &&
                 WriteAll(file, packet.bytes.data(), packet.bytes.size());
  written = (std::fclose(file) == 0) && written;
  if (!written) {
    LogLine(kWorkThreadSource, "ERROR: file writing failed.");
    platform::DeleteFile(temporary);
    return true;
  }
  // Never over another file: a name taken (several commands for one
  // recipient within a second) is formed again in the next second.
  for (int attempt = 1;; ++attempt) {
    const std::error_code error = platform::RenameNoReplace(temporary, path);
    if (!error) return true;
    if (error.value() != EEXIST || attempt == kNameTries) break;
    SleepUntilNextSecond();
    path = OutgoingPath(recipient);
    name = platform::BaseName(path);
  }
  LogLine(kWorkThreadSource, "ERROR: file writing failed.");
  platform::DeleteFile(temporary);
  return true;
}

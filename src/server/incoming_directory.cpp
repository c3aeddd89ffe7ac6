// The incoming directory: packet files dropped there are moved to the work
// directory, read, dumped and checked at the transport layer.

#include <algorithm>
#include <mutex>

#include "console/console_lock.h"
#include "console/log_line.h"
#include "console/service_report.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "server/nwork_thread.h"
#include "server/packet_file.h"
#include "service/record_parser.h"
#include "transport/result_codes.h"
#include "transport/text.h"
#include "transport/transport_header.h"
#include "transport/transport_report.h"

namespace {

constexpr const char* kMarkerFileName = "~~~~~.txt";
constexpr int kFileTries = 5;
constexpr std::chrono::milliseconds kFileRetryPause{100};

// Runs operation up to kFileTries times, pausing after each failed try.
template <class Operation>
bool WithRetries(Operation operation) {
  for (int attempt = 0; attempt < kFileTries; ++attempt) {
    if (!operation()) return true;
    platform::Sleep(kFileRetryPause);
  }
  return false;
}

}  // namespace

void NWorkThread::ScanIncomingDirectory() {
  auto names = platform::ListFiles(incDirectory_, "*.txt");
  if (names) {
    // Name order, so that a burst of files is served the same way every time.
    std::sort(names->begin(), names->end());
    for (const std::string& name : *names) {
      const std::string source = platform::JoinPath(incDirectory_, name);
      if (name == kMarkerFileName) {
        WithRetries([&] { return platform::DeleteFile(source); });
        continue;
      }
      if (!MoveToWorkDirectory(name)) continue;
      const std::string target = platform::JoinPath(workDirectory_, name);
      const uint32_t count = ReadPacketFile(target.c_str(), fileBuffer_);
      if (count == 0) {
        // Kept for the operator to look at, not deleted unseen.
        LogLine(kWorkThreadSource,
                "WARNING: File '%s' holds no usable packet; it is kept in the work directory\n",
                name.c_str());
        continue;
      }
      ReportPacketFile(name, count);
    }
  }
  changeNotification_->Rearm();
}

// A file that a writer still holds open is not moved: it is tried again at
// the next notification, which its close brings.
bool NWorkThread::MoveToWorkDirectory(const std::string& name) {
  const std::string source = platform::JoinPath(incDirectory_, name);
  const std::string target = platform::JoinPath(workDirectory_, name);
  if (WithRetries([&] { return platform::MoveClosedFileReplacing(source, target); })) return true;
  LogLine(kWorkThreadSource, "ERROR: Can not move file '%s' to the work directory\n", name.c_str());
  return false;
}

void NWorkThread::ReportPacketFile(const std::string& name, uint32_t count) const {
  std::string text = StringPrintf("Main:   File: '%s'\nPacket data: \n [", name.c_str());
  text += HexText(fileBuffer_.data(), count);
  text += "]\n\n";
  // A packet longer than 65535 bytes is checked on its first 65535 bytes,
  // as in single-packet mode.
  const auto checked = static_cast<uint16_t>(std::min<uint32_t>(count, 0xFFFF));
  TransportHeader header;
  const uint8_t code = ValidateTransportHeader(fileBuffer_.data(), checked, header);
  text += FormatTransportResult(code, header);
  if (serviceReport_ && !EGTS::IsError(code)) {
    PacketHolder holder;
    const uint8_t parsed = ParseFrameData(fileBuffer_.data(), checked, header, holder);
    text += FormatServiceLayerReport(parsed, holder);
    ReleasePacket(holder);
  }
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  WriteStdout(text);
}

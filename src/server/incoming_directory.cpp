// The incoming directory: packet files dropped there are moved to the work
// directory, read, dumped and checked at the transport layer. Only regular
// files are taken: links, FIFOs, sockets, devices and directories are left
// where they are, with one warning per name.

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/packet_json.h"
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
// The header check and the parse look at no more than this; the rest of a
// longer file is only dumped, a chunk at a time.
constexpr std::size_t kCheckedBytes = 0xFFFF;
constexpr std::size_t kDumpChunk = 64 * 1024;

// Runs operation up to kFileTries times, pausing after each failed try.
template <class Operation>
bool WithRetries(Operation operation) {
  for (int attempt = 0; attempt < kFileTries; ++attempt) {
    if (!operation()) return true;
    platform::Sleep(kFileRetryPause);
  }
  return false;
}

// JSON goes to standard output; text where the console's texts go.
void WriteOut(std::FILE* json, const std::string& text) {
  if (json == nullptr) {
    WriteText(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), json);
  std::fflush(json);
}

}  // namespace

void NWorkThread::ScanIncomingDirectory() {
  auto entries = platform::ListEntries(incDirectory_, "*.txt");
  if (entries) {
    // Name order, so that a burst of files is served the same way every time.
    std::sort(entries->begin(), entries->end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    std::set<std::string> stillThere;
    for (const platform::DirectoryEntry& entry : *entries) {
      const std::string source = platform::JoinPath(incDirectory_, entry.name);
      if (entry.kind != platform::EntryKind::kRegular) {
        stillThere.insert(entry.name);
        WarnNotRegular(entry.name, entry.kind);
        continue;
      }
      if (entry.name == kMarkerFileName) {
        WithRetries([&] { return platform::DeleteFile(source); });
        continue;
      }
      if (!MoveToWorkDirectory(entry.name)) continue;
      ReportPacketFile(entry.name);
    }
    // A name warned about once is warned about again only after it has gone.
    std::erase_if(notRegularWarned_,
                  [&](const std::string& name) { return !stillThere.count(name); });
  }
  changeNotification_->Rearm();
}

void NWorkThread::WarnNotRegular(const std::string& name, platform::EntryKind kind) {
  if (!notRegularWarned_.insert(name).second) return;
  LogLine(kWorkThreadSource,
          "WARNING: '%s' in the incoming directory is not a regular file (%s); it is left alone\n",
          name.c_str(), platform::EntryKindName(kind));
}

// A file that a writer still holds open is not moved: it is tried again at
// the next notification, which its close brings. An entry that turned into
// something else than a regular file since the listing is left alone at once.
bool NWorkThread::MoveToWorkDirectory(const std::string& name) {
  const std::string source = platform::JoinPath(incDirectory_, name);
  const std::string target = platform::JoinPath(workDirectory_, name);
  bool notRegular = false;
  const bool moved = WithRetries([&] {
    const std::error_code error = platform::MoveClosedFileReplacing(source, target);
    if (error && platform::EntryKindOf(source) != platform::EntryKind::kRegular) {
      notRegular = true;
      return std::error_code();  // no further tries
    }
    return error;
  });
  if (notRegular) {
    const platform::EntryKind kind = platform::EntryKindOf(source);
    if (kind != platform::EntryKind::kMissing) WarnNotRegular(name, kind);
    return false;
  }
  if (moved) return true;
  LogLine(kWorkThreadSource, "ERROR: Can not move file '%s' to the work directory\n", name.c_str());
  return false;
}

// Formats the head of the report first, then writes the dump and the report
// as one block under ConsoleLock, reading the rest of a long file a chunk at
// a time, so memory does not grow with the size of the file.
void NWorkThread::ReportPacketFile(const std::string& name) {
  const std::string path = platform::JoinPath(workDirectory_, name);
  PacketFileStream stream;
  platform::EntryKind kind;
  const PacketFileStream::Opened opened = stream.Open(path, kCheckedBytes, kind);
  if (opened == PacketFileStream::Opened::kNotRegular) {
    WarnNotRegular(name, kind);
    return;
  }
  if (opened != PacketFileStream::Opened::kOk) {
    // Kept for the operator to look at, not deleted unseen.
    LogLine(kWorkThreadSource,
            "WARNING: File '%s' holds no usable packet; it is kept in the work directory\n",
            name.c_str());
    return;
  }
  const std::vector<uint8_t>& head = stream.Head();
  const platform::SystemTime received = platform::CurrentSystemTime();
  // A packet longer than 65535 bytes is checked on its first 65535 bytes,
  // as in single-packet mode.
  const auto checked = static_cast<uint16_t>(std::min(head.size(), kCheckedBytes));
  TransportHeader header;
  const uint8_t code = ValidateTransportHeader(head.data(), checked, header);
  PacketHolder holder;
  uint8_t parsed = 0;
  if ((report_.serviceLayer || report_.json) && !EGTS::IsError(code)) {
    parsed = ParseFrameData(head.data(), checked, header, holder, report_.Set());
  }
  // Before and after the hexadecimal text of the bytes beyond the head.
  std::string lead;
  std::string tail;
  if (report_.json) {
    PacketJson object;
    object.source = "incoming";
    object.extra = {{"file", name}};
    object.time = received;
    object.bytes = head;
    object.transportResult = code;
    object.header = header;
    object.frameResult = parsed;
    object.holder = EGTS::IsError(code) ? nullptr : &holder;
    object.malformed = RecordAreaMalformed(holder);
    object.standard = report_.standard;
    const std::string line = PacketJsonLine(object) + "\n";
    const std::string hexHead = "\"bytes\":\"" + HexText(head.data(), head.size());
    const std::size_t split = line.find(hexHead) + hexHead.size();
    lead = line.substr(0, split);
    tail = line.substr(split);
  } else {
    lead = StringPrintf("Main:   File: '%s'\nPacket data: \n [", name.c_str()) +
           HexText(head.data(), head.size());
    tail = "]\n\n" + FormatTransportResult(code, header);
    if (report_.serviceLayer && !EGTS::IsError(code)) {
      tail += MalformedRecordAreaText(holder, report_.Set()) +
              FormatServiceLayerReport(parsed, holder, report_.Set(),
                                       platform::UnixSeconds(received));
    }
  }
  ReleasePacket(holder);

  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  std::FILE* out = report_.json ? stdout : nullptr;
  WriteOut(out, lead);
  std::vector<uint8_t> chunk;
  for (;;) {
    stream.ReadMore(chunk, kDumpChunk);
    if (chunk.empty()) break;
    WriteOut(out, HexText(chunk.data(), chunk.size()));
  }
  WriteOut(out, tail);
}

// The incoming directory: packet files dropped there are moved to the work
// directory, read, dumped and checked at the transport layer. Only regular
// files with one name are taken: links (hard links too), FIFOs, sockets,
// devices and directories are left where they are, with one warning per
// name. A file that can not be moved (its writer still holds it) costs no
// pause: it is tried again later, its pause doubling after each try, or as
// soon as a change names it.

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "server/nwork_thread.h"
#include "server/packet_file.h"
#include "transport/result_codes.h"
#include "util/text.h"
#include "transport/transport_header.h"
#include "transport/transport_report.h"

namespace {

// A file that could not be moved this many times is logged (once).
constexpr unsigned kFileTries = 5;
// The header check and the parse look at no more than this; the rest of a
// longer file is only dumped, a chunk at a time.
constexpr std::size_t kCheckedBytes = 0xFFFF;
constexpr std::size_t kDumpChunk = 64 * 1024;

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

void NWorkThread::ScanIncomingDirectory(const platform::ChangeNotification::Changes& changes) {
  auto entries = platform::ListEntries(incDirectory_, "*.txt");
  if (entries) {
    // Name order, so that a burst of files is served the same way every time.
    std::sort(entries->begin(), entries->end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    std::set<std::string> listed;
    for (const platform::DirectoryEntry& entry : *entries) {
      listed.insert(entry.name);
      if (entry.kind != platform::EntryKind::kRegular) {
        heldFiles_.erase(entry.name);
        WarnNotRegular(entry.name, entry.kind);
        continue;
      }
      const Clock::time_point now = Clock::now();
      const auto held = heldFiles_.find(entry.name);
      if (held != heldFiles_.end() && now < held->second.nextTry && !changes.unnamed &&
          changes.names.count(entry.name) == 0) {
        continue;  // not due, and nothing says its writer let go
      }
      if (!MoveToWorkDirectory(entry.name, now)) continue;
      ReportPacketFile(entry.name);
      ServeWaitingConnections();
    }
    // A name is warned about, or held, again only after it has gone.
    std::erase_if(notRegularWarned_, [&](const std::string& name) { return !listed.count(name); });
    std::erase_if(heldFiles_, [&](const auto& held) { return !listed.count(held.first); });
  }
  changeNotification_->Rearm();
  ServeWaitingConnections();
}

std::chrono::milliseconds NWorkThread::UntilNextFileTry() const {
  if (heldFiles_.empty()) return platform::kNoTimeLimit;
  Clock::time_point next = Clock::time_point::max();
  for (const auto& [name, held] : heldFiles_) next = std::min(next, held.nextTry);
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
  return std::max(left, std::chrono::milliseconds(0));
}

void NWorkThread::WarnNotRegular(const std::string& name, platform::EntryKind kind) {
  if (!notRegularWarned_.insert(name).second) return;
  LogLine(kWorkThreadSource,
          "WARNING: '%s' in the incoming directory is not a regular file (%s); it is left alone\n",
          EscapeName(name).c_str(), platform::EntryKindName(kind));
}

// One try, no pause. A file that a writer still holds open is not moved: it
// is tried again when its pause has passed or its writer's close is seen.
// The error is logged once, at the kFileTries-th try, and the move that
// finally succeeds after it says so. An entry that turned into something
// else than a regular file since the listing is left alone at once.
bool NWorkThread::MoveToWorkDirectory(const std::string& name, Clock::time_point now) {
  const std::string source = platform::JoinPath(incDirectory_, name);
  const std::string target = platform::JoinPath(workDirectory_, name);
  const std::error_code error = platform::MoveClosedFileReplacing(source, target);
  const auto held = heldFiles_.find(name);
  if (!error) {
    if (held != heldFiles_.end()) {
      if (held->second.tries >= kFileTries) {
        LogLine(kWorkThreadSource, "INFO: File '%s' moved to the work directory after %u tries\n",
                EscapeName(name).c_str(), held->second.tries + 1);
      }
      heldFiles_.erase(held);
    }
    return true;
  }
  const platform::EntryKind kind = platform::EntryKindOf(source);
  if (kind != platform::EntryKind::kRegular) {
    if (held != heldFiles_.end()) heldFiles_.erase(held);
    if (kind != platform::EntryKind::kMissing) WarnNotRegular(name, kind);
    return false;
  }
  HeldFile& file = heldFiles_[name];
  file.pause = file.tries == 0 ? limits_.heldFileFirstRetry
                               : std::min(file.pause * 2, limits_.heldFileRetryLimit);
  file.nextTry = now + file.pause;
  if (++file.tries == kFileTries) {
    LogLine(kWorkThreadSource, "ERROR: Can not move file '%s' to the work directory\n",
            EscapeName(name).c_str());
  }
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
            EscapeName(name).c_str());
    return;
  }
  const std::vector<uint8_t>& head = stream.Head();
  const platform::SystemTime received = platform::CurrentSystemTime();
  // A packet longer than 65535 bytes is checked on its first 65535 bytes,
  // as in single-packet mode; the rest is dumped as it is read.
  pipeline::PacketIn in;
  in.bytes = head;
  in.time = received;
  in.body = pipeline::TextBody::kFile;
  if (report_.json) {
    in.source = "incoming";
    in.extra = {{"file", name}};
  } else {
    in.textLead = StringPrintf("Main:   File: '%s'\nPacket data: \n [", EscapeName(name).c_str()) +
                  HexText(head.data(), head.size());
    in.textJoin = "]\n\n";
  }
  in.origin.label = name;
  const pipeline::PacketOut taken = pipeline_.Take(in);

  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  std::FILE* out = report_.json ? stdout : nullptr;
  WriteOut(out, taken.block.substr(0, taken.split));
  std::vector<uint8_t> chunk;
  for (;;) {
    stream.ReadMore(chunk, kDumpChunk);
    if (chunk.empty()) break;
    WriteOut(out, HexText(chunk.data(), chunk.size()));
  }
  WriteOut(out, taken.block.substr(taken.split));
  for (const session::Finding& finding : taken.trackFindings) {
    LogLine(kWorkThreadSource, "%s", session::FindingLine(finding).c_str());
  }
}

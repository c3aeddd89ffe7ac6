#include "capture/capture_reader.h"

#include <memory>

#include "capture/capture_file.h"
#include "capture/connection_table.h"
#include "capture/frame_decoder.h"
#include "util/text.h"

namespace capture {

namespace {

constexpr uint64_t kProgressEvery = 4096;  // records

// A frame the snap length cut counts as cut, not as malformed, when its
// headers end early.
void Count(FrameKind kind, bool cut, CaptureTotals& totals) {
  if (cut) ++totals.cut;
  switch (kind) {
    case FrameKind::kSegment: ++totals.segments; break;
    case FrameKind::kOther: ++totals.other; break;
    case FrameKind::kFragment: ++totals.fragments; break;
    case FrameKind::kMalformed:
      if (!cut) ++totals.malformed;
      break;
  }
}

CaptureTotals Read(std::unique_ptr<CaptureFile> file, std::string error, const CaptureOptions& options,
                   CaptureListener& listener) {
  CaptureTotals totals;
  if (file == nullptr) {
    totals.error = error;
    return totals;
  }
  const int linkType = file->LinkType();
  if (!LinkTypeSupported(linkType)) {
    const char* name = pcap_datalink_val_to_name(linkType);
    totals.error = StringPrintf("link type %d (%s) is not supported", linkType, name ? name : "unknown");
    return totals;
  }
  totals.opened = true;
  totals.snapLength = file->SnapLength();
  ConnectionTable table(listener, options.port);
  CaptureRecord record;
  CaptureTime last;
  for (;;) {
    const CaptureFile::Next next = file->Read(record);
    if (next == CaptureFile::Next::kEnd) break;
    if (next == CaptureFile::Next::kDamaged) {
      totals.damaged = true;
      listener.OnDamage(StringPrintf("capture file damaged after record %llu: %s",
                                     static_cast<unsigned long long>(totals.records),
                                     file->Error().c_str()));
      break;
    }
    ++totals.records;
    last = record.time;
    TcpSegment segment;
    const bool cut = record.length > record.bytes.size();
    const FrameKind kind = DecodeFrame(linkType, record.bytes, segment, cut);
    Count(kind, cut, totals);
    if (kind == FrameKind::kSegment) table.Segment(segment, record.time);
    if (totals.records % kProgressEvery == 0) listener.OnProgress(file->Position(), file->Size());
  }
  table.EndAll(last);
  listener.OnProgress(file->Position(), file->Size());
  return totals;
}

}  // namespace

CaptureTotals ReadCapture(const std::string& path, const CaptureOptions& options,
                          CaptureListener& listener) {
  std::string error;
  std::unique_ptr<CaptureFile> file = CaptureFile::Open(path, error);
  return Read(std::move(file), error, options, listener);
}

CaptureTotals ReadCaptureBytes(std::span<const uint8_t> bytes, const CaptureOptions& options,
                               CaptureListener& listener) {
  std::string error;
  std::unique_ptr<CaptureFile> file = CaptureFile::OpenBytes(bytes, error);
  return Read(std::move(file), error, options, listener);
}

}  // namespace capture

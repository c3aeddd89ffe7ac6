// libFuzzer target: the capture reader, from the bytes of a capture file
// (pcap or pcapng) to its events. Aborts on the first violation of what
// the listener is promised:
//   - a whole packet has a sound header and exactly HL + FDL + 2 bytes
//     (HL without frame data); a part has 11 or 16 bytes and a failing code;
//   - a gap loses at least one byte;
//   - every connection that was reported ends exactly once, and nothing is
//     reported for it after its end; ids count up from 1 without holes;
//   - a connection was taken by a whole packet, or by a gap that cut a
//     packet with a sound header short;
//   - damage is reported at most once, and progress never passes the size.
// Memory stays bounded whatever the input: libFuzzer's RSS limit catches
// a reader that holds more than the open connections need.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <string>

#include "capture/capture_reader.h"
#include "transport/transport_header.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

class CheckingListener : public capture::CaptureListener {
 public:
  void OnPacket(const capture::PacketEvent& e) override {
    Live(e.connection);
    if (e.whole) {
      Check(e.headerCode == 0);
      Check(e.bytes.size() == e.header.HL + (e.header.FDL ? e.header.FDL + std::size_t{2} : 0));
      // An HL 11 header with the routing flag was checked on 16 bytes, some
      // of them beyond a packet shorter than that: it cannot be checked again.
      const bool checkedBeyond = e.header.RTE() && e.bytes.size() < kRoutedHeaderLength;
      TransportHeader again;
      const auto count = static_cast<uint16_t>(std::min<std::size_t>(e.bytes.size(), kRoutedHeaderLength));
      Check(checkedBeyond || ValidateTransportHeader(e.bytes.data(), count, again) == 0);
    } else {
      Check(e.headerCode != 0);
      Check(e.bytes.size() == kShortHeaderLength || e.bytes.size() == kRoutedHeaderLength);
    }
  }
  void OnGap(const capture::GapEvent& e) override {
    Live(e.connection);
    Check(e.bytesLost > 0);
  }
  void OnConnectionEnd(const capture::ConnectionEndEvent& e) override {
    Live(e.connection);
    Check(e.terminalToPlatform.packets + e.platformToTerminal.packets + e.terminalToPlatform.gaps +
              e.platformToTerminal.gaps >
          0);
    ended_.insert(e.connection.id);
  }
  void OnDamage(const std::string& message) override {
    Check(!damaged_ && !message.empty());
    damaged_ = true;
  }
  void OnProgress(uint64_t read, uint64_t size) override { Check(read <= size); }

  void Finish() const { Check(ended_.size() == lastId_); }

 private:
  void Live(const capture::Connection& c) {
    Check(c.id >= 1 && c.id <= lastId_ + 1);
    Check(ended_.count(c.id) == 0);
    if (c.id > lastId_) lastId_ = c.id;
  }

  std::set<uint64_t> ended_;
  uint64_t lastId_ = 0;
  bool damaged_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TPAddress = 0;
  CheckingListener listener;
  capture::ReadCaptureBytes(std::span<const uint8_t>(data, size), {}, listener);
  listener.Finish();
  return 0;
}

#include "support/capture_writer.h"

#include <algorithm>
#include <fstream>

namespace testing_support {

namespace {

void PutBe16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void PutBe32(Bytes& out, uint32_t value) {
  PutBe16(out, static_cast<uint16_t>(value >> 16));
  PutBe16(out, static_cast<uint16_t>(value));
}

Bytes TcpBytes(const WrittenSegment& s) {
  Bytes out;
  PutBe16(out, s.from.port);
  PutBe16(out, s.to.port);
  PutBe32(out, s.seq);
  PutBe32(out, s.ack);
  out.push_back(0x50);  // 20-byte header
  out.push_back(s.flags);
  PutBe16(out, 65535);  // window
  PutBe32(out, 0);      // check sum, urgent pointer
  out.insert(out.end(), s.payload.begin(), s.payload.end());
  return out;
}

Bytes IpBytes(const WrittenSegment& s) {
  const Bytes tcp = TcpBytes(s);
  Bytes out;
  if (s.from.v6) {
    out = {0x60, 0, 0, 0};
    PutBe16(out, static_cast<uint16_t>(tcp.size()));
    out.push_back(6);   // next header TCP
    out.push_back(64);  // hop limit
    out.insert(out.end(), s.from.address.begin(), s.from.address.end());
    out.insert(out.end(), s.to.address.begin(), s.to.address.end());
  } else {
    out = {0x45, 0};
    PutBe16(out, static_cast<uint16_t>(20 + tcp.size()));
    PutBe32(out, 0x00004000);  // id 0, don't fragment
    out.push_back(64);
    out.push_back(6);
    PutBe16(out, 0);
    out.insert(out.end(), s.from.address.begin(), s.from.address.begin() + 4);
    out.insert(out.end(), s.to.address.begin(), s.to.address.begin() + 4);
  }
  out.insert(out.end(), tcp.begin(), tcp.end());
  return out;
}

uint32_t LinkType(Link link) {
  switch (link) {
    case Link::kEthernet:
    case Link::kEthernetVlan: return 1;
    case Link::kSll: return 113;
    case Link::kSll2: return 276;
    case Link::kRaw: return 101;
  }
  return 0;
}

void PutLe32(Bytes& out, uint32_t value) { PutU32(out, value); }

Bytes Padded(Bytes bytes) {
  bytes.resize((bytes.size() + 3) / 4 * 4, 0);
  return bytes;
}

// A pcapng block: type, total length, body, total length again.
Bytes Block(uint32_t type, const Bytes& body) {
  Bytes out;
  PutLe32(out, type);
  PutLe32(out, static_cast<uint32_t>(body.size() + 12));
  out.insert(out.end(), body.begin(), body.end());
  PutLe32(out, static_cast<uint32_t>(body.size() + 12));
  return out;
}

}  // namespace

TcpEnd V4End(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port) {
  TcpEnd end;
  end.address[0] = a;
  end.address[1] = b;
  end.address[2] = c;
  end.address[3] = d;
  end.port = port;
  return end;
}

TcpEnd V6End(const std::array<uint16_t, 8>& groups, uint16_t port) {
  TcpEnd end;
  end.v6 = true;
  for (std::size_t i = 0; i < 8; ++i) {
    end.address[2 * i] = static_cast<uint8_t>(groups[i] >> 8);
    end.address[2 * i + 1] = static_cast<uint8_t>(groups[i]);
  }
  end.port = port;
  return end;
}

TcpConversation::TcpConversation(TcpEnd terminal, TcpEnd platform, uint32_t terminalIsn,
                                 uint32_t platformIsn)
    : terminal_(terminal), platform_(platform), terminalNext_(terminalIsn), platformNext_(platformIsn) {}

WrittenSegment TcpConversation::Make(bool fromTerminal, uint8_t flags, Bytes payload) {
  uint32_t& next = fromTerminal ? terminalNext_ : platformNext_;
  WrittenSegment s{fromTerminal ? terminal_ : platform_, fromTerminal ? platform_ : terminal_, next,
                   fromTerminal ? platformNext_ : terminalNext_, flags, std::move(payload)};
  if (!(flags & kTcpAck)) s.ack = 0;
  next += static_cast<uint32_t>(s.payload.size()) + ((flags & (kTcpSyn | kTcpFin)) ? 1 : 0);
  return s;
}

std::vector<WrittenSegment> TcpConversation::Open() {
  std::vector<WrittenSegment> out;
  out.push_back(Make(true, kTcpSyn, {}));
  out.push_back(Make(false, kTcpSyn | kTcpAck, {}));
  out.push_back(Make(true, kTcpAck, {}));
  return out;
}

std::vector<WrittenSegment> TcpConversation::Send(bool fromTerminal, const Bytes& bytes, std::size_t piece) {
  std::vector<WrittenSegment> out;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const std::size_t end = std::min(bytes.size(), at + piece);
    out.push_back(Make(fromTerminal, kTcpAck, Bytes(bytes.begin() + at, bytes.begin() + end)));
  }
  return out;
}

std::vector<WrittenSegment> TcpConversation::Close() {
  std::vector<WrittenSegment> out;
  out.push_back(Make(true, kTcpFin | kTcpAck, {}));
  out.push_back(Make(false, kTcpFin | kTcpAck, {}));
  out.push_back(Make(true, kTcpAck, {}));
  return out;
}

void Append(std::vector<WrittenSegment>& to, const std::vector<WrittenSegment>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

Bytes FrameBytes(Link link, const WrittenSegment& segment) {
  const Bytes ip = IpBytes(segment);
  const uint16_t etherType = segment.from.v6 ? 0x86DD : 0x0800;
  Bytes out;
  switch (link) {
    case Link::kEthernet:
    case Link::kEthernetVlan:
      out = {0x02, 0, 0, 0, 0, 1, 0x02, 0, 0, 0, 0, 2};
      if (link == Link::kEthernetVlan) {
        PutBe16(out, 0x8100);
        PutBe16(out, 42);
      }
      PutBe16(out, etherType);
      break;
    case Link::kSll:
      out = {0, 0, 0, 1, 0, 6, 0x02, 0, 0, 0, 0, 1, 0, 0};
      PutBe16(out, etherType);
      break;
    case Link::kSll2:
      PutBe16(out, etherType);
      PutBe16(out, 0);      // reserved
      PutBe32(out, 1);      // interface index
      PutBe16(out, 1);      // ARPHRD_ETHER
      out.push_back(0);     // packet type
      out.push_back(6);     // address length
      for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(i));
      break;
    case Link::kRaw: break;
  }
  out.insert(out.end(), ip.begin(), ip.end());
  return out;
}

std::vector<CapturedFrame> Frames(Link link, const std::vector<WrittenSegment>& segments) {
  std::vector<CapturedFrame> frames;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    frames.push_back({FrameBytes(link, segments[i]), static_cast<int64_t>(i)});
  }
  return frames;
}

Bytes PcapOfFrames(Link link, const std::vector<CapturedFrame>& frames, uint32_t snapLength) {
  Bytes out;
  PutLe32(out, 0xA1B2C3D4);
  PutU16(out, 2);
  PutU16(out, 4);
  PutLe32(out, 0);  // this zone
  PutLe32(out, 0);  // sigfigs
  PutLe32(out, snapLength);
  PutLe32(out, LinkType(link));
  for (const CapturedFrame& frame : frames) {
    const auto captured = static_cast<uint32_t>(std::min<std::size_t>(frame.bytes.size(), snapLength));
    PutLe32(out, static_cast<uint32_t>(kCaptureStart + frame.ms / 1000));
    PutLe32(out, static_cast<uint32_t>(frame.ms % 1000 * 1000));
    PutLe32(out, captured);
    PutLe32(out, static_cast<uint32_t>(frame.bytes.size()));
    out.insert(out.end(), frame.bytes.begin(), frame.bytes.begin() + captured);
  }
  return out;
}

Bytes PcapFile(Link link, const std::vector<WrittenSegment>& segments) {
  return PcapOfFrames(link, Frames(link, segments));
}

Bytes PcapngFile(Link link, const std::vector<WrittenSegment>& segments) {
  Bytes header;
  PutLe32(header, 0x1A2B3C4D);  // byte-order magic
  PutU16(header, 1);
  PutU16(header, 0);
  PutLe32(header, 0xFFFFFFFF);  // section length unknown
  PutLe32(header, 0xFFFFFFFF);
  Bytes out = Block(0x0A0D0D0A, header);
  Bytes interface;
  PutU16(interface, static_cast<uint16_t>(LinkType(link)));
  PutU16(interface, 0);
  PutLe32(interface, 262144);
  const Bytes idb = Block(1, interface);  // time stamps in microseconds: the default
  out.insert(out.end(), idb.begin(), idb.end());
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Bytes frame = FrameBytes(link, segments[i]);
    const uint64_t micros = static_cast<uint64_t>(kCaptureStart) * 1000000 + i * 1000;
    Bytes body;
    PutLe32(body, 0);  // interface 0
    PutLe32(body, static_cast<uint32_t>(micros >> 32));
    PutLe32(body, static_cast<uint32_t>(micros));
    PutLe32(body, static_cast<uint32_t>(frame.size()));
    PutLe32(body, static_cast<uint32_t>(frame.size()));
    const Bytes padded = Padded(frame);
    body.insert(body.end(), padded.begin(), padded.end());
    const Bytes epb = Block(6, body);
    out.insert(out.end(), epb.begin(), epb.end());
  }
  return out;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace testing_support

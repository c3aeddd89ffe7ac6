// Writes the fixed captures of the golden-output test into a directory:
//   conversation.pcapng  one connection: authorization, positions, a packet
//                        sent again, one left unconfirmed at the close
//   examples.pcap        the bundled example packets from a terminal, the
//                        example command from its platform, one segment lost
//   interleaved.pcap     two connections at once, one joined in the middle of
//                        a packet, one over IPv6, segments reordered and repeated
//   two_units.pcap       two terminals, each one unit (OID 101, OID 202) with
//                        positions along a route
// Usage: golden_captures <examples dir> <output dir>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/capture_writer.h"
#include "support/packet_builder.h"
#include "support/track_packets.h"

namespace {

using namespace testing_support;

Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The packets of a file of packets back to back, cut by their header lengths.
std::vector<Bytes> Packets(const Bytes& bytes) {
  std::vector<Bytes> packets;
  for (std::size_t at = 0; at + 11 <= bytes.size();) {
    const std::size_t fdl = bytes[at + 5] | (bytes[at + 6] << 8);
    const std::size_t size = bytes[at + 3] + fdl + (fdl > 0 ? 2 : 0);
    packets.emplace_back(bytes.begin() + static_cast<long>(at),
                         bytes.begin() + static_cast<long>(std::min(at + size, bytes.size())));
    at += size;
  }
  return packets;
}

Bytes ResultCode(uint16_t pid, uint16_t rn, uint8_t rcd) {
  return PacketBytes(1, RecordBytes({.RN = rn, .SST = 1, .RST = 1}, SubrecordBytes(9, {rcd})), pid);
}

// A RESPONSE to `rpid` confirming record `crn` (none when crn is 0).
Bytes Confirmation(uint16_t pid, uint16_t rpid, uint16_t crn, uint8_t status, uint8_t service) {
  const Bytes frame = {static_cast<uint8_t>(rpid), static_cast<uint8_t>(rpid >> 8), 0};
  if (crn == 0) return PacketBytes(0, frame, pid);
  const Bytes srd = {static_cast<uint8_t>(crn), static_cast<uint8_t>(crn >> 8), status};
  return PacketBytes(
      0, Concat({frame, RecordBytes({.RN = pid, .SST = service, .RST = service},
                                    SubrecordBytes(0, srd))}),
      pid);
}

Bytes Position(uint16_t pid, uint16_t rn) {
  const Bytes srd = {0xD9, 0x23, 0x82, 0x13, 0x00, 0x8D, 0xCE, 0xA0, 0x80, 0x70, 0xEC,
                     0x78, 0x13, 0x38, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x01, 0x00};
  return PacketBytes(1, RecordBytes({.RN = rn, .SST = 2, .RST = 2}, SubrecordBytes(16, srd)), pid);
}

std::vector<WrittenSegment> Conversation(TcpConversation& tcp, std::size_t piece = 1460) {
  std::vector<WrittenSegment> segments = tcp.Open();
  Append(segments, tcp.Send(true, IdentityPacket(1, 1), piece));
  Append(segments, tcp.Send(false, Confirmation(1, 1, 1, 0, 1), piece));
  Append(segments, tcp.Send(false, ResultCode(2, 2, 0), piece));
  Append(segments, tcp.Send(true, Confirmation(2, 2, 2, 0, 1), piece));
  Append(segments, tcp.Send(true, Position(3, 3), piece));
  Append(segments, tcp.Send(true, Position(3, 3), piece));
  Append(segments, tcp.Send(false, Confirmation(3, 3, 3, 0, 2), piece));
  Append(segments, tcp.Send(true, Position(4, 4), piece));
  Append(segments, tcp.Close());
  return segments;
}

const TcpEnd kTerminal = V4End(10, 0, 0, 2, 40522);
const TcpEnd kPlatform = V4End(10, 0, 0, 1, 20629);

Bytes ExamplesCapture(const std::string& examples) {
  TcpConversation tcp(kTerminal, kPlatform);
  std::vector<WrittenSegment> segments = tcp.Open();
  std::vector<Bytes> sent = Packets(ReadFile(examples + "/session.bin"));
  for (const char* name : {"ecall_track_msd.bin", "ecall_msd_era.bin"}) {
    sent.push_back(ReadFile(examples + "/" + std::string(name)));
  }
  uint16_t platformPid = 1;
  for (const Bytes& packet : sent) {
    const uint16_t pid = static_cast<uint16_t>(packet[7] | (packet[8] << 8));
    Append(segments, tcp.Send(true, packet, 40));
    // Confirmed by its packet alone: its records wait for their own.
    Append(segments, tcp.Send(false, Confirmation(platformPid++, pid, 0, 0, 0)));
    if (platformPid == 2) Append(segments, tcp.Send(false, ResultCode(platformPid++, 9, 0)));
  }
  Append(segments, tcp.Send(false, ReadFile(examples + "/command_ecall_req.bin")));
  Append(segments, tcp.Close());
  // The second piece of the session's second packet is lost (after the
  // handshake, the first packet in two pieces, its confirmation and the
  // RESULT_CODE).
  segments.erase(segments.begin() + 8);
  return PcapFile(Link::kSll2, segments);
}

Bytes InterleavedCapture() {
  const TcpEnd v6Terminal = V6End({0x2001, 0xdb8, 0, 0, 0, 0, 0, 2}, 50000);
  const TcpEnd v6Platform = V6End({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}, 20629);
  TcpConversation first(kTerminal, kPlatform);
  TcpConversation second(v6Terminal, v6Platform, 7000, 900000);
  std::vector<WrittenSegment> a = Conversation(first, 10);
  std::swap(a[3], a[4]);
  a.insert(a.begin() + 6, a[5]);
  std::vector<WrittenSegment> b = Conversation(second);
  // Joined late: no handshake, and half of its first packet.
  b.erase(b.begin(), b.begin() + 3);
  b[0].payload.erase(b[0].payload.begin(), b[0].payload.begin() + 14);
  std::vector<WrittenSegment> both;
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    if (i < a.size()) both.push_back(a[i]);
    if (i < b.size()) both.push_back(b[i]);
  }
  return PcapFile(Link::kEthernetVlan, both);
}

// Each unit: identity, then six packets of POS_DATA with EXT_POS_DATA, the
// second unit then a TRACK_DATA of its route; every packet confirmed.
Bytes TwoUnitsCapture() {
  const TcpEnd otherTerminal = V4End(10, 0, 0, 3, 40600);
  TcpConversation first(kTerminal, kPlatform);
  TcpConversation second(otherTerminal, kPlatform, 3000, 700000);
  const std::vector<Fix> routeA = Route(55.75, 37.61, 536457600, {{90, 36, 5}});
  const std::vector<Fix> routeB = Route(59.93, 30.31, 536457600, {{0, 54, 3}, {45, 54, 2}});
  std::vector<WrittenSegment> segments = first.Open();
  Append(segments, second.Open());
  for (int unit = 0; unit < 2; ++unit) {
    TcpConversation& tcp = unit == 0 ? first : second;
    Append(segments, tcp.Send(true, IdentityPacket(1, 1)));
    Append(segments, tcp.Send(false, Confirmation(1, 1, 1, 0, 1)));
    Append(segments, tcp.Send(false, ResultCode(2, 2, 0)));
    Append(segments, tcp.Send(true, Confirmation(2, 2, 2, 0, 1)));
  }
  for (std::size_t i = 0; i < routeA.size(); ++i) {
    for (int unit = 0; unit < 2; ++unit) {
      TcpConversation& tcp = unit == 0 ? first : second;
      const Fix& fix = (unit == 0 ? routeA : routeB)[i];
      const auto n = static_cast<uint16_t>(i + 3);
      const Bytes subrecords = Concat({SubrecordBytes(16, PosDataSrd(fix)),
                                       SubrecordBytes(17, ExtPosDataSrd(9, 120))});
      Append(segments,
             tcp.Send(true, RecordPacket(unit == 0 ? 101u : 202u, 2, subrecords, n, n)));
      Append(segments, tcp.Send(false, Confirmation(n, n, n, 0, 2)));
    }
  }
  const auto last = static_cast<uint16_t>(routeB.size() + 3);
  Append(segments, second.Send(true, RecordPacket(202u, 10, SubrecordBytes(62, TrackDataSrd(routeB)),
                                                  last, last)));
  Append(segments, second.Send(false, Confirmation(last, last, last, 0, 10)));
  Append(segments, first.Close());
  Append(segments, second.Close());
  return PcapFile(Link::kEthernet, segments);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: golden_captures <examples dir> <output dir>\n");
    return 2;
  }
  const std::string examples = argv[1];
  const std::string out = argv[2];
  TcpConversation tcp(kTerminal, kPlatform);
  WriteBytes(out + "/conversation.pcapng", PcapngFile(Link::kEthernet, Conversation(tcp)));
  WriteBytes(out + "/examples.pcap", ExamplesCapture(examples));
  WriteBytes(out + "/interleaved.pcap", InterleavedCapture());
  WriteBytes(out + "/two_units.pcap", TwoUnitsCapture());
  return 0;
}

// Writes the seed corpus of fuzz_capture into the directory given: small
// captures made with the tests' capture writer (an EGTS conversation in
// pcap and pcapng, over the link types the reader decodes, with a lost
// segment, a stream starting mid-packet, and one not EGTS).

#include <cstdio>
#include <string>

#include "support/capture_writer.h"
#include "support/packet_builder.h"

using namespace testing_support;

namespace {

Bytes Packet(uint16_t pid, uint8_t service, uint8_t srt, const Bytes& srd) {
  return PacketBytes(1, RecordBytes({.RN = pid, .SST = service, .RST = service}, SubrecordBytes(srt, srd)), pid);
}

Bytes Response(uint16_t pid, uint16_t rpid) {
  Bytes frame;
  PutU16(frame, rpid);
  frame.push_back(0);
  const Bytes record = RecordBytes({.RN = pid, .SST = 1, .RST = 1}, SubrecordBytes(0, {1, 0, 0}));
  frame.insert(frame.end(), record.begin(), record.end());
  return PacketBytes(0, frame, pid);
}

std::vector<WrittenSegment> Conversation(TcpEnd terminal, TcpEnd platform, std::size_t piece, bool open) {
  TcpConversation c(terminal, platform);
  std::vector<WrittenSegment> s;
  if (open) Append(s, c.Open());
  Append(s, c.Send(true, Packet(1, 1, 1, {0x6D, 0x04, 0, 0, 0}), piece));
  Append(s, c.Send(false, Concat({Response(1, 1), Packet(2, 1, 9, {0})}), piece));
  Append(s, c.Send(true, Concat({Response(2, 2), Packet(3, 2, 16, Bytes(21, 0x41))}), piece));
  Append(s, c.Send(false, Response(3, 3), piece));
  Append(s, c.Close());
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_capture_seeds <directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  const TcpEnd t4 = V4End(10, 0, 0, 2, 40001), p4 = V4End(10, 0, 0, 1, 20629);
  const TcpEnd t6 = V6End({0x2001, 0xdb8, 0, 0, 0, 0, 0, 2}, 40001);
  const TcpEnd p6 = V6End({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}, 20629);
  const auto whole = Conversation(t4, p4, 1460, true);
  auto pieces = Conversation(t4, p4, 7, true);
  WriteBytes(dir + "/ethernet.pcap", PcapFile(Link::kEthernet, whole));
  WriteBytes(dir + "/vlan_pieces.pcap", PcapFile(Link::kEthernetVlan, pieces));
  WriteBytes(dir + "/sll.pcap", PcapFile(Link::kSll, whole));
  WriteBytes(dir + "/sll2.pcapng", PcapngFile(Link::kSll2, whole));
  WriteBytes(dir + "/raw6.pcap", PcapFile(Link::kRaw, Conversation(t6, p6, 1460, true)));
  WriteBytes(dir + "/ethernet6.pcapng", PcapngFile(Link::kEthernet, Conversation(t6, p6, 9, true)));
  WriteBytes(dir + "/midstream.pcap", PcapFile(Link::kEthernet, Conversation(t4, p4, 5, false)));
  pieces.erase(pieces.begin() + 5);
  std::swap(pieces[7], pieces[8]);
  WriteBytes(dir + "/lost_reordered.pcap", PcapFile(Link::kEthernet, pieces));
  TcpConversation web(V4End(10, 0, 0, 9, 50000), V4End(10, 0, 0, 1, 80));
  auto s = web.Open();
  const std::string get = "GET / HTTP/1.1\r\n\r\n";
  Append(s, web.Send(true, Bytes(get.begin(), get.end())));
  WriteBytes(dir + "/not_egts.pcap", PcapFile(Link::kEthernet, s));
  return 0;
}

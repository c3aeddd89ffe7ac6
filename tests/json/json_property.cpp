// Writes the JSON Lines of generated and mutated packets, for the schema
// property: every line Korvane can write for a packet validates against
// schema/korvane.schema.json (the test pipes this program's output into
// tests/json/validate_jsonl.py).
//
// The packets: for every subrecord type (0 to 63, and 255) under every
// service the factory tells apart (the standard's, the original classes',
// a reserved and two user-defined ones), random subrecord data of many
// lengths, many more for the types the factory decodes; then the public
// test packets of the standard and our examples, mutated byte by byte
// (flips, cuts, insertions, stray bytes, cut headers) with their check sums
// made right, so that the parse goes as deep as the damage allows. Each is
// written as parsed without and with the standard's subrecords (-x).
//
// Deterministic: a fixed seed. Arguments: the packet files to mutate too.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "console/packet_json.h"
#include "service/record_parser.h"
#include "service/subrecord_factory.h"
#include "support/packet_builder.h"
#include "transport/transport_header.h"

namespace {

using testing_support::Bytes;
using testing_support::PacketBytes;
using testing_support::RecordBytes;
using testing_support::SubrecordBytes;

constexpr uint8_t kServices[] = {0, 1, 2, 3, 4, 9, 10, 16, 17, 18, 64, 200};
constexpr int kDecodedVariants = 24;

// The public test packets of the standard (egts-standard.md).
const char* const kStandardPackets[] = {
    "0100020b004f00ae1101d24400ae1191af8304000202101800d9238213008dcea08070ec789338003c000000010082"
    "00001106001a740007020014050000180000041207000f000010000000130100001b0700010000af0f0000312a",
    "0100000b0038002f0101a32d007f01816d04000001010116006d04000052383631373135303333393833393833ff00"
    "02110005000000000000000000010023544e230045cb",
    "0100020b002300020001871c00020000010105190000ab0800006247396e615734366347467a63336476636d513daadf",
    "0100010b003300010001ea280000000c449811110101072500383030004546323834453741453335314436444639324"
    "345333233443734414432454233009261",
    "0100020B0025003A5701C91A003A5701CD6E68490202101700CBB4740F7617FD924364104F116A000000000001030000"
    "1EC2",
};

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

class Generator {
 public:
  void Print(const Bytes& bytes) {
    for (const bool standard : {false, true}) PrintAs(bytes, standard);
  }

  Bytes RandomBytes(std::size_t size) {
    Bytes bytes(size);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random_() & 0xFF);
    return bytes;
  }

  std::size_t Below(std::size_t limit) { return limit == 0 ? 0 : random_() % limit; }

  // Whether the factory makes an object of this type with either set for
  // some data: those types get many variants.
  bool Decodes(uint8_t rst, uint8_t srt) {
    for (const EGTS::SubrecordSet set : {EGTS::SubrecordSet::kOriginal, EGTS::SubrecordSet::kStandard}) {
      for (const std::size_t length : {1u, 5u, 12u, 40u, 90u}) {
        const Bytes subrecord = SubrecordBytes(srt, RandomBytes(length));
        EGTS::Record record;
        record.RST = rst;
        EGTS::Subrecord_Entry entry;
        EGTS::CreateSubrecord(subrecord.data(), static_cast<uint16_t>(subrecord.size()), record,
                              entry, set);
        if (entry.object) return true;
      }
    }
    return false;
  }

  Bytes Mutated(Bytes frame) {
    const int edits = 1 + static_cast<int>(Below(4));
    for (int i = 0; i < edits && !frame.empty(); ++i) {
      const std::size_t at = Below(frame.size());
      switch (Below(6)) {
        case 0: frame[at] ^= static_cast<uint8_t>(1u << Below(8)); break;
        case 1: frame[at] = static_cast<uint8_t>(random_()); break;
        case 2: frame.resize(at); break;  // cut anywhere, headers included
        case 3: frame.insert(frame.begin() + static_cast<std::ptrdiff_t>(at), static_cast<uint8_t>(random_())); break;
        case 4: frame.push_back(static_cast<uint8_t>(random_())); break;  // stray bytes
        case 5: frame[at] = Below(2) ? 0x00 : 0xFF; break;
      }
    }
    return frame;
  }

 private:
  void PrintAs(const Bytes& bytes, bool standard) {
    PacketJson packet;
    packet.source = "tcp";
    const std::vector<std::pair<std::string, std::string>> extra = {{"client", "1"},
                                                                     {"peer", "127.0.0.1:40522"}};
    packet.extra = extra;
    packet.time = platform::CurrentSystemTime();
    packet.bytes = bytes;
    packet.standard = standard;
    const auto count = static_cast<uint16_t>(bytes.size() > 0xFFFF ? 0xFFFF : bytes.size());
    packet.transportResult = ValidateTransportHeader(bytes.data(), count, packet.header);
    PacketHolder holder;
    if (packet.transportResult < 128) {
      packet.frameResult =
          ParseFrameData(bytes.data(), count, packet.header, holder,
                         standard ? EGTS::SubrecordSet::kStandard : EGTS::SubrecordSet::kOriginal);
      packet.holder = &holder;
      packet.malformed = RecordAreaMalformed(holder);
    }
    std::puts(PacketJsonLine(packet).c_str());
    ReleasePacket(holder);
  }

  std::mt19937 random_{20261208};
};

void EveryType(Generator& generator) {
  for (const uint8_t rst : kServices) {
    for (int srt = 0; srt <= 64; ++srt) {
      const auto type = static_cast<uint8_t>(srt == 64 ? 255 : srt);
      const int variants = generator.Decodes(rst, type) ? kDecodedVariants : 1;
      for (int i = 0; i < variants; ++i) {
        const Bytes srd = generator.RandomBytes(generator.Below(i < 4 ? 6 : 120));
        const uint8_t rfl = static_cast<uint8_t>(generator.Below(8));
        const Bytes record = RecordBytes({.RN = 7, .RFL = rfl, .OID = 42, .EVID = 5, .TM = 400000000,
                                          .SST = rst, .RST = rst},
                                         SubrecordBytes(type, srd));
        generator.Print(PacketBytes(1, record));
      }
    }
  }
}

void MutatedPackets(Generator& generator, const std::vector<Bytes>& packets) {
  for (const Bytes& packet : packets) {
    if (packet.size() < 14 || packet[3] != 11) continue;
    const uint8_t pt = packet[9];
    const Bytes frame(packet.begin() + 11, packet.end() - 2);
    generator.Print(packet);
    for (int i = 0; i < 120; ++i) generator.Print(PacketBytes(pt, generator.Mutated(frame)));
  }
}

}  // namespace

int main(int argc, char** argv) {
  Generator generator;
  EveryType(generator);
  std::vector<Bytes> packets;
  for (const char* hex : kStandardPackets) packets.push_back(FromHex(hex));
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    packets.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  MutatedPackets(generator, packets);
  return 0;
}

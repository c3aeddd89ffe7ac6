#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/tcp_direction.h"

namespace {

using capture::TcpDirection;

// Writes what the direction hands over: bytes as they are, a gap as "|n|".
class Collect : public TcpDirection::Sink {
 public:
  void Bytes(std::span<const uint8_t> bytes) override { out.append(bytes.begin(), bytes.end()); }
  void Gap(uint64_t lost) override { out += "|" + std::to_string(lost) + "|"; }
  std::string out;
};

struct Op {
  char kind;  // S syn, D data, A peer's ack, F fin, E finish
  uint32_t seq;
  std::string payload;
  uint32_t missing = 0;  // of D: bytes the capture cut off after the payload
};

std::span<const uint8_t> Span(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string Replay(const std::vector<Op>& ops) {
  Collect sink;
  TcpDirection direction(sink);
  for (const Op& op : ops) {
    switch (op.kind) {
      case 'S': direction.Syn(op.seq); break;
      case 'D': direction.Segment(op.seq, Span(op.payload), op.missing); break;
      case 'A': direction.Acknowledged(op.seq); break;
      case 'F': direction.Fin(op.seq); break;
      case 'E': direction.Finish(); break;
    }
    EXPECT_LE(direction.HeldBytes(), TcpDirection::kMaxHeldBytes);
  }
  return sink.out;
}

TEST(TcpDirection, PutsBytesBackInOrderAndNamesEveryGap) {
  const std::string big(TcpDirection::kMaxHeldBytes + 1, 'x');
  std::vector<Op> tiny = {{'S', 999, ""}, {'D', 1000, "a"}};
  for (uint32_t i = 0; i <= TcpDirection::kMaxHeldSegments; ++i) tiny.push_back({'D', 1002 + 2 * i, "y"});
  struct Case {
    const char* name;
    std::vector<Op> ops;
    std::string expected;
  } cases[] = {
      {"in order", {{'S', 999, ""}, {'D', 1000, "abc"}, {'D', 1003, "def"}}, "abcdef"},
      {"reversed", {{'S', 999, ""}, {'D', 1003, "def"}, {'D', 1000, "abc"}}, "abcdef"},
      {"retransmission overlapping the end",
       {{'S', 999, ""}, {'D', 1000, "abc"}, {'D', 1001, "bcdX"}}, "abcdX"},
      {"held pieces overlapping each other",
       {{'S', 999, ""}, {'D', 1004, "ef"}, {'D', 1003, "dEFg"}, {'D', 1000, "abc"}}, "abcdEFg"},
      {"repeated", {{'S', 999, ""}, {'D', 1000, "ab"}, {'D', 1000, "ab"}, {'D', 1001, "b"}}, "ab"},
      {"peer acknowledges across a hole",
       {{'S', 999, ""}, {'D', 1000, "ab"}, {'D', 1005, "fg"}, {'A', 1007, ""}}, "ab|3|fg"},
      {"peer acknowledges bytes never captured, then more come",
       {{'S', 999, ""}, {'D', 1000, "ab"}, {'A', 1004, ""}, {'D', 1004, "ef"}}, "ab|2|ef"},
      {"acknowledgement of the FIN is no lost byte",
       {{'S', 999, ""}, {'D', 1000, "ab"}, {'F', 1002, ""}, {'A', 1003, ""}, {'E', 0, ""}}, "ab"},
      {"bytes missing before the FIN", {{'S', 999, ""}, {'D', 1000, "ab"}, {'F', 1006, ""}, {'E', 0, ""}},
       "ab|4|"},
      {"held bytes handed over at the end",
       {{'S', 999, ""}, {'D', 1000, "a"}, {'D', 1003, "d"}, {'D', 1006, "g"}, {'E', 0, ""}}, "a|2|d|2|g"},
      {"sequence numbers wrapping",
       {{'S', 0xFFFFFFFD, ""}, {'D', 0x00000000, "cd"}, {'D', 0xFFFFFFFE, "ab"}, {'D', 2, "e"}}, "abcde"},
      {"no SYN: the first payload starts the stream",
       {{'D', 5000, "xy"}, {'D', 4990, "old"}, {'D', 5002, "z"}}, "xyz"},
      {"far outside the window", {{'S', 999, ""}, {'D', 1000, "ab"}, {'D', 1000 + 0x80000000u, "zz"}}, "ab"},
      {"a jump of 1.5 GiB is a gap like any other",
       {{'S', 999, ""}, {'D', 1000, "ab"}, {'D', 1002 + 0x60000000u, "z"}, {'A', 1003 + 0x60000000u, ""}},
       "ab|1610612736|z"},
      {"bytes the capture cut off a segment are lost at once",
       {{'S', 999, ""}, {'D', 1000, "ab", 3}, {'D', 1005, "fg"}}, "ab|3|fg"},
      {"a cut segment held beyond a hole",
       {{'S', 999, ""}, {'D', 1000, "a"}, {'D', 1003, "d", 2}, {'A', 1007, ""}}, "a|2|d|3|"},
      {"more held than one packet", {{'S', 999, ""}, {'D', 1000, "a"}, {'D', 1002, big}}, "a|1|" + big},
      {"too many tiny segments held", tiny, "a|1|y"},
  };
  for (const Case& c : cases) EXPECT_EQ(Replay(c.ops), c.expected) << c.name;
}

}  // namespace

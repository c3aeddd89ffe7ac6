#include "service/declared_subrecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "service/record_parser.h"
#include "transport/result_codes.h"

using namespace EGTS;

namespace {

using Shown = DeclaredField::Shown;
using TextEnd = DeclaredField::TextEnd;

// A declaration that cannot be walked is refused when compiled: a part must
// follow a number, a presence and a length must name a field before it.
TEST(DeclaredSubrecord, DeclarationsThatCannotBeWalkedAreNotValid) {
  static constexpr DeclaredField kPartAfterText[] = {
      {.name = "T", .width = 0, .shown = Shown::kText, .end = TextEnd::kNul},
      {.name = "P", .width = 0, .bit = 1},
  };
  static constexpr DeclaredField kPartAfterNumber[] = {
      {.name = "N", .width = 2},
      {.name = "P", .width = 0, .bit = 1},
  };
  static constexpr DeclaredField kPresentLater[] = {
      {.name = "A", .presentIn = 1},
      {.name = "B"},
  };
  static constexpr DeclaredField kLengthFromNumber[] = {
      {.name = "L", .width = 2},
      {.name = "B", .width = 0, .shown = Shown::kBytes, .end = TextEnd::kLengthIn, .lengthIn = 0},
  };
  static constexpr DeclaredField kLengthFromText[] = {
      {.name = "T", .width = 2, .shown = Shown::kText},
      {.name = "B", .width = 0, .shown = Shown::kBytes, .end = TextEnd::kLengthIn, .lengthIn = 0},
  };
  static constexpr DeclaredField kLengthFromItself[] = {
      {.name = "B", .width = 0, .shown = Shown::kBytes, .end = TextEnd::kLengthIn, .lengthIn = 0},
  };
  EXPECT_TRUE(Declare(kLengthFromNumber).valid);
  EXPECT_FALSE(Declare(kLengthFromText).valid);
  EXPECT_FALSE(Declare(kLengthFromItself).valid);
  EXPECT_FALSE(Declare(kPartAfterText).valid);
  EXPECT_TRUE(Declare(kPartAfterNumber).valid);
  EXPECT_FALSE(Declare(kPresentLater).valid);
}

// Texts of the three ends, a field present by the bytes left, and the
// checks in field order before the leftover.
TEST(DeclaredSubrecord, TextsEndWhereDeclaredAndChecksFollowTheFields) {
  static constexpr DeclaredField kFields[] = {
      {.name = "ID", .width = 2, .shown = Shown::kText, .digits = true},
      {.name = "NAME", .width = 0, .shown = Shown::kText, .end = TextEnd::kNul, .maxLength = 3},
      {.name = "N", .presentIn = DeclaredField::kWhenBytesLeft},
      {.name = "REST",
       .width = 0,
       .shown = Shown::kText,
       .end = TextEnd::kData,
       .presentIn = DeclaredField::kWhenBytesLeft},
  };
  static constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kLast);

  DeclaredWith<std::size(kFields)> whole(kDeclaration);
  const std::vector<uint8_t> bytes = {'1', 'x', 'a', 'b', 'c', 'd', 0, 7, 'z', 'z'};
  ASSERT_EQ(whole.Decode(bytes.data(), static_cast<uint16_t>(bytes.size())), EGTS_PC_OK);
  EXPECT_EQ(whole.Text(0), "1x");
  EXPECT_EQ(whole.Text(1), "abcd");
  EXPECT_EQ(whole.Value(2), 7u);
  EXPECT_EQ(whole.Text(3), "zz");
  EXPECT_EQ(whole.checks, (std::vector<std::string>{"ID holds bytes that are not digits",
                                                    "NAME is 4 bytes long, more than 3"}));

  // The name runs to the end: nothing is left for N and REST.
  DeclaredWith<std::size(kFields)> cut(kDeclaration);
  const std::vector<uint8_t> unended = {'4', '2', 'a', 'b'};
  ASSERT_EQ(cut.Decode(unended.data(), static_cast<uint16_t>(unended.size())), EGTS_PC_OK);
  EXPECT_EQ(cut.Text(1), "ab");
  EXPECT_FALSE(cut.Present(2));
  EXPECT_FALSE(cut.Present(3));
  EXPECT_EQ(cut.checks, std::vector<std::string>{"NAME has no terminating NUL"});

  // Too short for the fixed text before the name.
  DeclaredWith<std::size(kFields)> shorter(kDeclaration);
  ASSERT_EQ(shorter.Decode(unended.data(), 1), EGTS_PC_INVDATALEN);
  EXPECT_EQ(shorter.checks,
            std::vector<std::string>{"SRL 1 is shorter than the 2 bytes its fields need"});
}

// Every subrecord of the bundled example that a declaration reads whole
// (nothing after its last field) encodes back to the bytes it came from.
TEST(DeclaredSubrecord, DecodedSubrecordsEncodeToTheirOwnBytes) {
  std::ifstream in(std::string(KORVANE_EXAMPLES_DIR) + "/subrecords.bin", std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 11u);
  TransportHeader header;
  ASSERT_EQ(ValidateTransportHeader(bytes.data(), static_cast<uint16_t>(bytes.size()), header), 0);
  PacketHolder holder;
  ASSERT_EQ(ParseFrameData(bytes.data(), static_cast<uint16_t>(bytes.size()), header, holder,
                           SubrecordSet::kStandard),
            0);
  // The subrecords' own bytes, in the order the parse holds them.
  std::vector<std::vector<uint8_t>> srds;
  for (std::size_t at = header.HL; at + 7 <= bytes.size() - 2;) {
    const std::size_t rl = bytes[at] | bytes[at + 1] << 8;
    const uint8_t rfl = bytes[at + 4];
    std::size_t sub = at + 7 + 4 * (((rfl & 1) != 0) + ((rfl & 2) != 0) + ((rfl & 4) != 0));
    const std::size_t end = sub + rl;
    while (sub + 3 <= end) {
      const std::size_t srl = bytes[sub + 1] | bytes[sub + 2] << 8;
      srds.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(sub + 3),
                        bytes.begin() + static_cast<std::ptrdiff_t>(std::min(sub + 3 + srl, end)));
      sub += 3 + srl;
    }
    at = end;
  }
  std::size_t index = 0;
  std::size_t compared = 0;
  for (Record& record : holder.packet->records) {
    for (Subrecord_Entry& entry : record.subrecords) {
      ASSERT_LT(index, srds.size());
      const std::vector<uint8_t>& srd = srds[index++];
      auto* declared = dynamic_cast<DeclaredSubrecord*>(entry.object.get());
      if (declared == nullptr) continue;
      bool leftover = false;
      for (const std::string& check : declared->checks) {
        leftover = leftover || check.find("after the last field") != std::string::npos;
      }
      // RECORD_RESPONSE, SRV_IDENTITY and AUTH_RESULT_CODE pass over what
      // follows their fields without a word.
      const bool ignoresRest = entry.SRT == 0 || entry.SRT == 4 || entry.SRT == 9;
      if (leftover || (ignoresRest && srd.size() > declared->EncodedLength())) continue;
      bytestream out;
      EXPECT_EQ(declared->Encode(out), 0);
      EXPECT_EQ(std::vector<uint8_t>(out.bytes.begin(), out.bytes.begin() + out.position), srd)
          << "record " << record.RN << ", SRT " << entry.SRT;
      EXPECT_EQ(declared->EncodedLength(), srd.size()) << "record " << record.RN;
      ++compared;
    }
  }
  EXPECT_EQ(index, srds.size());
  EXPECT_GE(compared, 40u);  // the example holds every declared class, most of them whole
}

// A value set by place: a part changes only its bits of its number, and
// half bytes share a byte, the first in the low half.
TEST(DeclaredSubrecord, SetValuesEncodeInPlace) {
  static constexpr DeclaredField kFields[] = {
      {.name = "W", .width = 2},       {.name = "P", .width = 0, .bit = 4, .bits = 3},
      {.name = "A", .halfByte = true}, {.name = "B", .halfByte = true},
      {.name = "C", .halfByte = true},
  };
  static constexpr Declaration kDeclaration = Declare(kFields);
  static_assert(kDeclaration.valid);
  struct Fixed : DeclaredWith<5> {
    Fixed() : DeclaredWith(kDeclaration) {}
  } fixed;
  fixed.Set(0, 0xFFFF);
  fixed.Set(1, 0x2);
  fixed.Set(2, 0x1);
  fixed.Set(3, 0x2);
  fixed.Set(4, 0x3);
  EXPECT_EQ(fixed.Value(0), 0xFFAFu);
  EXPECT_EQ(fixed.Value(1), 0x2u);
  bytestream out;
  EXPECT_EQ(fixed.Encode(out), EGTS_PC_OK);
  EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0xAF, 0xFF, 0x21, 0x03}));
  EXPECT_EQ(fixed.EncodedLength(), 4);
}

// Big-endian numbers, a tail the data may end early but not leave holes
// in, a worked-out value that is null where it has none, and a report in
// its own order while the field list keeps the fields'.
TEST(DeclaredSubrecord, BigEndianTailAndTheReportsOrder) {
  static constexpr DeclaredField kFields[] = {
      {.name = "A", .label = "Alpha", .width = 2},
      {.name = "T",
       .label = "Tee",
       .width = 2,
       .shown = Shown::kSigned,
       .presentIn = DeclaredField::kWhenBytesLeft},
      {.name = "t",
       .width = 0,
       .shown = Shown::kWorkedOut,
       .decimals = 1,
       .workOut =
           [](const DeclaredSubrecord& s) {
             const auto tee = static_cast<int16_t>(s.Value(1));
             return tee == -1 ? std::nan("") : tee / 10.0;
           },
       .nullName = true,
       .presentIn = DeclaredField::kWhenBytesLeft},
      {.name = "C", .label = "Cee", .presentIn = DeclaredField::kWhenBytesLeft},
  };
  static constexpr uint8_t kReportOrder[] = {3, 1, 2, 0};
  static constexpr Declaration kDeclaration =
      Declare(kFields, LeftoverCheck::kNone, LengthCheck::kBeforeDependent, WireOrder::kBigEndian,
              kReportOrder);
  static_assert(kDeclaration.valid);
  struct Tailed : DeclaredWith<4> {
    Tailed() : DeclaredWith(kDeclaration) {}
  };

  Tailed whole;
  const std::vector<uint8_t> bytes = {0x01, 0x02, 0xFF, 0xFE, 0x07};
  ASSERT_EQ(whole.Decode(bytes.data(), 5), EGTS_PC_OK);
  EXPECT_EQ(whole.Value(0), 0x0102u);
  std::string report;
  whole.Report(&report);
  EXPECT_EQ(report,
            "       Cee                    - 7\n"
            "       Tee                    - -2\n"
            "       Alpha                  - 258\n");
  FieldList fields;
  whole.Describe(fields);
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[2].name, "t");
  EXPECT_DOUBLE_EQ(fields[2].realValue, -0.2);
  bytestream out;
  ASSERT_EQ(whole.Encode(out), EGTS_PC_OK);
  EXPECT_EQ(out.bytes, bytes);

  // One byte after A: too few for T, and C is not read in T's place.
  Tailed cut;
  ASSERT_EQ(cut.Decode(bytes.data(), 3), EGTS_PC_OK);
  EXPECT_FALSE(cut.Present(1));
  EXPECT_FALSE(cut.Present(2));
  EXPECT_FALSE(cut.Present(3));

  Tailed none;
  const std::vector<uint8_t> undefined = {0, 0, 0xFF, 0xFF};
  ASSERT_EQ(none.Decode(undefined.data(), 4), EGTS_PC_OK);
  FieldList nulls;
  none.Describe(nulls);
  ASSERT_EQ(nulls.size(), 3u);
  EXPECT_EQ(nulls[2].kind, Field::Kind::kNull);
}

}  // namespace

#include "service/declared_subrecord.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace

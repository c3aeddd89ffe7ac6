// Names from outside shown on the console: nothing raw that a terminal
// would take as a control, and readable text left as it is.

#include <gtest/gtest.h>

#include <string>

#include "util/text.h"

namespace {

TEST(EscapeName, ControlsAndBytesThatAreNotUtf8AreEscapedTextIsKept) {
  EXPECT_EQ(EscapeName("\x1B[2Jclear.txt"), "\\x1B[2Jclear.txt");
  EXPECT_EQ(EscapeName(std::string("a\0b\x7F.txt", 8)), "a\\x00b\\x7F.txt");
  // U+009B, the one-character CSI, and the other C1 controls.
  EXPECT_EQ(EscapeName("\xC2\x9B" "2J"), "\\xC2\\x9B2J");
  EXPECT_EQ(EscapeName("\xC2\xA0"), "\xC2\xA0");  // U+00A0 is no control
  // A byte that starts no sequence, a sequence cut short, an overlong form,
  // a surrogate, and a code point beyond U+10FFFF.
  EXPECT_EQ(EscapeName("\xFF" "a"), "\\xFFa");
  EXPECT_EQ(EscapeName("\xD0" "a"), "\\xD0a");
  EXPECT_EQ(EscapeName("\xC0\xAF"), "\\xC0\\xAF");
  EXPECT_EQ(EscapeName("\xED\xA0\x80"), "\\xED\\xA0\\x80");
  EXPECT_EQ(EscapeName("\xF4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");
  EXPECT_EQ(EscapeName("\xD0\x9F\xD1\x80\xD0\xB8.txt"), "\xD0\x9F\xD1\x80\xD0\xB8.txt");
  EXPECT_EQ(EscapeName("\xF0\x9F\x93\xA6"), "\xF0\x9F\x93\xA6");
}

}  // namespace

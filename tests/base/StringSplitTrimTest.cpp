#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/String.h"

namespace {

using namespace zu::string;

TEST(StringSplitIntoPieces, NeverProducesEmptyPiecesAndClearsTheVector) {
  std::vector<std::string> pieces{"old"};
  Split(",a,,b,", ",", pieces);
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), pieces);

  Split("k=v; x = y", " ;", pieces);
  EXPECT_EQ((std::vector<std::string>{"k=v", "x", "=", "y"}), pieces);

  Split(",,,", ",", pieces);
  EXPECT_TRUE(pieces.empty());
  Split("", ",", pieces);
  EXPECT_TRUE(pieces.empty());
  Split("whole", "", pieces);
  EXPECT_EQ((std::vector<std::string>{"whole"}), pieces);
}

TEST(StringSplitAtSeparator, CutsAtTheFirstSeparatorCharacter) {
  std::string left = "L";
  std::string right = "R";
  EXPECT_TRUE(Split("Content-Type: text/html: x", ":", left, right));
  EXPECT_EQ("Content-Type", left);
  EXPECT_EQ(" text/html: x", right);

  EXPECT_TRUE(Split("a=b;c", ";=", left, right));
  EXPECT_EQ("a", left);
  EXPECT_EQ("b;c", right);

  EXPECT_TRUE(Split("key:", ":", left, right));
  EXPECT_EQ("key", left);
  EXPECT_EQ("", right);

  EXPECT_FALSE(Split("no separator", ":", left, right));
  EXPECT_EQ("", left);
  EXPECT_EQ("", right);
}

TEST(StringSplitAtPosition, DropsTheCharacterAtThePosition) {
  std::string left;
  std::string right;
  EXPECT_TRUE(Split("abc", 1, left, right));
  EXPECT_EQ("a", left);
  EXPECT_EQ("c", right);
  EXPECT_TRUE(Split("abc", 2, left, right));
  EXPECT_EQ("ab", left);
  EXPECT_EQ("", right);
  EXPECT_FALSE(Split("abc", std::string::npos, left, right));
  EXPECT_EQ("", left);
  EXPECT_EQ("", right);
  // A position past the end must not throw.
  EXPECT_FALSE(Split("abc", 7, left, right));
  // The text may be one of the outputs.
  std::string text = "x:y";
  EXPECT_TRUE(Split(text, ":", text, right));
  EXPECT_EQ("x", text);
  EXPECT_EQ("y", right);
}

TEST(StringTrimmSpaces, TrimsAsciiWhiteSpaceOnlyAtBothEnds) {
  EXPECT_EQ("a b", TrimmSpaces(" \t\r\n\v\fa b \r\n"));
  EXPECT_EQ("", TrimmSpaces(" \t "));
  EXPECT_EQ("", TrimmSpaces(""));
  EXPECT_EQ("x", TrimmSpaces("x"));
  // Bytes above 127 (UTF-8 text, 0xA0 and 0x85 in single-byte code pages) are never trimmed.
  const std::string utf8 = "\xC3\xA4";
  EXPECT_EQ(utf8, TrimmSpaces(" " + utf8 + " "));
  EXPECT_EQ("\xA0x\x85", TrimmSpaces("\xA0x\x85"));
}

}  // namespace

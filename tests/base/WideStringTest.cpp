#include <gtest/gtest.h>

#include <string>

#include "base/String.h"

namespace {

using zu::wstring::ToString;

TEST(WideString, RoundTripsEveryEncodingLength) {
  const std::wstring wide = L"a\u00e4\u20ac\U0001F600z";
  const std::string utf8 = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z";
  EXPECT_EQ(utf8, ToString(wide));
  EXPECT_EQ(wide, ToString(utf8));
  EXPECT_EQ(wide, ToString(ToString(wide)));
  EXPECT_EQ(L"", ToString(std::string()));
  EXPECT_EQ("", ToString(std::wstring()));
  // NUL survives both ways.
  EXPECT_EQ(std::string("a\0b", 3), ToString(std::wstring(L"a\0b", 3)));
}

TEST(WideString, InvalidUtf8BecomesReplacementCharacters) {
  const wchar_t kBad = 0xFFFD;
  // A lone continuation byte, a lead byte at the end, a cut sequence in the middle.
  EXPECT_EQ((std::wstring{L'a', kBad, L'b'}), ToString(std::string("a\x80"
                                                                   "b")));
  EXPECT_EQ((std::wstring{L'a', kBad}), ToString(std::string("a\xE2")));
  EXPECT_EQ((std::wstring{kBad, kBad, L'x'}), ToString(std::string("\xE2\x82x")));
  // Overlong form of "/" and an encoded surrogate are rejected, one replacement per byte.
  EXPECT_EQ((std::wstring{kBad, kBad}), ToString(std::string("\xC0\xAF")));
  EXPECT_EQ((std::wstring{kBad, kBad, kBad}), ToString(std::string("\xED\xA0\x80")));
  // Beyond U+10FFFF.
  EXPECT_EQ(4u, ToString(std::string("\xF4\x90\x80\x80")).size());
  EXPECT_EQ(1u, ToString(std::string("\xFF")).size());
}

TEST(WideString, InvalidCodePointsBecomeReplacementCharacters) {
  const std::string kBadUtf8 = "\xEF\xBF\xBD";
  EXPECT_EQ(kBadUtf8, ToString(std::wstring(1, static_cast<wchar_t>(0xD800))));
  EXPECT_EQ(kBadUtf8, ToString(std::wstring(1, static_cast<wchar_t>(0x110000))));
  EXPECT_EQ(kBadUtf8, ToString(std::wstring(1, static_cast<wchar_t>(-1))));
}

}  // namespace

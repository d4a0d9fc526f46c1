// Re-encoding of texts to UTF-8: which sequences are well-formed, what the other bytes become,
// and that a valid text is left alone.

#include <gtest/gtest.h>
#include <iconv.h>

#include <nlohmann/json.hpp>

#include <string>

#include "nivo/TextEncoding.h"

namespace {

using zu::nivo::AsUtf8;
using zu::nivo::IsValidUtf8;
using zu::nivo::ToUtf8;

// Whether nlohmann takes text as UTF-8 when it writes it out.
bool NlohmannTakes(const std::string& text) {
  try {
    nlohmann::json(text).dump();
    return true;
  } catch (const nlohmann::json::type_error&) {
    return false;
  }
}

// The byte as glibc converts it from CP1252, or "" where glibc leaves it undefined.
std::string FromCp1252(unsigned char byte) {
  iconv_t converter = iconv_open("UTF-8", "CP1252");
  if (converter == reinterpret_cast<iconv_t>(-1))
    return "(no converter)";
  char in[1] = {static_cast<char>(byte)};
  char out[8];
  char* inPointer = in;
  char* outPointer = out;
  size_t inLeft = 1;
  size_t outLeft = sizeof(out);
  const size_t result = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
  iconv_close(converter);
  return result == static_cast<size_t>(-1) ? std::string() : std::string(out, outPointer);
}

TEST(TextEncoding, WellFormedIsWhatJsonParsersTake) {
  // Validity depends on the lead byte and the byte after it, once the rest are continuation
  // bytes: every pair decides as nlohmann does. This covers overlong forms, surrogates and
  // code points above U+10FFFF.
  for (int lead = 0x80; lead < 0x100; ++lead) {
    for (int second = 0; second < 0x100; ++second) {
      const std::string text = {static_cast<char>(lead), static_cast<char>(second), '\x80', '\x80'};
      for (size_t length = 2; length <= 4; ++length) {
        const std::string sequence = text.substr(0, length);
        ASSERT_EQ(NlohmannTakes(sequence), IsValidUtf8(sequence))
            << std::hex << lead << " " << second << " length " << length;
      }
    }
  }
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\xE2\x82\x41"));      // third byte not a continuation
  EXPECT_FALSE(IsValidUtf8("\xF0\x9F\x93\x41"));  // fourth byte not a continuation
  EXPECT_TRUE(IsValidUtf8(std::string("a\0b", 3)));
}

TEST(TextEncoding, OtherBytesAreReadAsWindows1252) {
  for (int byte = 0x80; byte < 0x100; ++byte) {
    const std::string encoded = ToUtf8(std::string(1, static_cast<char>(byte)));
    EXPECT_TRUE(IsValidUtf8(encoded)) << std::hex << byte;
    const std::string expected = FromCp1252(static_cast<unsigned char>(byte));
    if (!expected.empty()) {
      EXPECT_EQ(expected, encoded) << std::hex << byte;
    }
  }
  // The five bytes the code page leaves undefined stand for the same code points.
  EXPECT_EQ("\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", ToUtf8("\x81\x8D\x8F\x90\x9D"));
  // Valid sequences stay; each byte of a broken one is a character of its own.
  EXPECT_EQ("K\xC3\xB6ln \xC3\xB6 \xE2\x82\xAC", ToUtf8("K\xF6ln \xC3\xB6 \x80"));
  EXPECT_EQ("\xC3\xA2\xE2\x80\x9A!", ToUtf8("\xE2\x82!"));
  EXPECT_EQ("\xC3\xAD\xC2\xA0\xE2\x82\xAC", ToUtf8("\xED\xA0\x80"));
}

TEST(TextEncoding, AnInvalidByteIsFoundAtAnyPlaceOfALongAsciiText) {
  // ASCII is skipped in words of several bytes: a bad byte at any offset is still seen.
  for (size_t at = 0; at < 40; ++at) {
    std::string text(40, 'a');
    text[at] = '\xF6';
    EXPECT_FALSE(IsValidUtf8(text)) << at;
    EXPECT_EQ(std::string(at, 'a') + "\xC3\xB6" + std::string(39 - at, 'a'), ToUtf8(text)) << at;
  }
}

TEST(TextEncoding, AValidTextIsTheTextItself) {
  const std::string valid = "Caf\xC3\xA9 \xF0\x9F\x93\xBA";
  std::string storage = "untouched";
  EXPECT_EQ(&valid, &AsUtf8(valid, storage));
  EXPECT_EQ("untouched", storage);
  const std::string latin1 = "Caf\xE9";
  EXPECT_EQ(&storage, &AsUtf8(latin1, storage));
  EXPECT_EQ("Caf\xC3\xA9", storage);
  EXPECT_EQ(valid, ToUtf8(valid));
  EXPECT_EQ("", ToUtf8(""));
}

}  // namespace

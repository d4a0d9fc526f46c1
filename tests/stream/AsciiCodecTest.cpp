#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "stream/Factory.h"

namespace {

using zu::Stream;

std::vector<std::string> ReadAllLines(std::string text) {
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  std::vector<std::string> lines;
  for (int guard = 0; stream->IsGood() && guard < 100; ++guard) {
    std::string line = "unchanged";
    stream->Read(line);
    lines.push_back(line);
  }
  return lines;
}

TEST(AsciiCodecLines, SkipsLineEndsAndEmptyLinesAndEndsWithAnEmptyLine) {
  EXPECT_EQ((std::vector<std::string>{"A", "B", ""}), ReadAllLines("A\n\nB\n"));
  EXPECT_EQ((std::vector<std::string>{"A", "B", ""}), ReadAllLines("A\r\n\r\nB\r\n"));
  // The last line needs no line end; reading it reaches the end of the data.
  EXPECT_EQ((std::vector<std::string>{"#EXTM3U", "http://x/1.ts"}),
            ReadAllLines("#EXTM3U\r\nhttp://x/1.ts"));
  EXPECT_EQ((std::vector<std::string>{"one", "two", "three", ""}),
            ReadAllLines("\r\n\none\rtwo\n\rthree\r\n"));
  EXPECT_EQ((std::vector<std::string>{""}), ReadAllLines(""));
}

TEST(AsciiCodecLines, KeepsLeadingAndInnerSpacesAndReturnsBytesConsumed) {
  std::string text = "\r\n  indented line \t\nnext";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  std::string line;
  EXPECT_EQ(2u + 17u + 1u, stream->Read(line));
  EXPECT_EQ("  indented line \t", line);
  EXPECT_EQ(4u, stream->Read(line));
  EXPECT_EQ("next", line);
  EXPECT_EQ(0u, stream->Read(line));
  EXPECT_EQ("", line);
}

TEST(AsciiCodecLines, WideLinesAreDecodedFromUtf8) {
  std::string text =
      "Gr\xC3\xBC\xC3\x9F"
      "e\n";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  std::wstring line;
  stream->Read(line);
  EXPECT_EQ(L"Gr\u00fc\u00dfe", line);
}

TEST(AsciiCodecTokens, NumbersAreSeparatedByAnyWhiteSpaceAcrossLines) {
  std::string text = "  12\t-7\r\n 3.5 x1\n\n1 0 255 -1";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  int i = 0;
  long l = 0;
  double d = 0;
  int bad = 9;
  bool yes = false;
  bool no = true;
  unsigned char byte = 0;
  signed char small = 0;
  EXPECT_EQ(5u, stream->Read(i));
  EXPECT_EQ(12, i);
  EXPECT_EQ(3u, stream->Read(l));
  EXPECT_EQ(-7, l);
  stream->Read(d);
  EXPECT_DOUBLE_EQ(3.5, d);
  stream->Read(bad);
  EXPECT_EQ(0, bad);
  stream->Read(yes);
  stream->Read(no);
  EXPECT_TRUE(yes);
  EXPECT_FALSE(no);
  stream->Read(byte);
  EXPECT_EQ(255, byte);
  EXPECT_TRUE(stream->IsGood());
  stream->Read(small);
  EXPECT_EQ(-1, small);
  EXPECT_EQ(Stream::EndOfStream, stream->GetStatus());
}

TEST(AsciiCodecTokens, NoTokenLeftLeavesTheTargetUnchanged) {
  std::string text = " \r\n\t";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  int value = 42;
  EXPECT_EQ(0u, stream->Read(value));
  EXPECT_EQ(42, value);
  EXPECT_EQ(Stream::EndOfStream, stream->GetStatus());
  bool flag = true;
  stream->ClearStatus();
  EXPECT_EQ(0u, stream->Read(flag));
  EXPECT_TRUE(flag);
}

TEST(AsciiCodecTokens, BoolIsTrueOnlyForExactlyOne) {
  std::string text = "1 0 11 true 01 1";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  std::vector<bool> values;
  for (int k = 0; k < 6; ++k) {
    bool b = false;
    stream->Read(b);
    values.push_back(b);
  }
  EXPECT_EQ((std::vector<bool>{true, false, false, false, false, true}), values);
}

TEST(AsciiCodecWrite, WritesNoSeparatorOfItsOwn) {
  std::string text;
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  EXPECT_EQ(2u, stream->Write(12));
  EXPECT_EQ(2u, stream->Write(34));
  EXPECT_EQ("1234", text);
  stream->SetPosition(0, Stream::FromStart);
  int value = 0;
  stream->Read(value);
  EXPECT_EQ(1234, value);

  std::string separated;
  zu::StreamPtr out = zu::factory::CreateStringStream(separated);
  out->Write(12);
  EXPECT_EQ(1u, out->WriteSeparator());
  out->Write(34);
  EXPECT_EQ(1u, out->WriteEndOfLine());
  EXPECT_EQ("12 34\n", separated);
  int a = 0;
  int b = 0;
  out->SetPosition(0, Stream::FromStart);
  out->Read(a);
  out->Read(b);
  EXPECT_EQ(12, a);
  EXPECT_EQ(34, b);
}

TEST(AsciiCodecWrite, FormatsEveryTypeAsText) {
  std::string text;
  zu::StreamPtr s = zu::factory::CreateStringStream(text);
  s->Write(static_cast<signed char>(-5));
  s->Write(' ');
  s->Write(static_cast<unsigned char>(200));
  s->WriteSeparator();
  s->Write(static_cast<short>(-32768));
  s->WriteSeparator();
  s->Write(static_cast<unsigned short>(65535));
  s->WriteSeparator();
  s->Write(INT_MIN);
  s->WriteSeparator();
  s->Write(4294967295u);
  s->WriteSeparator();
  s->Write(LONG_MIN);
  s->WriteSeparator();
  s->Write(ULONG_MAX);
  s->WriteSeparator();
  s->Write(0.5f);
  s->WriteSeparator();
  s->Write(1e300);
  s->WriteSeparator();
  s->Write(true);
  s->Write(false);
  s->WriteSeparator();
  s->Write("c-string");
  s->Write(std::string(" std"));
  s->Write(std::wstring(L" \u00e4"));
  const char* none = nullptr;
  EXPECT_EQ(0u, s->Write(none));
  EXPECT_EQ(
      "-5 200 -32768 65535 -2147483648 4294967295 -9223372036854775808 18446744073709551615 0.5 "
      "1e+300 10 c-string std \xC3\xA4",
      text);
}

TEST(AsciiCodecRoundTrip, ExtremeValuesReadBackEqual) {
  std::string text;
  zu::StreamPtr s = zu::factory::CreateStringStream(text);
  s->Write(LONG_MIN);
  s->WriteSeparator();
  s->Write(ULONG_MAX);
  s->WriteSeparator();
  s->Write(static_cast<short>(-32768));
  s->WriteEndOfLine();
  s->Write('z');
  s->SetPosition(0, Stream::FromStart);
  long l = 0;
  unsigned long ul = 0;
  short sh = 0;
  char c = 0;
  s->Read(l);
  s->Read(ul);
  s->Read(sh);
  EXPECT_EQ(1u, s->Read(c));
  EXPECT_EQ(LONG_MIN, l);
  EXPECT_EQ(ULONG_MAX, ul);
  EXPECT_EQ(-32768, sh);
  EXPECT_EQ('z', c);
  EXPECT_EQ(0u, s->Read(c));
  EXPECT_EQ('z', c);
}

}  // namespace

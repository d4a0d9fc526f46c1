#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "stream/Factory.h"
#include "stream/imp/StringStream.h"

namespace {

using Bytes = std::vector<unsigned char>;
using zu::Stream;

template <class T>
Bytes Encode(zu::CodecPtr codec, T value) {
  Bytes bytes;
  zu::StreamPtr stream = zu::factory::CreateMemoryStream(codec, bytes);
  EXPECT_EQ(sizeof(T), stream->Write(value));
  return bytes;
}

TEST(BinaryCodecByteOrder, NativeAndLittleEndianLeastSignificantFirstBigEndianSwapped) {
  using zu::factory::CreateBigEndianBinaryCodec;
  using zu::factory::CreateBinaryCodec;
  using zu::factory::CreateLittleEndianBinaryCodec;
  EXPECT_EQ((Bytes{1, 0, 0, 0}), Encode(CreateBinaryCodec(), 1u));
  EXPECT_EQ((Bytes{1, 0, 0, 0}), Encode(CreateLittleEndianBinaryCodec(), 1u));
  EXPECT_EQ((Bytes{0, 0, 0, 1}), Encode(CreateBigEndianBinaryCodec(), 1u));
  EXPECT_EQ((Bytes{0x12, 0x34}), Encode(CreateBigEndianBinaryCodec(), static_cast<short>(0x1234)));
  EXPECT_EQ((Bytes{0x34, 0x12}),
            Encode(CreateLittleEndianBinaryCodec(), static_cast<unsigned short>(0x1234)));
  EXPECT_EQ((Bytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}),
            Encode(CreateBigEndianBinaryCodec(), 0x0102030405060708L));
  EXPECT_EQ((Bytes{0x3F, 0x80, 0, 0}), Encode(CreateBigEndianBinaryCodec(), 1.0f));
  EXPECT_EQ((Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}), Encode(CreateLittleEndianBinaryCodec(), 1.0));
  EXPECT_EQ((Bytes{0xFF}), Encode(CreateBigEndianBinaryCodec(), static_cast<signed char>(-1)));
  EXPECT_EQ((Bytes{'q'}), Encode(CreateBigEndianBinaryCodec(), 'q'));
}

template <class T>
void ExpectRoundTrip(zu::CodecPtr codec, T value) {
  Bytes bytes;
  zu::StreamPtr stream = zu::factory::CreateMemoryStream(codec, bytes);
  ASSERT_EQ(sizeof(T), stream->Write(value));
  ASSERT_TRUE(stream->SetPosition(0, Stream::FromStart));
  T back{};
  EXPECT_EQ(sizeof(T), stream->Read(back));
  EXPECT_EQ(value, back);
}

TEST(BinaryCodecRoundTrip, EveryTypeInEveryOrder) {
  for (zu::CodecPtr codec :
       {zu::factory::CreateBinaryCodec(), zu::factory::CreateLittleEndianBinaryCodec(),
        zu::factory::CreateBigEndianBinaryCodec()}) {
    ExpectRoundTrip(codec, static_cast<signed char>(-100));
    ExpectRoundTrip(codec, static_cast<unsigned char>(250));
    ExpectRoundTrip(codec, static_cast<short>(-12345));
    ExpectRoundTrip(codec, static_cast<unsigned short>(54321));
    ExpectRoundTrip(codec, -123456789);
    ExpectRoundTrip(codec, 3123456789u);
    ExpectRoundTrip(codec, -1234567890123456789L);
    ExpectRoundTrip(codec, 12345678901234567890UL);
    ExpectRoundTrip(codec, -1.25e-3f);
    ExpectRoundTrip(codec, 6.02214076e23);
    ExpectRoundTrip(codec, 'x');
    ExpectRoundTrip(codec, true);
    ExpectRoundTrip(codec, false);
  }
}

TEST(BinaryCodecStrings, LengthInCodecOrderThenBytesAndTextUpToFirstNul) {
  Bytes bytes;
  zu::StreamPtr stream =
      zu::factory::CreateMemoryStream(zu::factory::CreateBigEndianBinaryCodec(), bytes);
  EXPECT_EQ(7u, stream->Write(std::string("a\0b", 3)));
  EXPECT_EQ((Bytes{0, 0, 0, 3, 'a', 0, 'b'}), bytes);
  EXPECT_EQ(4u, stream->Write(std::string()));
  EXPECT_EQ(6u, stream->Write("hi"));
  EXPECT_EQ(0u, stream->WriteSeparator());
  EXPECT_EQ(0u, stream->WriteEndOfLine());
  EXPECT_EQ(4u + 4u + 3u + 4u + 2u, bytes.size());

  stream->SetPosition(0, Stream::FromStart);
  std::string text = "old";
  EXPECT_EQ(7u, stream->Read(text));
  EXPECT_EQ("a", text);
  EXPECT_EQ(4u, stream->Read(text));
  EXPECT_EQ("", text);
  EXPECT_EQ(6u, stream->Read(text));
  EXPECT_EQ("hi", text);
}

TEST(BinaryCodecStrings, WideStringsTravelAsUtf8) {
  Bytes bytes;
  zu::StreamPtr stream =
      zu::factory::CreateMemoryStream(zu::factory::CreateLittleEndianBinaryCodec(), bytes);
  EXPECT_EQ(4u + 3u, stream->Write(std::wstring(L"\u20ac")));
  EXPECT_EQ((Bytes{3, 0, 0, 0, 0xE2, 0x82, 0xAC}), bytes);
  stream->SetPosition(0, Stream::FromStart);
  std::wstring back;
  EXPECT_EQ(7u, stream->Read(back));
  EXPECT_EQ(L"\u20ac", back);
}

// A string stream hands over what it has and then reports the end; a memory stream hands over
// nothing unless all is there. A binary read must fail cleanly on both.
std::vector<zu::StreamPtr> ShortStreams(std::string& text, Bytes& bytes) {
  return {std::make_shared<zu::imp::StringStream>(text, zu::factory::CreateBigEndianBinaryCodec()),
          zu::factory::CreateMemoryStream(zu::factory::CreateBigEndianBinaryCodec(), bytes)};
}

TEST(BinaryCodecShortReads, LeaveTheTargetUnchangedOnEveryStream) {
  std::string text("\x01\x02\x03", 3);
  Bytes bytes{0x01, 0x02, 0x03};
  for (zu::StreamPtr stream : ShortStreams(text, bytes)) {
    unsigned int u = 77;
    EXPECT_EQ(0u, stream->Read(u));
    EXPECT_EQ(77u, u);
    stream->ClearStatus();
    stream->SetPosition(0, Stream::FromStart);
    double d = 1.5;
    EXPECT_EQ(0u, stream->Read(d));
    EXPECT_EQ(1.5, d);
  }
}

TEST(BinaryCodecShortReads, StringShorterThanItsLengthLeavesTheTargetUnchanged) {
  Bytes bytes{0, 0, 0, 10, 'a', 'b', 'c'};
  zu::StreamPtr stream =
      zu::factory::CreateMemoryStream(zu::factory::CreateBigEndianBinaryCodec(), bytes);
  std::string text = "keep";
  EXPECT_EQ(0u, stream->Read(text));
  EXPECT_EQ("keep", text);

  Bytes lengthOnly{0, 0};
  zu::StreamPtr cut =
      zu::factory::CreateMemoryStream(zu::factory::CreateBigEndianBinaryCodec(), lengthOnly);
  EXPECT_EQ(0u, cut->Read(text));
  EXPECT_EQ("keep", text);
}

TEST(BinaryCodecShortReads, HostileLengthIsNotAllocatedAndTheReadEnds) {
  // A length of almost 4 GiB with three bytes behind it: the read must neither reserve that
  // much nor wait for more, and must leave the target alone.
  std::string text("\xFF\xFF\xFF\xF0xyz", 7);
  Bytes bytes(text.begin(), text.end());
  for (zu::StreamPtr stream : ShortStreams(text, bytes)) {
    std::string narrow = "keep";
    EXPECT_EQ(0u, stream->Read(narrow));
    EXPECT_EQ("keep", narrow);
    stream->ClearStatus();
    stream->SetPosition(0, Stream::FromStart);
    std::wstring wide = L"keep";
    EXPECT_EQ(0u, stream->Read(wide));
    EXPECT_EQ(L"keep", wide);
  }
}

TEST(BinaryCodecBool, OnlyTheByteOneIsTrue) {
  Bytes bytes{1, 0, 2, 0xFF};
  zu::StreamPtr stream = zu::factory::CreateMemoryStream(zu::factory::CreateBinaryCodec(), bytes);
  bool values[4] = {false, true, true, true};
  for (bool& b : values)
    EXPECT_EQ(1u, stream->Read(b));
  EXPECT_TRUE(values[0]);
  EXPECT_FALSE(values[1]);
  EXPECT_FALSE(values[2]);
  EXPECT_FALSE(values[3]);
  bool untouched = true;
  EXPECT_EQ(0u, stream->Read(untouched));
  EXPECT_TRUE(untouched);
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "multi_threading/Time.h"
#include "stream/Factory.h"

namespace {

TEST(TimeStream, WritesSecondsSpaceNanosecondsAsText) {
  std::string text;
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  stream << zu::Time(1700000000, 123456789);
  EXPECT_EQ("1700000000 123456789", text);
}

TEST(TimeStream, RoundTripsThroughTextAndBinary) {
  const zu::Time times[] = {zu::Time(), zu::Time(1, 999999999), zu::Time(4102444800UL, 5),
                            zu::Time::Infinite()};
  std::string text;
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  for (const zu::Time& t : times) {
    stream << t;
    stream->WriteEndOfLine();
  }
  std::vector<unsigned char> bytes;
  zu::StreamPtr binary =
      zu::factory::CreateMemoryStream(zu::factory::CreateBigEndianBinaryCodec(), bytes);
  for (const zu::Time& t : times)
    binary << t;

  stream->SetPosition(0, zu::Stream::FromStart);
  binary->SetPosition(0, zu::Stream::FromStart);
  for (const zu::Time& t : times) {
    zu::Time back(7, 7);
    stream >> back;
    EXPECT_EQ(t, back);
    zu::Time fromBinary(7, 7);
    binary >> fromBinary;
    EXPECT_EQ(t, fromBinary);
  }
  EXPECT_EQ(16u * 4u, bytes.size());
}

TEST(TimeStream, ACutTimeLeavesTheTargetUnchanged) {
  std::string text = "12";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  zu::Time t(3, 4);
  stream >> t;
  EXPECT_EQ(zu::Time(3, 4), t);
  zu::StreamPtr none;
  EXPECT_EQ(nullptr, none << t);
  EXPECT_EQ(nullptr, none >> t);
}

}  // namespace

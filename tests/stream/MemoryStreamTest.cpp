#include <gtest/gtest.h>

#include <vector>

#include "output/LogRecorder.h"
#include "stream/Factory.h"

namespace {

using zu::Stream;

TEST(MemoryStream, ReadsOnlyWhenAllRequestedBytesAreThereAndStaysGoodPastTheEnd) {
  zu_test::LogRecorder log;
  std::vector<unsigned char> bytes{1, 2, 3};
  zu::StreamPtr stream = zu::factory::CreateMemoryStream(zu::factory::CreateBinaryCodec(), bytes);
  unsigned char buffer[4] = {9, 9, 9, 9};
  EXPECT_EQ(0u, stream->ReadBytes(4, buffer));
  EXPECT_EQ(9, buffer[0]);
  EXPECT_EQ(0u, stream->GetPosition());
  EXPECT_EQ(2u, stream->ReadBytes(2, buffer));
  EXPECT_EQ(0u, stream->ReadBytes(2, buffer));
  EXPECT_EQ(1u, stream->ReadBytes(1, buffer));
  EXPECT_EQ(3, buffer[0]);
  EXPECT_EQ(0u, stream->ReadBytes(1, buffer));
  EXPECT_TRUE(stream->IsGood());
  EXPECT_EQ(0u, log.Count());
}

TEST(MemoryStream, WritesEnlargeTheVectorWithZeroBytes) {
  std::vector<unsigned char> bytes{7};
  zu::StreamPtr stream = zu::factory::CreateMemoryStream(zu::factory::CreateBinaryCodec(), bytes);
  ASSERT_TRUE(stream->SetPosition(3, Stream::FromStart));
  const unsigned char data[2] = {0xAA, 0xBB};
  EXPECT_EQ(2u, stream->WriteBytes(2, data));
  EXPECT_EQ((std::vector<unsigned char>{7, 0, 0, 0xAA, 0xBB}), bytes);
  ASSERT_TRUE(stream->SetPosition(-4, Stream::FromEnd));
  EXPECT_EQ(1u, stream->WriteBytes(1, data));
  EXPECT_EQ((std::vector<unsigned char>{7, 0xAA, 0, 0xAA, 0xBB}), bytes);
  EXPECT_EQ(2u, stream->GetPosition());
}

TEST(MemoryStream, AHugePositionMakesWritesFailInsteadOfThrowing) {
  zu_test::LogRecorder log;
  std::vector<unsigned char> bytes;
  zu::StreamPtr stream = zu::factory::CreateMemoryStream(zu::factory::CreateBinaryCodec(), bytes);
  ASSERT_TRUE(stream->SetPosition(INT64_MAX, Stream::FromStart));
  EXPECT_EQ(0u, stream->WriteBytes(1, "x"));
  EXPECT_EQ(Stream::WriteError, stream->GetStatus());
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(1u, log.CountContaining("Error during write to stream"));
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "output/LogRecorder.h"
#include "stream/Factory.h"

namespace {

using zu::Stream;

TEST(StringStream, ReadsFromThePositionAndSetsEndOfStreamAtTheEnd) {
  std::string text = "hello";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  char buffer[8] = {};
  EXPECT_EQ(3u, stream->ReadBytes(3, buffer));
  EXPECT_EQ("hel", std::string(buffer, 3));
  EXPECT_EQ(3u, stream->GetPosition());
  EXPECT_EQ(2u, stream->ReadBytes(8, buffer));
  EXPECT_EQ("lo", std::string(buffer, 2));
  EXPECT_TRUE(stream->IsGood());
  EXPECT_EQ(0u, stream->ReadBytes(1, buffer));
  EXPECT_EQ(Stream::EndOfStream, stream->GetStatus());
}

TEST(StringStream, EmptyStringGivesEndOfStreamWithoutAnErrorLine) {
  zu_test::LogRecorder log;
  std::string text;
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  char c = 0;
  EXPECT_EQ(0u, stream->ReadBytes(1, &c));
  EXPECT_EQ(Stream::EndOfStream, stream->GetStatus());
  EXPECT_TRUE(stream->HasError());
  EXPECT_FALSE(stream->IsGood());
  EXPECT_EQ(0u, log.Count());
}

TEST(StringStream, WritesReplaceAtThePositionAndExtendTheString) {
  std::string text = "abcdef";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  ASSERT_TRUE(stream->SetPosition(2, Stream::FromStart));
  EXPECT_EQ(2u, stream->WriteBytes(2, "XY"));
  EXPECT_EQ("abXYef", text);
  EXPECT_EQ(3u, stream->WriteBytes(3, "123"));
  EXPECT_EQ("abXY123", text);
  EXPECT_EQ(7u, stream->GetPosition());
  // A position beyond the end leaves a gap of NUL bytes.
  ASSERT_TRUE(stream->SetPosition(2, Stream::FromEnd));
  EXPECT_EQ(9u, stream->GetPosition());
  EXPECT_EQ(1u, stream->WriteBytes(1, "!"));
  EXPECT_EQ(std::string("abXY123\0\0!", 10), text);
  EXPECT_TRUE(stream->Flush());
}

TEST(StringStream, PositionMovesFromEachOriginButNotBeforeTheStart) {
  std::string text = "0123456789";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  EXPECT_TRUE(stream->SetPosition(4, Stream::FromStart));
  EXPECT_TRUE(stream->SetPosition(-1, Stream::FromCurrent));
  EXPECT_EQ(3u, stream->GetPosition());
  EXPECT_TRUE(stream->SetPosition(-2, Stream::FromEnd));
  char c = 0;
  EXPECT_EQ(1u, stream->ReadBytes(1, &c));
  EXPECT_EQ('8', c);
  EXPECT_FALSE(stream->SetPosition(-1, Stream::FromStart));
  EXPECT_FALSE(stream->SetPosition(-20, Stream::FromEnd));
  EXPECT_FALSE(stream->SetPosition(0, 7));
  EXPECT_EQ(9u, stream->GetPosition());
}

TEST(StringStream, ReadingBeyondTheEndEndsALoopThatReadsWhileGood) {
  std::string text = "abc";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  ASSERT_TRUE(stream->SetPosition(10, Stream::FromStart));
  std::string line = "x";
  int reads = 0;
  while (stream->IsGood() && reads < 10) {
    stream->Read(line);
    ++reads;
  }
  EXPECT_EQ(1, reads);
  EXPECT_EQ(Stream::EndOfStream, stream->GetStatus());
  EXPECT_EQ("", line);
}

TEST(StringStream, CloseStopsTransfersWithWrongDirection) {
  zu_test::LogRecorder log;
  std::string text = "abc";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  EXPECT_TRUE(stream->Close());
  char c = 0;
  EXPECT_EQ(0u, stream->ReadBytes(1, &c));
  EXPECT_EQ(Stream::WrongDirection, stream->GetStatus());
  EXPECT_EQ(1u, log.CountContaining("Error wrong stream direction"));
  EXPECT_EQ("abc", text);
}

}  // namespace

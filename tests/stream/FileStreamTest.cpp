#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "base/TempDir.h"
#include "output/LogRecorder.h"
#include "stream/Factory.h"

namespace {

using zu::Stream;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

TEST(FileStream, WritesAndReadsBackTextAndBinaryValues) {
  zu_test::TempDir dir;
  const std::string path = dir / "values.bin";
  {
    zu::StreamPtr out =
        zu::factory::CreateFileStream(path, Stream::WriteOnly, zu::factory::CreateBinaryCodec());
    ASSERT_TRUE(out->IsGood());
    out->Write(std::string("name"));
    out->Write(-5);
    out->Write(2.5);
    EXPECT_TRUE(out->Flush());
    EXPECT_TRUE(out->Close());
  }
  EXPECT_EQ(8u + 4u + 8u, Slurp(path).size());
  zu::StreamPtr in =
      zu::factory::CreateFileStream(path, Stream::ReadOnly, zu::factory::CreateBinaryCodec());
  std::string name;
  int i = 0;
  double d = 0;
  EXPECT_EQ(8u, in->Read(name));
  EXPECT_EQ(4u, in->Read(i));
  EXPECT_EQ(8u, in->Read(d));
  EXPECT_EQ("name", name);
  EXPECT_EQ(-5, i);
  EXPECT_EQ(2.5, d);
  EXPECT_TRUE(in->IsGood());
  char c = 0;
  EXPECT_EQ(0u, in->ReadBytes(1, &c));
  EXPECT_EQ(Stream::EndOfStream, in->GetStatus());
}

TEST(FileStream, ReadReturnsWhatItGotBeforeTheEnd) {
  zu_test::TempDir dir;
  const std::string path = dir / "short.txt";
  std::ofstream(path) << "abc";
  zu::StreamPtr in =
      zu::factory::CreateFileStream(path, Stream::ReadOnly, zu::factory::CreateAsciiCodec());
  char buffer[10] = {};
  EXPECT_EQ(3u, in->ReadBytes(sizeof(buffer), buffer));
  EXPECT_EQ(Stream::EndOfStream, in->GetStatus());
  EXPECT_EQ("abc", std::string(buffer));
}

TEST(FileStream, ReadWriteCreatesEmptiesAndAllowsSwitchingBetweenWritingAndReading) {
  zu_test::TempDir dir;
  const std::string path = dir / "rw.txt";
  std::ofstream(path) << "old content";
  zu::StreamPtr rw =
      zu::factory::CreateFileStream(path, Stream::ReadWrite, zu::factory::CreateAsciiCodec());
  ASSERT_TRUE(rw->IsGood());
  rw->Write(std::string("first"));
  rw->WriteEndOfLine();
  EXPECT_EQ(6u, rw->GetPosition());
  ASSERT_TRUE(rw->SetPosition(0, Stream::FromStart));
  std::string line;
  rw->Read(line);
  EXPECT_EQ("first", line);
  // Writing straight after reading continues at the position the read left.
  rw->Write(std::string("second"));
  ASSERT_TRUE(rw->SetPosition(-6, Stream::FromEnd));
  rw->Read(line);
  EXPECT_EQ("second", line);
  rw->Close();
  EXPECT_EQ("first\nsecond", Slurp(path));
}

TEST(FileStream, CallersFileStaysOpenAfterClose) {
  FILE* file = std::tmpfile();
  ASSERT_NE(nullptr, file);
  {
    zu::StreamPtr stream =
        zu::factory::CreateFileStream(file, Stream::ReadWrite, zu::factory::CreateAsciiCodec());
    stream->Write(42);
    EXPECT_TRUE(stream->Close());
  }
  // Still usable: the stream never closes a FILE it was given.
  EXPECT_EQ(0, std::fseek(file, 0, SEEK_SET));
  char buffer[3] = {};
  EXPECT_EQ(2u, std::fread(buffer, 1, 2, file));
  EXPECT_EQ("42", std::string(buffer));
  std::fclose(file);
}

TEST(FileStream, FailedOpenLogsTheFileAndEveryTransferReturnsZero) {
  zu_test::TempDir dir;
  zu_test::LogRecorder log;
  const std::string path = dir / "no/such/dir/file";
  zu::StreamPtr stream =
      zu::factory::CreateFileStream(path, Stream::WriteOnly, zu::factory::CreateAsciiCodec());
  EXPECT_EQ(Stream::OpenError, stream->GetStatus());
  EXPECT_EQ(1u, log.CountContaining("Error opening file '" + path + "'"));
  EXPECT_EQ(0u, stream->Write(std::string("lost")));
  // Even after clearing the status there is no file to write to; no crash, a clear status.
  stream->ClearStatus();
  EXPECT_EQ(0u, stream->Write(std::string("lost")));
  EXPECT_EQ(Stream::WriteError, stream->GetStatus());
  EXPECT_FALSE(zu::factory::CreateFileStream(path, Stream::Closed, zu::CodecPtr())->IsGood());
}

TEST(FileStream, PipeHasNoPositionAndTransfersGoOn) {
  int fds[2];
  ASSERT_EQ(0, ::pipe(fds));
  FILE* reader = ::fdopen(fds[0], "rb");
  FILE* writer = ::fdopen(fds[1], "wb");
  ASSERT_NE(nullptr, reader);
  ASSERT_NE(nullptr, writer);
  zu_test::LogRecorder log;
  zu::StreamPtr in =
      zu::factory::CreateFileStream(reader, Stream::ReadOnly, zu::factory::CreateAsciiCodec());
  zu::StreamPtr out =
      zu::factory::CreateFileStream(writer, Stream::WriteOnly, zu::factory::CreateAsciiCodec());
  EXPECT_EQ(0u, out->GetPosition());
  EXPECT_EQ(0u, in->GetPosition());
  EXPECT_EQ(2u, log.CountContaining("Set or get position of stream not supported"));
  // A failed position query leaves both ends working.
  EXPECT_TRUE(out->IsGood());
  EXPECT_TRUE(in->IsGood());
  EXPECT_EQ(4u, out->WriteBytes(4, "data"));
  EXPECT_TRUE(out->Flush());
  char back[4] = {};
  EXPECT_EQ(4u, in->ReadBytes(4, back));
  EXPECT_EQ("data", std::string(back, 4));
  EXPECT_FALSE(in->SetPosition(0, Stream::FromStart));
  EXPECT_TRUE(in->IsGood());
  std::fclose(reader);
  std::fclose(writer);
}

TEST(StandardStreams, WriteTextToTheProcessStreamsAndCannotRead) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  zu::StreamPtr out = zu::factory::CreateStdOutStream();
  zu::StreamPtr err = zu::factory::CreateStdErrorStream();
  out->Write(std::string("to out "));
  out->Write(1);
  out->Flush();
  err->Write(std::string("to err"));
  err->Flush();
  out->Close();
  const std::string outText = testing::internal::GetCapturedStdout();
  const std::string errText = testing::internal::GetCapturedStderr();
  EXPECT_EQ("to out 1", outText);
  EXPECT_EQ("to err", errText);
  zu_test::LogRecorder log;
  char c = 0;
  EXPECT_EQ(0u, err->ReadBytes(1, &c));
  EXPECT_EQ(Stream::WrongDirection, err->GetStatus());
}

}  // namespace

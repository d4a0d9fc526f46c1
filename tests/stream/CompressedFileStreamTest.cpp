#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/TempDir.h"
#include "output/LogRecorder.h"
#include "stream/Factory.h"

namespace {

using zu::Stream;
using Factory = zu::StreamPtr (*)(const std::string&, Stream::Direction, zu::CodecPtr);

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// Text long and repetitive enough to span several compression blocks' worth of input.
std::string Payload() {
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += "line " + std::to_string(i) + " of the guide\n";
  return text;
}

void ExpectRoundTrip(Factory create, const std::string& path) {
  const std::string payload = Payload();
  {
    zu::StreamPtr out = create(path, Stream::WriteOnly, zu::factory::CreateBinaryCodec());
    ASSERT_TRUE(out->IsGood());
    EXPECT_EQ(4u + 5u, out->Write(std::string("title")));
    EXPECT_EQ(payload.size(), out->WriteBytes(payload.size(), payload.data()));
    EXPECT_TRUE(out->Flush());
    EXPECT_TRUE(out->Close());
  }
  EXPECT_LT(Slurp(path).size(), payload.size() / 4);
  zu::StreamPtr in = create(path, Stream::ReadOnly, zu::factory::CreateBinaryCodec());
  ASSERT_TRUE(in->IsGood());
  std::string title;
  EXPECT_EQ(9u, in->Read(title));
  EXPECT_EQ("title", title);
  std::string back(payload.size() + 10, '\0');
  EXPECT_EQ(payload.size(), in->ReadBytes(back.size(), &back[0]));
  back.resize(payload.size());
  EXPECT_EQ(payload, back);
  EXPECT_EQ(Stream::EndOfStream, in->GetStatus());
  // Reading on after the end keeps reporting it and returns nothing.
  in->ClearStatus();
  char c = 0;
  EXPECT_EQ(0u, in->ReadBytes(1, &c));
  EXPECT_EQ(Stream::EndOfStream, in->GetStatus());
}

TEST(GzFileStream, RoundTripsCompressedData) {
  zu_test::TempDir dir;
  ExpectRoundTrip(&zu::factory::CreateGzFileStream, dir / "data.gz");
  EXPECT_EQ("\x1f\x8b", Slurp(dir / "data.gz").substr(0, 2));
}

TEST(Bz2FileStream, RoundTripsCompressedData) {
  zu_test::TempDir dir;
  ExpectRoundTrip(&zu::factory::CreateBz2FileStream, dir / "data.bz2");
  EXPECT_EQ("BZh", Slurp(dir / "data.bz2").substr(0, 3));
}

TEST(CompressedFileStreams, ReadWriteIsRefusedWithOpenError) {
  zu_test::TempDir dir;
  for (Factory create : {&zu::factory::CreateGzFileStream, &zu::factory::CreateBz2FileStream}) {
    zu_test::LogRecorder log;
    const std::string path = dir / "rw";
    zu::StreamPtr stream = create(path, Stream::ReadWrite, zu::factory::CreateAsciiCodec());
    EXPECT_EQ(Stream::OpenError, stream->GetStatus());
    EXPECT_EQ(1u, log.CountContaining("Error opening file '" + path + "'"));
    EXPECT_EQ(1u, log.CountContaining("cannot be read and written at once"));
    EXPECT_EQ(0u, stream->Write(1));
  }
}

TEST(CompressedFileStreams, MissingFileIsAnOpenError) {
  zu_test::TempDir dir;
  for (Factory create : {&zu::factory::CreateGzFileStream, &zu::factory::CreateBz2FileStream}) {
    zu_test::LogRecorder log;
    zu::StreamPtr stream =
        create(dir / "missing", Stream::ReadOnly, zu::factory::CreateAsciiCodec());
    EXPECT_EQ(Stream::OpenError, stream->GetStatus());
    EXPECT_EQ(1u, log.CountContaining("Error opening stream"));
    stream->ClearStatus();
    char c = 0;
    EXPECT_EQ(0u, stream->ReadBytes(1, &c));
    EXPECT_TRUE(stream->HasError());
  }
}

TEST(CompressedFileStreams, CutOrDamagedDataEndsTheReadWithReadError) {
  zu_test::TempDir dir;
  const std::string payload = Payload();
  for (Factory create : {&zu::factory::CreateGzFileStream, &zu::factory::CreateBz2FileStream}) {
    const std::string path = dir / "whole";
    {
      zu::StreamPtr out = create(path, Stream::WriteOnly, zu::factory::CreateAsciiCodec());
      out->WriteBytes(payload.size(), payload.data());
    }
    const std::string whole = Slurp(path);
    std::ofstream(dir / "cut", std::ios::binary) << whole.substr(0, whole.size() / 2);
    std::string damaged = whole;
    for (size_t i = 20; i < damaged.size(); i += 97)
      damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    std::ofstream(dir / "damaged", std::ios::binary) << damaged;

    for (const char* name : {"cut", "damaged"}) {
      zu_test::LogRecorder log;
      zu::StreamPtr in = create(dir / name, Stream::ReadOnly, zu::factory::CreateAsciiCodec());
      std::string back(payload.size(), '\0');
      size_t got = in->ReadBytes(back.size(), &back[0]);
      EXPECT_LT(got, payload.size()) << name;
      EXPECT_EQ(Stream::ReadError, in->GetStatus()) << name;
      EXPECT_EQ(1u, log.CountContaining("Error during read from stream")) << name;
      EXPECT_EQ(payload.substr(0, std::min<size_t>(got, 1000)),
                back.substr(0, std::min<size_t>(got, 1000)))
          << name;
    }
  }
}

TEST(GzFileStream, PositionIsTheUncompressedOffset) {
  zu_test::TempDir dir;
  const std::string path = dir / "pos.gz";
  {
    zu::StreamPtr out =
        zu::factory::CreateGzFileStream(path, Stream::WriteOnly, zu::factory::CreateAsciiCodec());
    out->Write(std::string("0123456789"));
    EXPECT_EQ(10u, out->GetPosition());
  }
  zu::StreamPtr in =
      zu::factory::CreateGzFileStream(path, Stream::ReadOnly, zu::factory::CreateAsciiCodec());
  EXPECT_TRUE(in->SetPosition(7, Stream::FromStart));
  char c = 0;
  EXPECT_EQ(1u, in->ReadBytes(1, &c));
  EXPECT_EQ('7', c);
  EXPECT_EQ(8u, in->GetPosition());
  zu_test::LogRecorder log;
  EXPECT_FALSE(in->SetPosition(-1, Stream::FromEnd));
  EXPECT_EQ(Stream::PositionNotSupported, in->GetStatus());
}

TEST(Bz2FileStream, ReadsStreamsWrittenOneAfterTheOtherAsOneAndIgnoresTrailingBytes) {
  zu_test::TempDir dir;
  const std::string payload = Payload();
  for (const char* part : {"p1", "p2"}) {
    zu::StreamPtr out =
        zu::factory::CreateBz2FileStream(dir / part, Stream::WriteOnly, zu::CodecPtr());
    out->WriteBytes(payload.size(), payload.data());
  }
  // Parallel compressors write such files; a reader that stopped after the first stream
  // would lose the rest without noticing.
  std::ofstream(dir / "joined", std::ios::binary)
      << Slurp(dir / "p1") << Slurp(dir / "p2") << "\n\n";
  zu_test::LogRecorder log;
  zu::StreamPtr in =
      zu::factory::CreateBz2FileStream(dir / "joined", Stream::ReadOnly, zu::CodecPtr());
  std::string back(3 * payload.size(), '\0');
  ASSERT_EQ(2 * payload.size(), in->ReadBytes(back.size(), &back[0]));
  EXPECT_EQ(Stream::EndOfStream, in->GetStatus());
  back.resize(2 * payload.size());
  EXPECT_TRUE(back == payload + payload);
  EXPECT_EQ(0u, log.Count());
}

TEST(Bz2FileStream, HasNoPosition) {
  zu_test::TempDir dir;
  zu_test::LogRecorder log;
  zu::StreamPtr out = zu::factory::CreateBz2FileStream(dir / "p.bz2", Stream::WriteOnly,
                                                       zu::factory::CreateAsciiCodec());
  EXPECT_EQ(0u, out->GetPosition());
  // Asking is no failure of the stream: what follows is still written.
  EXPECT_TRUE(out->IsGood());
  EXPECT_EQ(4u, out->WriteBytes(4, "kept"));
  EXPECT_FALSE(out->SetPosition(0, Stream::FromStart));
  EXPECT_EQ(Stream::PositionNotSupported, out->GetStatus());
  EXPECT_EQ(2u, log.CountContaining("Set or get position of stream not supported"));
  out->Close();
  zu::StreamPtr in =
      zu::factory::CreateBz2FileStream(dir / "p.bz2", Stream::ReadOnly, zu::CodecPtr());
  char back[8] = {};
  EXPECT_EQ(4u, in->ReadBytes(sizeof(back), back));
  EXPECT_EQ("kept", std::string(back, 4));
}

}  // namespace

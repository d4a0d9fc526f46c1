#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/TempDir.h"
#include "output/LogRecorder.h"
#include "stream/Factory.h"

namespace {

using zu::Stream;

// A FILE with the given content, positioned at its start; closed by the destructor.
class TempFile {
 public:
  explicit TempFile(const std::string& content) : file_(std::tmpfile()) {
    if (file_ != nullptr) {
      std::fwrite(content.data(), 1, content.size(), file_);
      std::rewind(file_);
    }
  }
  ~TempFile() {
    if (file_ != nullptr)
      std::fclose(file_);
  }
  FILE* Get() const { return file_; }

 private:
  FILE* file_;
};

TEST(StreamStatus, WriteToReadOnlyStreamIsWrongDirectionAndStaysUntilCleared) {
  zu_test::LogRecorder log;
  TempFile file("abc");
  ASSERT_NE(nullptr, file.Get());
  zu::StreamPtr stream =
      zu::factory::CreateFileStream(file.Get(), Stream::ReadOnly, zu::factory::CreateAsciiCodec());
  EXPECT_EQ(0u, stream->WriteBytes(1, "x"));
  EXPECT_EQ(Stream::WrongDirection, stream->GetStatus());
  EXPECT_EQ(1u, log.CountContaining("Error wrong stream direction"));
  EXPECT_FALSE(stream->Flush());

  // Sticky: reads do nothing and add no further lines.
  char c = 0;
  EXPECT_EQ(0u, stream->ReadBytes(1, &c));
  EXPECT_EQ(0u, stream->Read(c));
  EXPECT_EQ(1u, log.Count());

  stream->ClearStatus();
  EXPECT_TRUE(stream->IsGood());
  EXPECT_EQ(1u, stream->ReadBytes(1, &c));
  EXPECT_EQ('a', c);
}

TEST(StreamStatus, ReadFromWriteOnlyStreamIsWrongDirection) {
  zu_test::LogRecorder log;
  TempFile file("");
  zu::StreamPtr stream =
      zu::factory::CreateFileStream(file.Get(), Stream::WriteOnly, zu::factory::CreateAsciiCodec());
  int value = 5;
  EXPECT_EQ(0u, stream->Read(value));
  EXPECT_EQ(5, value);
  EXPECT_EQ(Stream::WrongDirection, stream->GetStatus());
  EXPECT_EQ(0u, stream->Write(12));
  EXPECT_EQ(1u, log.Count());
}

TEST(StreamStatus, DisabledMessagesKeepTheStatusAndTheOpeningLineOnly) {
  zu_test::TempDir dir;
  zu_test::LogRecorder log;
  const std::string missing = dir / "missing/file.txt";

  zu::StreamPtr loud =
      zu::factory::CreateFileStream(missing, Stream::ReadOnly, zu::factory::CreateAsciiCodec());
  EXPECT_EQ(Stream::OpenError, loud->GetStatus());
  EXPECT_EQ(1u, log.CountContaining("Error opening file '" + missing + "'"));
  EXPECT_EQ(1u, log.CountContaining("Error opening stream"));
  // The system's reason follows the status message.
  EXPECT_EQ(1u, log.CountContaining(std::strerror(ENOENT)));

  log.Clear();
  loud->EnableErrorMessages(false);
  loud->ClearStatus();
  char c = 0;
  EXPECT_EQ(0u, loud->ReadBytes(1, &c));
  EXPECT_EQ(Stream::ReadError, loud->GetStatus());
  EXPECT_EQ(0u, log.Count());
  loud->EnableErrorMessages(true);
  loud->ClearStatus();
  EXPECT_EQ(0u, loud->ReadBytes(1, &c));
  EXPECT_EQ(1u, log.CountContaining("Error during read from stream"));
}

TEST(StreamStatus, EndOfDataDoesNotReportAnErrorNumberLeftOverFromEarlierCalls) {
  zu_test::LogRecorder log;
  std::string text = "1";
  zu::StreamPtr stream = zu::factory::CreateStringStream(text);
  errno = ENOENT;
  int value = 0;
  EXPECT_EQ(1u, stream->Read(value));
  EXPECT_EQ(1, value);
  EXPECT_EQ(Stream::EndOfStream, stream->GetStatus());
  stream->ClearStatus();
  stream->Close();
  errno = EACCES;
  EXPECT_EQ(0u, stream->Write(1));
  EXPECT_EQ(Stream::WrongDirection, stream->GetStatus());
  EXPECT_EQ(1u, log.Count());
  EXPECT_EQ(0u, log.CountContaining(std::strerror(ENOENT)));
  EXPECT_EQ(0u, log.CountContaining(std::strerror(EACCES)));
}

TEST(StreamStatus, StreamWithoutCodecMovesBytesButRefusesTypedValues) {
  zu_test::LogRecorder log;
  std::vector<unsigned char> bytes;
  zu::StreamPtr stream = zu::factory::CreateMemoryStream(zu::CodecPtr(), bytes);
  EXPECT_EQ(0u, stream->Write(5));
  int value = 3;
  EXPECT_EQ(0u, stream->Read(value));
  EXPECT_EQ(3, value);
  EXPECT_EQ(2u, log.CountContaining("no codec"));
  EXPECT_EQ(2u, stream->WriteBytes(2, "ab"));
  EXPECT_EQ(2u, bytes.size());
  EXPECT_EQ(0u, stream->Clone()->Write(1));
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

TEST(StreamClone, StringCloneSharesTheTextButHasItsOwnPositionAndStatus) {
  std::string text = "one\ntwo\n";
  zu::StreamPtr first = zu::factory::CreateStringStream(text);
  std::string line;
  first->Read(line);
  first->Read(line);
  first->Read(line);
  EXPECT_EQ(Stream::EndOfStream, first->GetStatus());

  zu::StreamPtr clone = first->Clone();
  ASSERT_NE(first, clone);
  EXPECT_TRUE(clone->IsGood());
  EXPECT_EQ(0u, clone->GetPosition());
  clone->Read(line);
  EXPECT_EQ("one", line);
  // Same target: a write through the clone is seen by the original's string.
  clone->SetPosition(0, Stream::FromEnd);
  clone->Write(std::string("three"));
  EXPECT_EQ("one\ntwo\nthree", text);
  // The clone keeps the text codec.
  clone->SetPosition(0, Stream::FromStart);
  clone->Write(7);
  EXPECT_EQ('7', text[0]);
}

TEST(StreamClone, MemoryCloneKeepsTheCodecsByteOrder) {
  std::vector<unsigned char> bytes;
  zu::StreamPtr first =
      zu::factory::CreateMemoryStream(zu::factory::CreateBigEndianBinaryCodec(), bytes);
  first->Write(1u);
  zu::StreamPtr clone = first->Clone();
  unsigned int value = 0;
  EXPECT_EQ(4u, clone->Read(value));
  EXPECT_EQ(1u, value);
  EXPECT_EQ(4u, first->GetPosition());
}

TEST(StreamClone, NamedFileIsOpenedAgainAndAWritingCloneEmptiesIt) {
  zu_test::TempDir dir;
  const std::string path = dir / "clone.txt";
  std::ofstream(path) << "first line\n";
  zu::StreamPtr reader =
      zu::factory::CreateFileStream(path, Stream::ReadOnly, zu::factory::CreateAsciiCodec());
  std::string line;
  reader->Read(line);
  zu::StreamPtr readerClone = reader->Clone();
  readerClone->Read(line);
  EXPECT_EQ("first line", line);

  zu::StreamPtr writer =
      zu::factory::CreateFileStream(path, Stream::WriteOnly, zu::factory::CreateAsciiCodec());
  writer->Write(std::string("abc"));
  writer->Flush();
  zu::StreamPtr writerClone = writer->Clone();
  EXPECT_TRUE(writerClone->IsGood());
  writerClone->Close();
  EXPECT_EQ("", Slurp(path));
}

TEST(StreamClone, CallersFileIsShared) {
  FILE* file = std::tmpfile();
  ASSERT_NE(nullptr, file);
  zu::StreamPtr first =
      zu::factory::CreateFileStream(file, Stream::WriteOnly, zu::factory::CreateAsciiCodec());
  zu::StreamPtr clone = first->Clone();
  first->Write(std::string("a"));
  clone->Write(std::string("b"));
  first->Flush();
  clone->Flush();
  first.reset();
  clone.reset();
  std::rewind(file);
  char buffer[3] = {};
  EXPECT_EQ(2u, std::fread(buffer, 1, 2, file));
  EXPECT_EQ("ab", std::string(buffer));
  std::fclose(file);
}

TEST(StreamClone, CompressedFilesOpenAgainByName) {
  zu_test::TempDir dir;
  for (auto create : {&zu::factory::CreateGzFileStream, &zu::factory::CreateBz2FileStream}) {
    const std::string path = dir / "c";
    {
      zu::StreamPtr out = create(path, Stream::WriteOnly, zu::factory::CreateBinaryCodec());
      out->Write(123456);
    }
    zu::StreamPtr in = create(path, Stream::ReadOnly, zu::factory::CreateBinaryCodec());
    int a = 0;
    in->Read(a);
    int b = 0;
    EXPECT_EQ(4u, in->Clone()->Read(b));
    EXPECT_EQ(123456, a);
    EXPECT_EQ(123456, b);
  }
}

}  // namespace

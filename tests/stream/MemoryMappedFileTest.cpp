#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/TempDir.h"
#include "output/LogRecorder.h"
#include "stream/Factory.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

TEST(MemoryMappedFile, ReadOnlyMapsTheFileOrAtMostWhatItHolds) {
  zu_test::TempDir dir;
  const std::string path = dir / "ro";
  std::ofstream(path) << "mapped bytes";
  zu::MemoryMappedFilePtr whole = zu::factory::CreateMemoryMappedFile(path, false, 0);
  ASSERT_TRUE(whole);
  EXPECT_TRUE(whole->IsMapped());
  EXPECT_FALSE(whole->IsWritable());
  ASSERT_EQ(12u, whole->GetSize());
  EXPECT_EQ("mapped bytes", std::string(reinterpret_cast<const char*>(whole->GetData()), 12));
  EXPECT_FALSE(whole->Flush());

  // Asking for more than the file holds must not expose bytes past its end.
  zu::MemoryMappedFilePtr more = zu::factory::CreateMemoryMappedFile(path, false, 4096);
  ASSERT_TRUE(more);
  EXPECT_EQ(12u, more->GetSize());
  zu::MemoryMappedFilePtr part = zu::factory::CreateMemoryMappedFile(path, false, 6);
  ASSERT_TRUE(part);
  EXPECT_EQ(6u, part->GetSize());

  part->Unmap();
  EXPECT_FALSE(part->IsMapped());
  EXPECT_EQ(nullptr, part->GetData());
  EXPECT_TRUE(part->Map());
  EXPECT_EQ('m', part->GetData()[0]);
}

TEST(MemoryMappedFile, ReadWriteCreatesAndExtendsTheFileAndWritesReachIt) {
  zu_test::TempDir dir;
  const std::string path = dir / "rw";
  {
    zu::MemoryMappedFilePtr file = zu::factory::CreateMemoryMappedFile(path, true, 8);
    ASSERT_TRUE(file);
    ASSERT_EQ(8u, file->GetSize());
    EXPECT_EQ(0, file->GetData()[7]);
    file->GetData()[0] = 'A';
    file->GetData()[7] = 'Z';
    EXPECT_TRUE(file->Flush());
  }
  EXPECT_EQ(std::string("A\0\0\0\0\0\0Z", 8), Slurp(path));
}

TEST(MemoryMappedFile, EmptyFileMapsToNothingAndMissingFileFails) {
  zu_test::TempDir dir;
  const std::string empty = dir / "empty";
  std::ofstream(empty).close();
  zu::MemoryMappedFilePtr file = zu::factory::CreateMemoryMappedFile(empty, false, 0);
  ASSERT_TRUE(file);
  EXPECT_EQ(0u, file->GetSize());
  EXPECT_EQ(nullptr, file->GetData());

  zu_test::LogRecorder log;
  EXPECT_FALSE(zu::factory::CreateMemoryMappedFile(dir / "missing", false, 0));
  EXPECT_FALSE(zu::factory::CreateMemoryMappedFile(dir.Path(), false, 0));
  EXPECT_EQ(2u, log.CountContaining("Error mapping file"));
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "TempDir.h"
#include "base/File.h"

namespace {

using zu_test::TempDir;

void WriteFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fputs("x", f);
  std::fclose(f);
}

TEST(CreateDirRecursive, CreatesEveryMissingLevelAndAcceptsExistingOnes) {
  TempDir dir;
  ASSERT_FALSE(dir.Path().empty());
  const std::string deep = dir / "a/b/c";
  EXPECT_TRUE(zu::file::CreateDirRecursive(deep));
  EXPECT_TRUE(zu::file::IsDirectory(dir / "a"));
  EXPECT_TRUE(zu::file::IsDirectory(deep));
  // All there already: true without change.
  EXPECT_TRUE(zu::file::CreateDirRecursive(deep));
  // Unnormalised spellings reach the same directories.
  EXPECT_TRUE(zu::file::CreateDirRecursive(dir.Path() + "//a/./b/../b/c/d"));
  EXPECT_TRUE(zu::file::IsDirectory(deep + "/d"));
}

TEST(CreateDirRecursive, StopsAtAPlainFileAndCreatesNothingBelowIt) {
  TempDir dir;
  WriteFile(dir / "file");
  EXPECT_FALSE(zu::file::CreateDirRecursive(dir / "file/sub/deeper"));
  EXPECT_FALSE(zu::file::Exists(dir / "file/sub"));
  EXPECT_TRUE(zu::file::Exists(dir / "file"));
  EXPECT_FALSE(zu::file::IsDirectory(dir / "file"));
  // The file itself as the last component is no directory either.
  EXPECT_FALSE(zu::file::CreateDirRecursive(dir / "file"));
}

TEST(CreateDirRecursive, RejectsAnEmptyPath) {
  EXPECT_FALSE(zu::file::CreateDirRecursive(""));
  EXPECT_FALSE(zu::file::Exists(""));
  EXPECT_FALSE(zu::file::IsDirectory(""));
}

TEST(CreateDir, CreatesOneLevelOnly) {
  TempDir dir;
  EXPECT_FALSE(zu::file::CreateDir(dir / "x/y"));
  EXPECT_TRUE(zu::file::CreateDir(dir / "x"));
  EXPECT_FALSE(zu::file::CreateDir(dir / "x"));
  EXPECT_TRUE(zu::file::IsDirectory(dir / "x"));
}

}  // namespace

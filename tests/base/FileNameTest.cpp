#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/FileName.h"

namespace {

using namespace zu::file_name;

TEST(FileNameSimplify, NormalisesSeparatorsDotsAndDoubleDots) {
  EXPECT_EQ("a/b/c/e", Simplify("a\\b//c/./d/../e"));
  EXPECT_EQ("", Simplify(""));
  EXPECT_EQ("/usr/lib", Simplify("//usr///lib"));
  EXPECT_EQ("/a/c", Simplify("/a/./b/../c"));
  EXPECT_EQ("a/", Simplify("a/./"));
  // ".." removes only a real component before it; above the start of a relative path it stays.
  EXPECT_EQ("../x", Simplify("a/../../x"));
  EXPECT_EQ("/x", Simplify("/../x"));
  EXPECT_EQ("/", Simplify("/"));
}

TEST(FileNameJoin, AddsOneSeparatorOnly) {
  EXPECT_EQ("a/b", AddPaths("a/", "b"));
  EXPECT_EQ("a/b", AddPaths("a", "b"));
  EXPECT_EQ("b", AddPaths("", "b"));
  EXPECT_EQ("a", AddPaths("a", ""));
  EXPECT_EQ("/b", AddPaths("/", "b"));
  EXPECT_EQ("a/b", AddPaths("a/", "/b"));
  EXPECT_EQ("/home/u/epg/channel_1.zug", AddFileNameAndPath("/home//u/./epg", "channel_1.zug"));
  EXPECT_EQ("x/y", AddFileNameAndPath("x\\", "y"));
  EXPECT_EQ("b", AddFileNameAndPath("", "b"));
}

TEST(FileNameExtension, AddsAndFindsExtensionOfTheLastComponentOnly) {
  EXPECT_EQ("logo.png", AddFileNameAndExtension("logo", "png"));
  EXPECT_EQ("logo.png", AddFileNameAndExtension("logo.", "png"));
  EXPECT_EQ("logo", AddFileNameAndExtension("logo", ""));

  EXPECT_EQ("", GetExtension("dir.d/file"));
  EXPECT_EQ("png", GetExtension("a/b.c.png"));
  EXPECT_EQ("", GetExtension("plain"));
  EXPECT_EQ("", GetExtension("ends.with.dot."));
  EXPECT_EQ("gz", GetExtension("/tmp/x.tar.gz"));
  EXPECT_EQ("", GetExtension(""));
}

TEST(FileNameDirectories, AppendsNonEmptyComponentsOfTheNormalisedPath) {
  std::vector<std::string> out{"kept"};
  GetDirectoriesOfPath("/a//b/./c/../d/", out);
  EXPECT_EQ((std::vector<std::string>{"kept", "a", "b", "d"}), out);

  std::vector<std::string> none;
  GetDirectoriesOfPath("", none);
  GetDirectoriesOfPath("/", none);
  EXPECT_TRUE(none.empty());
}

}  // namespace

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "nivo/M3U.h"
#include "stream/Factory.h"

namespace {

using zu::nivo::M3UEntry;

std::vector<M3UEntry> Read(std::string text) {
  return zu::nivo::ReadM3U(zu::factory::CreateStringStream(text));
}

TEST(M3U, EntriesWithGroups) {
  const std::vector<M3UEntry> entries = Read(
      "#EXTM3U\n"
      "#EXTINF:-1,Before Any Group\n"
      "http://r/0\n"
      "##   Pop Stations  \n"
      "#EXTINF:-1 tvg-id=\"x\",Radio, One, Two\n"
      "\n"
      "\n"
      "http://r/1\n"
      "# a comment\n"
      "ignored line\n"
      "## Talk\n"
      "#EXTINF:-1,Trailing Space \n"
      "http://r/2");
  EXPECT_EQ((std::vector<M3UEntry>{{"Before Any Group", "http://r/0", ""},
                                   {"Radio, One, Two", "http://r/1", "Pop Stations"},
                                   {"Trailing Space ", "http://r/2", "Talk"}}),
            entries);
}

TEST(M3U, LineEndsAndMissingParts) {
  EXPECT_EQ(Read("#EXTINF:-1,A\nhttp://a\n#EXTINF:-1,B\nhttp://b\n"),
            Read("#EXTINF:-1,A\r\nhttp://a\r\n#EXTINF:-1,B\r\nhttp://b\r\n"));
  // No comma: the whole line is the name.
  EXPECT_EQ((std::vector<M3UEntry>{{"#EXTINF:-1", "u", ""}}), Read("#EXTINF:-1\nu"));
  // A title at the very end has no URL.
  EXPECT_EQ((std::vector<M3UEntry>{{"A", "http://a", ""}}),
            Read("#EXTINF:-1,A\nhttp://a\n#EXTINF:-1,B\n"));
  EXPECT_TRUE(Read("").empty());
  EXPECT_TRUE(Read("\n\r\n").empty());
  EXPECT_TRUE(zu::nivo::ReadM3U(zu::StreamPtr()).empty());
}

TEST(M3U, DirectiveIsNeverTakenForAUrl) {
  // The title without URL is dropped; the lines after it are read as usual.
  EXPECT_EQ(
      (std::vector<M3UEntry>{{"B", "http://b", ""}, {"C", "http://c", "G"}}),
      Read("#EXTINF:-1,A\n#EXTINF:-1,B\nhttp://b\n#EXTINF:-1,X\n## G\n#EXTINF:-1,C\nhttp://c"));
}

TEST(M3U, OptionLinesBetweenTitleAndUrlAreSkipped) {
  EXPECT_EQ((std::vector<M3UEntry>{{"A", "http://a", ""}, {"B", "http://b", ""}}),
            Read("#EXTINF:-1,A\n#EXTVLCOPT:http-user-agent=x\n\n#KODIPROP:y\nhttp://a\n"
                 "#EXTINF:-1,B\nhttp://b\n#EXTVLCOPT:z"));
}

TEST(M3U, APlaylistInASingleByteCodePageIsReadAsUtf8) {
  // Latin-1 and Windows-1252 bytes are re-encoded; UTF-8 in the same text stays as it is.
  const std::string text =
      "## Fr\xFChst\xFC"
      "ck \x96 Radio\n"
      "#EXTINF:-1,Sch\xF6n TV\nhttp://127.0.0.1/s\xE4\n"
      "#EXTINF:-1,Caf\xC3\xA9\nhttp://127.0.0.1/c\n";
  const std::vector<M3UEntry> expected = {{"Sch\xC3\xB6n TV", "http://127.0.0.1/s\xC3\xA4",
                                           "Fr\xC3\xBChst\xC3\xBC"
                                           "ck \xE2\x80\x93 Radio"},
                                          {"Caf\xC3\xA9", "http://127.0.0.1/c",
                                           "Fr\xC3\xBChst\xC3\xBC"
                                           "ck \xE2\x80\x93 Radio"}};
  EXPECT_EQ(expected, Read(text));
  EXPECT_EQ(expected, zu::nivo::ReadM3U(text));
}

TEST(M3U, ATextReadsAsTheSameTextThroughAStream) {
  // The reader of whole texts must find the lines a string stream with the ASCII codec finds:
  // runs of CR and LF, empty lines, a last line with or without its end, stray bytes.
  const char* const pieces[] = {"#EXTM3U",
                                "#EXTINF:-1,A",
                                "#EXTINF:-1 x,B, C",
                                "## G ",
                                "##",
                                "http://a/1",
                                "#EXTVLCOPT:o",
                                "# c",
                                "plain",
                                " ",
                                "\r",
                                "\n",
                                "\r\n",
                                "\n\n",
                                "#EXTINF:",
                                "\t"};
  std::mt19937 random(8080);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 24);
    for (int i = 0; i < count; ++i) {
      text += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
      if (random() % 3 != 0)
        text += random() % 4 == 0 ? "\r\n" : "\n";
    }
    if (random() % 10 == 0)
      text += std::string(1, '\0');
    std::string copy = text;
    ASSERT_EQ(zu::nivo::ReadM3U(zu::factory::CreateStringStream(copy)), zu::nivo::ReadM3U(text))
        << text;
  }
}

}  // namespace

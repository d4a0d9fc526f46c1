// Filling of the host's records: texts that do not fit a field, the zeroed remainder, and the
// conversion of show times.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "addon/PvrRecords.h"

namespace {

using boost::posix_time::ptime;
using boost::posix_time::time_from_string;
using zu::nivo::Channel;
using zu::nivo::CopyToField;
using zu::nivo::TVShow;
using zu::nivo::Utf8PrefixLength;

// Repeats a character (one to four bytes of UTF-8) until text has at least bytes bytes.
std::string Repeat(const std::string& character, size_t bytes) {
  std::string text;
  while (text.size() < bytes)
    text += character;
  return text;
}

// The field holds a terminated text that is a prefix of text and ends on a character
// boundary of it.
void ExpectCleanCut(const char* field, size_t size, const std::string& text) {
  const size_t length = strnlen(field, size);
  ASSERT_LT(length, size) << "unterminated field";
  EXPECT_EQ(0, memcmp(field, text.data(), length));
  if (length < text.size()) {
    EXPECT_NE(0x80, static_cast<unsigned char>(text[length]) & 0xC0) << "cut inside a character";
  }
  EXPECT_GE(length + 4, size - 1) << "cut further than one character";
}

TEST(PvrRecordsTest, TextsThatFitAreCopiedWhole) {
  char field[8];
  memset(field, 'x', sizeof(field));
  CopyToField(field, "1234567");
  EXPECT_STREQ("1234567", field);
  CopyToField(field, "");
  EXPECT_STREQ("", field);
  CopyToField(field, "12345678");
  EXPECT_STREQ("1234567", field);
}

TEST(PvrRecordsTest, LongTextsAreCutOnACharacterBoundaryForEverySequenceLength) {
  for (const std::string character : {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x93\xBA"}) {
    for (size_t shift = 0; shift < 4; ++shift) {
      const std::string text = std::string(shift, 'a') + Repeat(character, 2000);
      char field[1024];
      memset(field, 'x', sizeof(field));
      CopyToField(field, text);
      ExpectCleanCut(field, sizeof(field), text);
    }
  }
}

TEST(PvrRecordsTest, TextThatIsNotUtf8IsReEncodedThenCutToFit) {
  const std::string garbage(2000, '\x80');
  EXPECT_EQ(1023u, Utf8PrefixLength(garbage, 1023));
  // Windows-1252 0x80 is the euro sign, three bytes of UTF-8.
  char field[1024];
  CopyToField(field, garbage);
  EXPECT_EQ(Repeat("\xE2\x82\xAC", 1023), field);
  char name[16];
  CopyToField(name, "Sch\xF6n TV");
  EXPECT_STREQ("Sch\xC3\xB6n TV", name);
}

TEST(PvrRecordsTest, AChannelRecordCarriesTheChannelAndNothingElse) {
  Channel channel;
  channel.uid = 4711;
  channel.number = 12;
  channel.isRadio = true;
  channel.name = Repeat("\xC3\xA9", 2000);
  channel.streamUrl = "http://127.0.0.1/" + Repeat("u", 2000);
  PVR_CHANNEL record;
  memset(&record, 0x5A, sizeof(record));
  zu::nivo::FillChannel(record, channel, "/logos/x.png");
  EXPECT_EQ(4711u, record.iUniqueId);
  EXPECT_TRUE(record.bIsRadio);
  EXPECT_EQ(12u, record.iChannelNumber);
  EXPECT_EQ(0u, record.iSubChannelNumber);
  EXPECT_EQ(0u, record.iEncryptionSystem);
  EXPECT_FALSE(record.bIsHidden);
  EXPECT_STREQ("", record.strInputFormat);
  EXPECT_STREQ("/logos/x.png", record.strIconPath);
  ExpectCleanCut(record.strChannelName, sizeof(record.strChannelName), channel.name);
  ExpectCleanCut(record.strStreamURL, sizeof(record.strStreamURL), channel.streamUrl);
}

TEST(PvrRecordsTest, GroupAndMemberRecordsCutLongNames) {
  const std::string name = "x" + Repeat("\xE2\x82\xAC", 2000);
  PVR_CHANNEL_GROUP group;
  memset(&group, 0x5A, sizeof(group));
  zu::nivo::FillChannelGroup(group, name, true);
  ExpectCleanCut(group.strGroupName, sizeof(group.strGroupName), name);
  EXPECT_TRUE(group.bIsRadio);
  EXPECT_EQ(0u, group.iPosition);

  PVR_CHANNEL_GROUP_MEMBER member;
  memset(&member, 0x5A, sizeof(member));
  zu::nivo::FillChannelGroupMember(member, name, 7, 8);
  ExpectCleanCut(member.strGroupName, sizeof(member.strGroupName), name);
  EXPECT_EQ(7u, member.iChannelUniqueId);
  EXPECT_EQ(8u, member.iChannelNumber);
}

class ShowTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* zone = getenv("TZ");
    hadZone_ = zone != nullptr;
    if (hadZone_)
      savedZone_ = zone;
  }
  void TearDown() override {
    if (hadZone_)
      setenv("TZ", savedZone_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  void UseZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  bool hadZone_ = false;
  std::string savedZone_;
};

TEST_F(ShowTimeTest, ShowTimesAreReadAsLocalTimeWithDaylightSavingDecidedByTheCLibrary) {
  UseZone("UTC");
  EXPECT_EQ(1796578331, zu::nivo::ToHostTime(time_from_string("2026-12-06 17:32:11")));
  UseZone("CET-1CEST,M3.5.0,M10.5.0/3");
  // Winter: one hour ahead of UTC; summer: two.
  EXPECT_EQ(1796578331 - 3600, zu::nivo::ToHostTime(time_from_string("2026-12-06 17:32:11")));
  EXPECT_EQ(1782907200 - 7200, zu::nivo::ToHostTime(time_from_string("2026-07-01 12:00:00")));
}

TEST_F(ShowTimeTest, AGuideEntryPointsIntoTheShowAndMarksTheGenreAsText) {
  UseZone("UTC");
  TVShow show;
  show.id = 99;
  show.title = "News";
  show.subTitle = "Evening";
  show.description = "What happened";
  show.year = 2026;
  show.image = "http://127.0.0.1/i.jpg";
  show.AddGenre("Info");
  show.start = time_from_string("2026-12-06 17:32:11");
  show.end = time_from_string("2026-12-06 18:32:11");
  EPG_TAG tag;
  memset(&tag, 0x5A, sizeof(tag));
  zu::nivo::EpgTagTexts texts;
  zu::nivo::FillEpgTag(tag, show, 3, texts);
  EXPECT_EQ(99u, tag.iUniqueBroadcastId);
  EXPECT_EQ(show.title.c_str(), tag.strTitle);
  EXPECT_EQ(3u, tag.iChannelNumber);
  EXPECT_EQ(1796578331, tag.startTime);
  EXPECT_EQ(1796578331 + 3600, tag.endTime);
  EXPECT_STREQ("Evening", tag.strPlotOutline);
  EXPECT_STREQ("What happened", tag.strPlot);
  EXPECT_EQ(2026, tag.iYear);
  EXPECT_STREQ("http://127.0.0.1/i.jpg", tag.strIconPath);
  EXPECT_EQ(EPG_GENRE_USE_STRING, tag.iGenreType);
  EXPECT_EQ(0, tag.iGenreSubType);
  EXPECT_STREQ("Info", tag.strGenreDescription);
  EXPECT_EQ(nullptr, tag.strOriginalTitle);
  EXPECT_EQ(nullptr, tag.strCast);
  EXPECT_EQ(nullptr, tag.strEpisodeName);
  EXPECT_EQ(0, tag.firstAired);
  EXPECT_FALSE(tag.bNotify);
  EXPECT_EQ(0u, tag.iFlags);
}

TEST_F(ShowTimeTest, AGuideEntryGetsShowTextsThatAreNotUtf8ReEncoded) {
  TVShow show;
  show.title = "Caf\xE9";
  show.description = "Plain";
  EPG_TAG tag;
  zu::nivo::EpgTagTexts texts;
  zu::nivo::FillEpgTag(tag, show, 1, texts);
  EXPECT_STREQ("Caf\xC3\xA9", tag.strTitle);
  EXPECT_EQ(show.description.c_str(), tag.strPlot);
  EXPECT_EQ("Caf\xE9", show.title);
}

TEST_F(ShowTimeTest, AShowWithoutTimesGivesZeroInsteadOfFailing) {
  TVShow show;
  EPG_TAG tag;
  zu::nivo::EpgTagTexts texts;
  zu::nivo::FillEpgTag(tag, show, 1, texts);
  EXPECT_EQ(0, tag.startTime);
  EXPECT_EQ(0, tag.endTime);
}

}  // namespace

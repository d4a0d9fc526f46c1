// Show texts as real services send them: raw control characters and Latin-1 bytes inside the
// strings of show lists and details documents.

#include <string>
#include <vector>

#include "GuideFixture.h"

namespace guide_test {
namespace {

// The document with "<TAB>", "<SOH>" and "<F6>" put in as the raw bytes.
std::string Raw(std::string text) {
  const std::pair<const char*, const char*> bytes[] = {
      {"<TAB>", "\t"}, {"<SOH>", "\x01"}, {"<F6>", "\xF6"}};
  for (const auto& byte : bytes) {
    for (size_t at = text.find(byte.first); at != std::string::npos; at = text.find(byte.first))
      text.replace(at, std::string(byte.first).size(), byte.second);
  }
  return text;
}

TEST_F(GuideCoreTest, ControlCharactersAndLatin1InShowTextsReachTheHost) {
  AddChannel(1, "Erstes", 101);
  AddChannel(10000, "Radio", 10000, true);
  options.epgUpdateWait = zu::Time::Zero();
  const time_t now = time(nullptr);
  const time_t hour = now - now % 3600;
  const std::vector<ShowSpec> shows = {{21, hour + 3600, hour + 7200, "News<TAB>Night<SOH>"},
                                       {22, hour + 7200, hour + 10800, "Caf<F6>"}};
  provider.SetHandler([shows](const std::string& target) {
    ScriptedProvider::Response response;
    if (target.rfind(kShowListPrefix, 0) == 0)
      response.body = Raw(ShowListBody(1, shows));
    else
      response.body = Raw(DetailsBody("Late<TAB>Show " + std::to_string(DetailsId(target))));
    return response;
  });

  std::vector<RecordingHost::Entry> entries = RequestGuide(1, hour, hour + 4 * 3600);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("News\tNight\x01", entries[0].show.title);
  EXPECT_EQ("Caf\xC3\xB6", entries[1].show.title);

  // The details pass reads both shows and goes on past them.
  EnterDetailedMode();
  entries = RequestGuide(1, hour, hour + 4 * 3600);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("Late\tShow 21", entries[0].show.title);
  EXPECT_EQ("About Late\tShow 22", entries[1].show.description);
  EXPECT_TRUE(entries[1].show.detailsRead);
  EXPECT_EQ(0u, host.CountLines("", zu::nivo::Host::LogError));
}

}  // namespace
}  // namespace guide_test

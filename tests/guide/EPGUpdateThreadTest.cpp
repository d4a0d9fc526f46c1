// The guide update thread: when it starts, what it does after its quiet period, and that the
// shutdown ends its wait at once.

#include <chrono>
#include <future>

#include "GuideFixture.h"

namespace guide_test {
namespace {

class EPGUpdateThreadTest : public GuideCoreTest {
 protected:
  void SetUp() override {
    GuideCoreTest::SetUp();
    AddChannel(1, "Erstes", 1);
    AddChannel(2, "Zweites", 2);
    AddChannel(10000, "Radio", 10000, true);
    Serve({});
  }
  // A guide request that fetches nothing (an empty window).
  void Request(unsigned int uid) { RequestGuide(uid, Utc(2016, 1, 31, 6), Utc(2016, 1, 31, 6)); }
  // Shuts the client down on another thread; false when that does not end within the bound.
  bool DeInitEnds() {
    std::future<void> done = std::async(std::launch::async, [this] { Core().DeInit(); });
    return done.wait_for(kBound) == std::future_status::ready;
  }
  // How often the switch to detailed mode was shown to the user.
  size_t Shown() const { return host.CountNotes(kDetailedModeNote); }
};

// The thread, waiting for no time, shows itself at once once it runs.
TEST_F(EPGUpdateThreadTest, TheRequestThatCompletesTheFirstRoundStartsTheThreadOnce) {
  options.epgUpdateWait = zu::Time::Zero();
  Request(1);
  EXPECT_FALSE(Update(4242, 0, 0));  // unknown: not counted
  Request(1);
  EXPECT_EQ(0u, Shown());
  // Every request counts, also those naming a channel already asked for.
  Request(1);
  ASSERT_TRUE(host.WaitFor([this] { return host.Triggers().size() >= 3; }));
  Request(10000);
  ASSERT_TRUE(DeInitEnds());
  EXPECT_EQ(1u, Shown());
  EXPECT_EQ((std::vector<unsigned int>{1, 2, 10000}), host.Triggers());
}

TEST_F(EPGUpdateThreadTest, AfterItsQuietPeriodItSwitchesToDetailedModeAndTriggersEveryChannel) {
  options.epgUpdateWait = zu::Time::FromMilliSeconds(20);
  Request(2);
  Request(10000);
  Request(1);
  ASSERT_TRUE(host.WaitFor([this] { return host.Triggers().size() >= 3; }));
  ASSERT_TRUE(DeInitEnds());
  // One pass, in ascending id order, radio channels included.
  EXPECT_EQ((std::vector<unsigned int>{1, 2, 10000}), host.Triggers());
  ASSERT_EQ(1u, Shown());
  for (const RecordingHost::Note& note : host.Notes()) {
    if (note.text == kDetailedModeNote) {
      EXPECT_EQ(zu::nivo::Host::NotifyInfo, note.kind);
    }
  }
  EXPECT_EQ(0u, host.CountLines(kDetailedModeNote));
}

TEST_F(EPGUpdateThreadTest, TheShutdownEndsItsWaitAtOnce) {
  options.epgUpdateWait = zu::Time::FromSeconds(3600);
  Request(1);
  Request(2);
  Request(10000);
  ASSERT_TRUE(DeInitEnds());
  EXPECT_TRUE(host.Triggers().empty());
  EXPECT_TRUE(host.Notes().empty());
}

TEST_F(EPGUpdateThreadTest, NoThreadIsStartedOnceTheShutdownHasBegun) {
  options.epgUpdateWait = zu::Time::Zero();
  Request(1);
  Request(2);
  ASSERT_TRUE(DeInitEnds());
  // The request that would complete the round is refused and starts nothing.
  EXPECT_FALSE(Update(10000, 0, 0));
  EXPECT_EQ(0u, Shown());
  EXPECT_TRUE(host.Triggers().empty());
}

}  // namespace
}  // namespace guide_test

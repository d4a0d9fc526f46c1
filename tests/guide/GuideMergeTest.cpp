// The merge of the shows a guide request fetched into the shows the channel's guide kept.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <boost/date_time/posix_time/posix_time.hpp>

#include "nivo/GuideMerge.h"

namespace {

using boost::posix_time::hours;
using boost::posix_time::minutes;
using boost::posix_time::ptime;
using boost::posix_time::time_from_string;
using zu::nivo::MergeShows;
using zu::nivo::TVShow;
using zu::nivo::TVShows;

const ptime kSix = time_from_string("2016-01-31 06:00:00");

TVShow Show(unsigned int id, const ptime& start, const ptime& end, const std::string& title) {
  TVShow show;
  show.id = id;
  show.start = start;
  show.end = end;
  show.title = title;
  return show;
}

TVShow Detailed(TVShow show) {
  show.title += " (details)";
  show.description = "About " + show.title;
  show.persons = {{"Host", "Someone"}};
  show.detailsRead = true;
  return show;
}

std::vector<std::string> Titles(const std::vector<TVShow*>& shows) {
  std::vector<std::string> titles;
  for (const TVShow* show : shows)
    titles.push_back(show->title);
  return titles;
}

TEST(MergeShows, AShowDeliveredAgainTakesTheKeptOnesPlaceAndKeepsItsDetailsWhileItsTimesHold) {
  TVShows stored = {
      Show(9, kSix - hours(2), kSix - hours(1), "Over"),
      Detailed(Show(1, kSix, kSix + hours(1), "Same")),
      Detailed(Show(2, kSix + hours(1), kSix + hours(2), "Moved")),
      Show(3, kSix + hours(2), kSix + hours(3), "Plain"),
      Show(0, kSix + hours(3), kSix + hours(4), "No id"),
  };
  TVShows fetched = {
      // First piece.
      Show(1, kSix, kSix + hours(1), "Same, new title"),
      Show(2, kSix + hours(1), kSix + hours(2), "Moved"),
      Show(3, kSix + hours(2), kSix + hours(3) + minutes(10), "Plain, overrunning"),
      Show(0, kSix + hours(3), kSix + hours(4), "No id, new title"),
      Show(4, kSix + hours(4), kSix + hours(5), "New"),
      // Second piece: the provider's latest word for show 2, which now ends the guide, and
      // show 4 again.
      Show(2, kSix + hours(5), kSix + hours(6), "Moved later"),
      Show(4, kSix + hours(4), kSix + hours(5), "New, again"),
  };
  const TVShows storedBefore = stored;
  const TVShows fetchedBefore = fetched;

  const std::vector<TVShow*> merged = MergeShows(stored, kSix, fetched);
  EXPECT_EQ((std::vector<std::string>{"Same (details)", "Plain, overrunning", "No id, new title",
                                      "New, again", "Moved later"}),
            Titles(merged));
  ASSERT_EQ(5u, merged.size());
  // Same times: the details carry over, and are not read again.
  EXPECT_EQ(&stored[1], merged[0]);
  // A show that moved is the provider's: without details, which are read again.
  EXPECT_FALSE(merged[4]->detailsRead);
  EXPECT_EQ("", merged[4]->description);
  EXPECT_EQ(kSix + hours(3) + minutes(10), merged[1]->end);
  EXPECT_EQ(storedBefore, stored);
  EXPECT_EQ(fetchedBefore, fetched);
}

TEST(MergeShows, ShowsWithoutAnIdAreToldApartByTheirStart) {
  TVShows stored = {Show(0, kSix, kSix + hours(1), "Kept"), Show(0, kSix, kSix + hours(1), "Twin")};
  TVShows fetched;
  for (int i = 0; i < 6; ++i)
    fetched.push_back(Show(0, kSix + hours(i), kSix + hours(i + 1), "Show " + std::to_string(i)));
  fetched.push_back(Show(0, kSix + hours(2), kSix + hours(3), "Show 2, again"));
  EXPECT_EQ(
      (std::vector<std::string>{"Show 0", "Show 1", "Show 2, again", "Show 3", "Show 4", "Show 5"}),
      Titles(MergeShows(stored, kSix, fetched)));

  TVShows none;
  EXPECT_EQ((std::vector<std::string>{"Kept"}), Titles(MergeShows(stored, kSix, none)));
}

TEST(MergeShows, KeptShowsEndingBeforeTheWindowOrWithoutPlainTimesAreLeftOut) {
  TVShows stored = {
      Show(1, kSix - hours(1), kSix, "Ends at the window start"),
      Show(2, kSix - hours(1), kSix - minutes(1), "Ended before"),
      Show(3, ptime(), kSix + hours(1), "No start"),
      Show(4, kSix, ptime(), "No end"),
  };
  TVShows fetched;
  EXPECT_EQ((std::vector<std::string>{"Ends at the window start"}),
            Titles(MergeShows(stored, kSix, fetched)));
}

}  // namespace

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "provider/Catalogue.h"
#include "provider/CivilTime.h"
#include "provider/Guide.h"

namespace {

using namespace zu::provider;

class GuideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(Catalogue::Load(Catalogue::SourceDirectory(), catalogue_, error)) << error;
  }
  const Station& ByName(const std::string& name) const {
    for (const Station& station : catalogue_.Stations()) {
      if (station.name == name) {
        return station;
      }
    }
    throw std::runtime_error("no station " + name);
  }

  Catalogue catalogue_;
  const std::int64_t monday_ = DaysFromCivil(2016, 2, 1);
};

TEST(CivilTime, CalendarArithmeticAndFormsRoundTrip) {
  EXPECT_EQ(0, DaysFromCivil(1970, 1, 1));
  EXPECT_EQ(16861, DaysFromCivil(2016, 3, 1));
  int year;
  unsigned month, day;
  CivilFromDays(DaysFromCivil(2016, 2, 29), year, month, day);
  EXPECT_EQ(2016, year);
  EXPECT_EQ(2u, month);
  EXPECT_EQ(29u, day);
  EXPECT_EQ("2016-01-31T20:15:00", FormatExtended(MakeCivil(2016, 1, 31, 20, 15)));
  EXPECT_EQ("20160131T060000", FormatBasic(MakeCivil(2016, 1, 31, 6)));
}

TEST(CivilTime, PeriodsAreParsedStrictly) {
  Period period;
  std::string error;
  ASSERT_TRUE(ParsePeriod("20160131T060000/24H", 240, period, error)) << error;
  EXPECT_EQ(MakeCivil(2016, 1, 31, 6), period.start);
  EXPECT_EQ(24u, period.hours);
  EXPECT_FALSE(period.startHasFraction);
  ASSERT_TRUE(ParsePeriod("20160131T060000.250000/1H", 240, period, error)) << error;
  EXPECT_TRUE(period.startHasFraction);
  for (const char* bad : {"", "2016013T060000/24H", "20161331T060000/24H", "20160230T060000/24H",
                          "20160131T246000/24H", "20160131T060000/0H", "20160131T060000/241H",
                          "20160131T060000/24", "20160131T060000-24H", "20160131T060000/H",
                          "20160131T060000./1H", "20160131 060000/1H", "20160131T060000/1H&x"}) {
    EXPECT_FALSE(ParsePeriod(bad, 240, period, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST_F(GuideTest, EveryDayIsFilledWithoutGapsAndIdsLeadBackToTheirShows) {
  Guide guide(catalogue_);
  for (const Station& station : catalogue_.Stations()) {
    std::set<std::uint32_t> ids;
    for (std::int64_t day = monday_; day < monday_ + 7; ++day) {
      std::vector<Show> shows = guide.Day(station, day);
      ASSERT_FALSE(shows.empty()) << station.name;
      EXPECT_EQ(day * kSecondsPerDay + 5 * 3600, shows.front().start) << station.name;
      EXPECT_EQ((day + 1) * kSecondsPerDay + 5 * 3600, shows.back().end) << station.name;
      for (std::size_t i = 0; i < shows.size(); ++i) {
        const Show& show = shows[i];
        EXPECT_GE(show.end - show.start, 5 * 60) << station.name << " " << show.title;
        EXPECT_LE(show.end - show.start, 3 * 3600) << station.name << " " << show.title;
        if (i > 0) {
          EXPECT_EQ(shows[i - 1].end, show.start) << station.name;
        }
        EXPECT_TRUE(ids.insert(show.id).second) << show.id;
        Show found;
        const Station* owner = nullptr;
        ASSERT_TRUE(guide.Find(show.id, found, owner));
        EXPECT_EQ(&station, owner);
        EXPECT_EQ(show.start, found.start);
        EXPECT_EQ(show.title, found.title);
        EXPECT_EQ(show.subTitle, found.subTitle);
      }
    }
  }
}

TEST_F(GuideTest, GuideIsTheSameForEveryInstanceAndCall) {
  Guide first(catalogue_);
  Guide second(catalogue_);
  const Station& station = catalogue_.Stations()[3];
  std::vector<Show> a = first.Day(station, monday_ + 2);
  std::vector<Show> b = second.Day(station, monday_ + 2);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].id, b[i].id);
    EXPECT_EQ(a[i].start, b[i].start);
    EXPECT_EQ(a[i].title, b[i].title);
    EXPECT_EQ(first.Details(station, a[i]).description, second.Details(station, b[i]).description);
  }
  // Neighbouring stations and days differ.
  EXPECT_NE(first.Day(catalogue_.Stations()[0], monday_)[3].title + "|" +
                first.Day(catalogue_.Stations()[0], monday_)[4].title,
            first.Day(catalogue_.Stations()[0], monday_ + 1)[3].title + "|" +
                first.Day(catalogue_.Stations()[0], monday_ + 1)[4].title);
}

TEST_F(GuideTest, PeriodsTakeEveryShowThatOverlapsAndNoOther) {
  Guide guide(catalogue_);
  const Station& station = ByName("Erstes Programm");
  std::vector<Show> day = guide.Day(station, monday_);
  const Show& show = day[10];
  auto select = [&](CivilSeconds start, unsigned hours, bool fraction) {
    Period period;
    period.start = start;
    period.hours = hours;
    period.startHasFraction = fraction;
    return guide.Overlapping(station, period);
  };
  // Starting exactly where a show ends leaves that show out; a second earlier takes it in.
  EXPECT_EQ(day[11].id, select(show.end, 1, false).front().id);
  EXPECT_EQ(show.id, select(show.end - 1, 1, false).front().id);
  // A period that ends where a show starts leaves it out, unless the start has a fraction
  // of a second (the period then reaches a little past that point).
  std::vector<Show> before = select(show.start - 3600, 1, false);
  EXPECT_EQ(day[9].id, before.back().id);
  EXPECT_EQ(show.id, select(show.start - 3600, 1, true).back().id);
  // Across the 05:00 day boundary and over several days the pieces join up.
  std::vector<Show> span = select(MakeCivil(2016, 2, 1, 3, 0), 72, false);
  for (std::size_t i = 1; i < span.size(); ++i) {
    EXPECT_EQ(span[i - 1].end, span[i].start);
  }
  EXPECT_LE(span.front().start, MakeCivil(2016, 2, 1, 3));
  EXPECT_GE(span.back().end, MakeCivil(2016, 2, 4, 3));
}

TEST_F(GuideTest, AWeekLooksLikeARealGuide) {
  Guide guide(catalogue_);
  std::set<std::string> types;
  std::map<std::string, std::size_t> entities;
  std::size_t newsAtEight = 0, generalDays = 0, personsSeen = 0;
  for (const Station& station : catalogue_.Stations()) {
    for (std::int64_t day = monday_; day < monday_ + 7; ++day) {
      std::vector<Show> shows = guide.Day(station, day);
      if (station.profile == Profile::kGeneral) {
        ++generalDays;
      }
      for (const Show& show : shows) {
        types.insert(show.type);
        for (const char* entity : {"&amp;", "&#39;", "&#8217;"}) {
          if (show.title.find(entity) != std::string::npos) {
            ++entities[entity];
          }
        }
        if (station.profile == Profile::kGeneral && show.title == "Die Nachrichten" &&
            show.start == day * kSecondsPerDay + 20 * 3600) {
          ++newsAtEight;
        }
        personsSeen += guide.Details(station, show).persons.empty() ? 0 : 1;
      }
    }
  }
  for (const char* type : {"Nachrichten", "Spielfilm", "Serie", "Sport", "Dokumentation", "Kinder",
                           "Musik", "Magazin"}) {
    EXPECT_EQ(1u, types.count(type)) << type;
  }
  EXPECT_GT(entities["&amp;"], 0u);
  EXPECT_GT(entities["&#39;"], 0u);
  EXPECT_GT(entities["&#8217;"], 0u);
  EXPECT_EQ(generalDays, newsAtEight);  // the main news at eight, every day
  EXPECT_GT(personsSeen, 0u);
}

TEST_F(GuideTest, DaysOutsideTheIdRangeAndForeignIdsHaveNoShows) {
  Guide guide(catalogue_);
  const Station& station = catalogue_.Stations()[0];
  EXPECT_TRUE(guide.Day(station, Guide::FirstDay() - 1).empty());
  EXPECT_FALSE(guide.Day(station, Guide::FirstDay()).empty());
  EXPECT_FALSE(guide.Day(station, Guide::LastDay()).empty());
  EXPECT_TRUE(guide.Day(station, Guide::LastDay() + 1).empty());
  Show show;
  const Station* owner = nullptr;
  EXPECT_FALSE(guide.Find(0, show, owner));                             // ordinal 0
  EXPECT_FALSE(guide.Find(2047u << 21, show, owner));                   // no such station
  EXPECT_FALSE(guide.Find((1u << 21) | (5u << 8) | 255, show, owner));  // no 256th show
  EXPECT_EQ(nullptr, owner);
}

}  // namespace

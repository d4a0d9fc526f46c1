#include <gtest/gtest.h>

#include <set>

#include "provider/Catalogue.h"

namespace {

using zu::provider::Catalogue;
using zu::provider::Station;

Catalogue Sample() {
  Catalogue catalogue;
  std::string error;
  EXPECT_TRUE(Catalogue::Load(Catalogue::SourceDirectory(), catalogue, error)) << error;
  return catalogue;
}

TEST(Catalogue, SampleHoldsDistinctStationsSpreadOverThePlaylists) {
  Catalogue catalogue = Sample();
  const std::vector<Station>& stations = catalogue.Stations();
  ASSERT_GE(stations.size(), 35u);
  std::set<std::uint32_t> uids, numbers;
  std::set<std::string> names, logos;
  std::size_t ftaOnly = 0, plusOnly = 0, both = 0;
  for (const Station& station : stations) {
    uids.insert(station.uid);
    numbers.insert(station.number);
    names.insert(station.name);
    logos.insert(station.logoFile);
    ftaOnly += station.inFta && !station.inPlus;
    plusOnly += station.inPlus && !station.inFta;
    both += station.inFta && station.inPlus;
    EXPECT_FALSE(station.channelGroup.empty()) << station.name;
    EXPECT_FALSE(station.flags.empty()) << station.name;
    EXPECT_FALSE(station.products.empty()) << station.name;
    EXPECT_EQ(&station, catalogue.FindByUid(station.uid));
    EXPECT_EQ(&station, catalogue.ByOrdinal(catalogue.OrdinalOf(station)));
  }
  EXPECT_EQ(stations.size(), uids.size());
  EXPECT_EQ(stations.size(), numbers.size());
  EXPECT_EQ(stations.size(), names.size());
  EXPECT_EQ(stations.size(), logos.size());
  EXPECT_GT(ftaOnly, 0u);
  EXPECT_GT(plusOnly, 0u);
  EXPECT_GT(both, 0u);
  // Names that trip up careless playlist readers: a comma, an ampersand, non-ASCII letters.
  EXPECT_EQ(1u, names.count("Motor, Speed & Racing"));
  EXPECT_EQ(1u, names.count("T\xC3\xA9l\xC3\xA9 Monde"));
  EXPECT_FALSE(catalogue.PlaylistOnly().empty());
}

TEST(Catalogue, BrokenCatalogueIsRefusedWithTheEntryNamedAndNothingChanged) {
  Catalogue catalogue = Sample();
  std::size_t before = catalogue.Stations().size();
  const std::string good =
      R"({"uid": 5, "number": 5, "name": "Five", "channel": "G", "flags": ["HD"],)"
      R"( "products": ["Basis"], "logo": "five.png", "colour": "#102030",)"
      R"( "profile": "news", "playlists": ["fta"]})";
  struct Case {
    std::string text;
    std::string expected;  // part of the error message
  };
  const Case cases[] = {
      {"{\"stations\": [", "parse error"},
      {"[]", "object"},
      {"{\"stations\": []}", "non-empty"},
      {"{\"stations\": [" + good + ", " + good + "]}", "repeats uid"},
      {R"({"stations": [{"uid": 6, "number": 6, "name": "Six"}]})", "station #1 ('Six')"},
      {R"({"stations": [{"uid": "6", "number": 6, "name": "Six"}]})", "\"uid\""},
      {"{\"stations\": [" + std::string(good).replace(good.find("five.png"), 8, "../x.png") + "]}",
       "plain file name"},
      {"{\"stations\": [" + std::string(good).replace(good.find("news"), 4, "opera") + "]}",
       "unknown profile"},
      {"{\"stations\": [" + std::string(good).replace(good.find("\"fta\""), 5, "\"pay\"") + "]}",
       "unknown playlist"},
      {"{\"stations\": [" + std::string(good).replace(good.find("Five"), 4, "Five ") + "]}",
       "outer spaces"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Catalogue::Parse(c.text, catalogue, error)) << c.text;
    EXPECT_NE(std::string::npos, error.find(c.expected)) << c.text << " -> " << error;
    EXPECT_EQ(before, catalogue.Stations().size());
  }
  std::string error;
  EXPECT_FALSE(Catalogue::Load("/nonexistent/catalogue/dir", catalogue, error));
  EXPECT_NE(std::string::npos, error.find("/nonexistent/catalogue/dir/catalogue.json"));
  EXPECT_EQ(before, catalogue.Stations().size());
}

TEST(Catalogue, GeneratedCatalogueSpreadsAThousandStationsOverThePlaylists) {
  Catalogue catalogue;
  std::string error;
  ASSERT_TRUE(Catalogue::Generate(1000, 12, catalogue, error)) << error;
  ASSERT_EQ(1000u, catalogue.Stations().size());
  EXPECT_EQ(12u, catalogue.Radio().size());
  std::size_t fta = 0, plus = 0, both = 0;
  std::set<std::string> names;
  for (const Station& station : catalogue.Stations()) {
    fta += station.inFta;
    plus += station.inPlus;
    both += station.inFta && station.inPlus;
    names.insert(station.name);
    EXPECT_TRUE(station.inFta || station.inPlus) << station.name;
  }
  EXPECT_EQ(1000u, names.size());
  EXPECT_NEAR(667.0, static_cast<double>(fta), 2.0);
  EXPECT_NEAR(667.0, static_cast<double>(plus), 2.0);
  EXPECT_NEAR(333.0, static_cast<double>(both), 2.0);

  EXPECT_FALSE(Catalogue::Generate(Catalogue::kMaxStations + 1, 0, catalogue, error));
  EXPECT_FALSE(Catalogue::Generate(0, 0, catalogue, error));
  EXPECT_EQ(1000u, catalogue.Stations().size());
}

}  // namespace

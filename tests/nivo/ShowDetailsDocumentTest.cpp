#include <gtest/gtest.h>

#include <string>

#include "nivo/Json.h"
#include "nivo/ShowDetailsDocument.h"
#include "nivo/ShowTexts.h"

namespace {

using zu::nivo::DecodeEntities;
using zu::nivo::JsonError;
using zu::nivo::JsonSyntaxError;
using zu::nivo::ParseShowDetails;
using zu::nivo::TVShow;

using Persons = std::vector<std::pair<std::string, std::string>>;

TEST(AddGenre, KeepsTheJoinedTextInSetOrder) {
  TVShow show;
  show.AddGenre("Movie");
  show.AddGenre("Drama");
  EXPECT_EQ("Drama/Movie", show.genreText);
  show.AddGenre("Drama");
  EXPECT_EQ("Drama/Movie", show.genreText);
  EXPECT_EQ(2u, show.genres.size());
  TVShow drama;
  drama.AddGenre("Drama");
  drama.AddGenre("");
  EXPECT_EQ("/Drama", drama.genreText);
  TVShow empty;
  empty.AddGenre("");
  EXPECT_EQ("", empty.genreText);
  EXPECT_EQ(1u, empty.genres.size());
}

TEST(DecodeEntities, NamedAndNumericReferences) {
  EXPECT_EQ("Salt & Pepper", DecodeEntities("Salt &amp; Pepper"));
  EXPECT_EQ("<a> \"q\" 'x'", DecodeEntities("&lt;a&gt; &quot;q&quot; &apos;x&apos;"));
  EXPECT_EQ("A'B", DecodeEntities("A&#039;B"));
  EXPECT_EQ("A'B", DecodeEntities("A&#39;B"));
  EXPECT_EQ("AB", DecodeEntities("&#65;B"));
  EXPECT_EQ("Q&A", DecodeEntities("Q&A"));
  EXPECT_EQ("end &", DecodeEntities("end &"));
  EXPECT_EQ("&nbsp;&copy;", DecodeEntities("&nbsp;&copy;"));
  EXPECT_EQ("&amp;", DecodeEntities("&amp;amp;"));
  // Up to the end of the text, the ";" may be missing.
  EXPECT_EQ(std::string("ab\x0c"), DecodeEntities("ab&#12"));
  // Beyond ASCII: UTF-8.
  EXPECT_EQ("It\xe2\x80\x99s", DecodeEntities("It&#8217;s"));
  EXPECT_EQ("\xc3\xa9", DecodeEntities("&#233;"));
  EXPECT_EQ("\xf0\x9f\x98\x80", DecodeEntities("&#128512;"));
}

TEST(DecodeEntities, MalformedNumbersNeverBreakTheText) {
  const std::string replacement = "\xef\xbf\xbd";
  // No digits, or digits not ended by ";": left as they are.
  EXPECT_EQ("&#;", DecodeEntities("&#;"));
  EXPECT_EQ("&#x41;", DecodeEntities("&#x41;"));
  EXPECT_EQ("&#39 x", DecodeEntities("&#39 x"));
  EXPECT_EQ("a&#", DecodeEntities("a&#"));
  // Numbers that are no character: one replacement character each.
  EXPECT_EQ(replacement, DecodeEntities("&#0;"));
  EXPECT_EQ(replacement, DecodeEntities("&#55296;"));
  EXPECT_EQ(replacement, DecodeEntities("&#1114112;"));
  EXPECT_EQ("a" + replacement + "b", DecodeEntities("a&#99999999999999999999999999;b"));
  EXPECT_EQ("\xf4\x8f\xbf\xbf", DecodeEntities("&#1114111;"));
}

TVShow Listed() {
  TVShow show;
  show.id = 4711;
  show.title = "Old &amp; title";
  show.persons = {{"Host", "Kept"}};
  show.start = boost::posix_time::time_from_string("2016-01-31 20:15:00");
  return show;
}

TEST(ShowDetails, CompletesTheShow) {
  TVShow show = Listed();
  ParseShowDetails(
      R"({"data": [{"Event": {"Title": "Salt &amp; Pepper", "SubTitle": "A&#039;B",
          "Type": "Movie", "Genre": "Drama", "Country": ["D", "F"], "Year": [2012],
          "Description": "It&#8217;s &lt;new&gt;", "Duration": 5400, "Image": "http://i/a&amp;b.jpg",
          "Person": [["Director", "Name A", "Name B"], ["Actor", "Name C"], ["Writer"], []]}}]})",
      show);
  EXPECT_EQ("Salt & Pepper", show.title);
  EXPECT_EQ("A'B", show.subTitle);
  EXPECT_EQ("It\xe2\x80\x99s <new>", show.description);
  EXPECT_EQ((std::set<std::string>{"Drama", "Movie"}), show.genres);
  EXPECT_EQ("Drama/Movie", show.genreText);
  EXPECT_EQ("D", show.country);
  EXPECT_EQ(2012u, show.year);
  EXPECT_EQ(90u, show.duration);
  EXPECT_EQ("http://i/a&amp;b.jpg", show.image);
  // Each role's names, after what the show had; the role itself is no person.
  EXPECT_EQ(
      (Persons{
          {"Host", "Kept"}, {"Director", "Name A"}, {"Director", "Name B"}, {"Actor", "Name C"}}),
      show.persons);
  EXPECT_TRUE(show.detailsRead);
  EXPECT_EQ(4711u, show.id);
  EXPECT_EQ(Listed().start, show.start);
}

TEST(ShowDetails, MissingOrMistypedMembersGiveEmptyValues) {
  TVShow show = Listed();
  ParseShowDetails(R"({"data": [{"Event": {"Genre": "Drama", "Year": 2012, "Duration": 59,
                       "Country": "D", "Title": 5, "Person": {"x": 1}}}]})",
                   show);
  EXPECT_EQ("", show.title);
  EXPECT_EQ("/Drama", show.genreText);
  EXPECT_EQ(0u, show.year);
  EXPECT_EQ(0u, show.duration);
  EXPECT_EQ("", show.country);
  EXPECT_EQ(1u, show.persons.size());
  EXPECT_TRUE(show.detailsRead);

  TVShow negative = Listed();
  ParseShowDetails(R"({"data": [{"Event": {"Duration": -61}}]})", negative);
  EXPECT_EQ(static_cast<unsigned int>(-1), negative.duration);

  for (const char* document : {"{}", R"({"data": []})", R"({"data": [5]})", R"({"data": {}})",
                               R"({"data": [{"Event": []}]})"}) {
    TVShow bare = Listed();
    ParseShowDetails(document, bare);
    EXPECT_TRUE(bare.detailsRead) << document;
    EXPECT_EQ("", bare.title) << document;
    EXPECT_EQ(std::set<std::string>{""}, bare.genres) << document;
  }
}

TEST(ShowDetails, FailureLeavesTheShowUntouched) {
  const char* broken[] = {
      R"({"data": [{"Event": {"Title": "New", "Person": [["Director", "A"], "Actor"]}}]})",
      R"({"data": [{"Event": {"Title": "New", "Person": [["Director", "A"], ["Actor", 5]]}}]})",
      R"({"data": [{"Event": {"Title": "New", "Person": [[7, "A"]]}}]})",
      R"([{"Event": {}}])",
  };
  for (const char* document : broken) {
    TVShow show = Listed();
    EXPECT_THROW(ParseShowDetails(document, show), JsonError) << document;
    EXPECT_EQ(Listed(), show) << document;
  }
  TVShow show = Listed();
  EXPECT_THROW(ParseShowDetails("{\"data\": [", show), JsonSyntaxError);
  EXPECT_EQ(Listed(), show);
}

TEST(ShowDetails, RequestPath) {
  EXPECT_EQ("a/api.mobile.event.get?type=JSON.3&evid=4711", zu::nivo::MakeShowDetailsPath(4711));
  EXPECT_EQ("a/api.mobile.event.get?type=JSON.3&evid=4294967295",
            zu::nivo::MakeShowDetailsPath(4294967295u));
}

}  // namespace

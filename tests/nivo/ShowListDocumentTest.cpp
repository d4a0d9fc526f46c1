#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "nivo/Json.h"
#include "nivo/ShowListDocument.h"

namespace {

using boost::posix_time::hours;
using boost::posix_time::minutes;
using boost::posix_time::ptime;
using boost::posix_time::time_from_string;
using zu::nivo::JsonError;
using zu::nivo::JsonSyntaxError;
using zu::nivo::ParseShowListPiece;
using zu::nivo::ShowListPiece;
using zu::nivo::ShowListRequest;
using zu::nivo::SplitShowListWindow;

const ptime kFrom = time_from_string("2016-01-31 06:00:00");

std::vector<unsigned int> HoursOf(const std::vector<ShowListRequest>& requests) {
  std::vector<unsigned int> result;
  for (const ShowListRequest& request : requests)
    result.push_back(request.hours);
  return result;
}

TEST(ShowListWindow, WholeHoursInPiecesOfAtMostADay) {
  EXPECT_TRUE(SplitShowListWindow(kFrom, kFrom + minutes(59)).empty());
  EXPECT_EQ(std::vector<unsigned int>{1}, HoursOf(SplitShowListWindow(kFrom, kFrom + minutes(61))));
  EXPECT_EQ((std::vector<unsigned int>{24, 1}),
            HoursOf(SplitShowListWindow(kFrom, kFrom + hours(25) + minutes(30))));
  EXPECT_EQ((std::vector<unsigned int>{24, 6}),
            HoursOf(SplitShowListWindow(kFrom, kFrom + hours(30))));
  const std::vector<ShowListRequest> days = SplitShowListWindow(kFrom, kFrom + hours(72));
  ASSERT_EQ((std::vector<unsigned int>{24, 24, 24}), HoursOf(days));
  EXPECT_EQ(kFrom, days[0].start);
  EXPECT_EQ(kFrom + hours(24), days[1].start);
  EXPECT_EQ(kFrom + hours(48), days[2].start);
}

TEST(ShowListWindow, EmptyAndUnusableWindows) {
  EXPECT_TRUE(SplitShowListWindow(kFrom, kFrom).empty());
  EXPECT_TRUE(SplitShowListWindow(kFrom + hours(5), kFrom).empty());
  EXPECT_TRUE(SplitShowListWindow(ptime(), kFrom).empty());
  EXPECT_TRUE(SplitShowListWindow(kFrom, ptime(boost::posix_time::pos_infin)).empty());
  // 70 years would overflow a 32-bit second count; it is still split, not wrapped.
  const std::vector<ShowListRequest> decades = SplitShowListWindow(
      time_from_string("1970-01-01 00:00:00"), time_from_string("2040-01-01 00:00:00"));
  ASSERT_FALSE(decades.empty());
  EXPECT_EQ(24u, decades.front().hours);
  EXPECT_EQ(time_from_string("2039-12-31 00:00:00"), decades.back().start);
}

TEST(ShowListWindow, RequestPath) {
  EXPECT_EQ("a/api.mobile.event.hour?period=20160131T060000/24H&stationuid=4711",
            zu::nivo::MakeShowListPath(4711, ShowListRequest{kFrom, 24}));
  EXPECT_EQ("a/api.mobile.event.hour?period=20160131T201500.000250/1H&stationuid=0",
            zu::nivo::MakeShowListPath(
                0, ShowListRequest{time_from_string("2016-01-31 20:15:00.000250"), 1}));
}

std::string Piece(const std::string& shows) {
  return R"([{"meta": 1}, [[4711, "Das Erste", [)" + shows + "]]]]";
}

TEST(ShowListPiece, ReadsShowsWithTheirOptionalElements) {
  const ShowListPiece piece = ParseShowListPiece(Piece(
      R"(["101", "2016-01-31T20:00:00", "2016-01-31T20:15:00", "Tagesschau &amp; more"],
         ["102", "2016-01-31T20:15:00", "2016-01-31T21:45:00", "Tatort", "Sub",
          ["Krimi", null, "Drama"], "D", "1999", "ignored"],
         ["id-less", "2016-01-31T21:45:00", "2016-01-31T22:00:00", "X", 5, "Drama", 7, 1999],
         ["too", "short", "show"])"));
  EXPECT_EQ(ShowListPiece::Shows, piece.outcome);
  EXPECT_EQ(4u, piece.showCount);
  ASSERT_EQ(3u, piece.shows.size());

  const zu::nivo::TVShow& first = piece.shows[0];
  EXPECT_EQ(101u, first.id);
  EXPECT_EQ(time_from_string("2016-01-31 20:00:00"), first.start);
  EXPECT_EQ(time_from_string("2016-01-31 20:15:00"), first.end);
  // Entities stay until the details are read.
  EXPECT_EQ("Tagesschau &amp; more", first.title);
  EXPECT_TRUE(first.genres.empty());
  EXPECT_EQ("", first.genreText);
  EXPECT_FALSE(first.detailsRead);

  const zu::nivo::TVShow& second = piece.shows[1];
  EXPECT_EQ("Sub", second.subTitle);
  EXPECT_EQ((std::set<std::string>{"Drama", "Krimi"}), second.genres);
  EXPECT_EQ("Drama/Krimi", second.genreText);
  EXPECT_EQ("D", second.country);
  EXPECT_EQ(1999u, second.year);

  // Optional elements of other types are ignored; an id without digits is 0.
  const zu::nivo::TVShow& third = piece.shows[2];
  EXPECT_EQ(0u, third.id);
  EXPECT_EQ("", third.subTitle);
  EXPECT_TRUE(third.genres.empty());
  EXPECT_EQ("", third.country);
  EXPECT_EQ(0u, third.year);
}

TEST(ShowListPiece, StationInfoAndShape) {
  EXPECT_EQ(ShowListPiece::NoStationInfo, ParseShowListPiece("[]").outcome);
  EXPECT_EQ(ShowListPiece::NoStationInfo, ParseShowListPiece("[1]").outcome);
  EXPECT_EQ(ShowListPiece::NoStationInfo, ParseShowListPiece("[1, []]").outcome);
  for (const char* station : {R"(["4711", "ARD", []])", R"([4711, 5, []])", R"([4711, "ARD", {}])",
                              R"([4711, "ARD"])", R"([4711.5, "ARD", []])"}) {
    const ShowListPiece piece = ParseShowListPiece(std::string("[0, [") + station + "]]");
    EXPECT_EQ(ShowListPiece::WrongShape, piece.outcome) << station;
    EXPECT_TRUE(piece.shows.empty());
  }
  const ShowListPiece empty = ParseShowListPiece(Piece(""));
  EXPECT_EQ(ShowListPiece::Shows, empty.outcome);
  EXPECT_EQ(0u, empty.showCount);
}

template <class Error>
bool Raises(const std::string& body) {
  try {
    ParseShowListPiece(body);
  } catch (const Error&) {
    return true;
  }
  return false;
}

TEST(ShowListPiece, BrokenDocumentsRaise) {
  EXPECT_TRUE(Raises<JsonSyntaxError>("[0, [[4711, \"ARD\", [}"));
  EXPECT_TRUE(Raises<JsonError>(R"({"data": []})"));
  EXPECT_TRUE(Raises<JsonError>("[0, {}]"));
  EXPECT_TRUE(Raises<JsonError>("[0, [\"station\"]]"));
  EXPECT_TRUE(Raises<JsonError>(Piece(R"({"show": 1})")));
  EXPECT_TRUE(
      Raises<JsonError>(Piece(R"([101, "2016-01-31T20:00:00", "2016-01-31T20:15:00", "T"])")));
  EXPECT_TRUE(Raises<JsonError>(
      Piece(R"(["101", "2016-01-31T20:00:00", "2016-01-31T20:15:00", "T", "S", ["A", 5]])")));
  // A bad time is a std::runtime_error naming the text, not a JSON error.
  try {
    ParseShowListPiece(Piece(R"(["101", "2016-01-31", "2016-01-31T20:15:00", "T"])"));
    ADD_FAILURE();
  } catch (const JsonError&) {
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string::npos, std::string(e.what()).find("'2016-01-31'"));
  }
}

TEST(ShowTime, ParsesTheExtendedIsoForm) {
  EXPECT_EQ(time_from_string("2016-01-31 20:15:00"),
            zu::nivo::ParseShowTime("2016-01-31T20:15:00"));
  EXPECT_EQ(time_from_string("2016-01-31 20:15:00.5"),
            zu::nivo::ParseShowTime("2016-01-31T20:15:00.5"));
  for (const char* bad : {"", "T", "x", "2016-13-01T00:00:00", "20160131T201500",
                          "2016-01-31T99999999999999999:00:00", "2016-01-31T"})
    EXPECT_THROW(zu::nivo::ParseShowTime(bad), std::runtime_error) << bad;
}

}  // namespace

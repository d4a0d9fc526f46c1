// The response parser on its own, fed bytes split in every way reads could split them:
// header recognition, the three ways a payload ends, gzip, the bounds, and whether the
// connection can carry another response.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/HttpTestSupport.h"
#include "nivo/HttpResponseParser.h"

namespace {

using http_test::Bytewise;
using http_test::Chunked;
using http_test::Feed;
using http_test::Gzip;
using http_test::Outcome;
using http_test::SplitAt;
using zu::nivo::HeaderMap;
using zu::nivo::HttpResponseParser;
using Failure = HttpResponseParser::Failure;
using Status = HttpResponseParser::Status;

class HttpResponseParserTest : public ::testing::Test {
 protected:
  // The steps on a fresh response.
  Outcome Decode(const std::vector<std::string>& parts, bool closeAtEnd = false) {
    parser.Reset();
    return Feed(parser, parts, closeAtEnd);
  }

  HttpResponseParser parser;
};

TEST_F(HttpResponseParserTest, HeaderIsRecognisedWhereverItsEndIsSplit) {
  const std::string response =
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n\r\nhello";
  const size_t headerEnd = response.find("\r\n\r\n") + 4;
  for (size_t cut = 1; cut < response.size(); ++cut) {
    const Outcome outcome = Decode(SplitAt(response, {cut}));
    ASSERT_TRUE(outcome.complete) << "cut at " << cut;
    EXPECT_EQ("hello", outcome.frame.body) << "cut at " << cut;
    EXPECT_EQ("text/plain", outcome.frame.headers.at("Content-Type"));
  }
  // Before the empty line is complete nothing is parsed.
  parser.Reset();
  size_t used = 0;
  EXPECT_EQ(Status::NeedMore, parser.ParseHeader(response.data(), headerEnd - 1, used));
  EXPECT_TRUE(parser.GetFrame().headers.empty());
  EXPECT_EQ(Status::Complete, parser.ParseHeader(response.data() + headerEnd - 1, 2, used));
  EXPECT_EQ(1u, used);  // the payload's first byte is not the header's
  EXPECT_EQ(Status::NeedMore, parser.ExtractPayload(nullptr, 0, used, false));
  EXPECT_EQ(Failure::None, parser.GetFailure());
}

TEST_F(HttpResponseParserTest, HeaderLinesAreTrimmedAndTheFirstOccurrenceWins) {
  const Outcome outcome =
      Decode({"HTTP/1.1 200 OK  \r\n"
              "  Content-Length :   3  \r\n"
              "X-Twice: first\r\n"
              "X-Twice: second\r\n"
              "x-twice: third\r\n"
              "content-length: 5\r\n"
              "X-Colons: a:b:c\r\n"
              "JustAName\r\n"
              "\r\n"
              "abcdef"});
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ("abc", outcome.frame.body);
  const HeaderMap expected = {{"Content-Length", "3"},
                              {"HTTP/1.1 200 OK", ""},
                              {"JustAName", ""},
                              {"X-Colons", "a:b:c"},
                              {"X-Twice", "first"}};
  EXPECT_EQ(expected, outcome.frame.headers);
}

TEST_F(HttpResponseParserTest, OnlyHttp11Status200IsAccepted) {
  for (const char* status :
       {"HTTP/1.1 404 Not Found", "HTTP/1.0 200 OK", "HTTP/1.1 200 Okay", "HTTP/1.1 302 Found"}) {
    const Outcome outcome = Decode({std::string(status) + "\r\nContent-Length: 2\r\n\r\nno"}, true);
    EXPECT_FALSE(outcome.complete) << status;
    EXPECT_EQ(0u, outcome.frame.headers.count("HTTP/1.1 200 OK")) << status;
  }
  // The text of the accepted status line further down does not make a refusal an acceptance.
  EXPECT_FALSE(
      Decode({"HTTP/1.1 500 Error\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nno"}, true)
          .complete);
}

TEST_F(HttpResponseParserTest, ContentLengthCutsThePayload) {
  // Bytes past the announced length are not part of it.
  Outcome outcome = Decode({"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbodyEXTRA"});
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ("body", outcome.frame.body);

  // A short body is not complete, neither open nor at the close.
  outcome = Decode({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort"}, true);
  EXPECT_FALSE(outcome.complete);

  // Zero and unreadable lengths give an empty payload at once.
  outcome = Decode({"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"});
  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ("", outcome.frame.body);
  outcome = Decode({"HTTP/1.1 200 OK\r\nContent-Length: many\r\n\r\nxyz"});
  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ("", outcome.frame.body);
}

TEST_F(HttpResponseParserTest, WithoutLengthThePayloadRunsToTheClose) {
  const std::vector<std::string> parts = {"HTTP/1.1 200 OK\r\n\r\nfirst ", "second ", "third"};
  Outcome outcome = Decode(parts, false);
  EXPECT_FALSE(outcome.complete);
  outcome = Decode(parts, true);
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ(parts.size(), outcome.completedAfter);
  EXPECT_EQ("first second third", outcome.frame.body);
}

TEST_F(HttpResponseParserTest, ChunkedBodySurvivesEverySplit) {
  const std::string body = Chunked({"Hello, ", "chunked", std::string(300, 'x'), "!"});
  const std::string response = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + body;
  const std::string expected = "Hello, chunked" + std::string(300, 'x') + "!";
  // The payload ends with the size line of the last chunk, not with the bytes after it.
  const size_t lastChunkEnd = response.size() - 2;
  for (size_t cut = 1; cut < response.size(); ++cut) {
    const Outcome outcome = Decode(SplitAt(response, {cut}));
    ASSERT_TRUE(outcome.complete) << "cut at " << cut;
    EXPECT_EQ(expected, outcome.frame.body) << "cut at " << cut;
    EXPECT_EQ(cut < lastChunkEnd ? 1u : 0u, outcome.completedAfter) << "cut at " << cut;
  }
  const Outcome bytewise = Decode(Bytewise(response));
  ASSERT_TRUE(bytewise.complete);
  EXPECT_EQ(expected, bytewise.frame.body);
  EXPECT_EQ(lastChunkEnd - 1, bytewise.completedAfter);
  EXPECT_EQ(Failure::None, parser.GetFailure());
}

TEST_F(HttpResponseParserTest, ChunkedBodyWaitsForTheLastChunk) {
  const std::string header = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  // Reads that end exactly after a complete chunk, and after one whose data is short while
  // the size line makes the buffer longer than the chunk.
  Outcome outcome = Decode({header + "5\r\nfirst\r\n", "6\r\nsecond\r\n", "3\r\nab"}, true);
  EXPECT_FALSE(outcome.complete);
  outcome = Decode({header + "5\r\nfirst\r\n", "0\r\n\r\n"});
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ(1u, outcome.completedAfter);
  EXPECT_EQ("first", outcome.frame.body);
}

TEST_F(HttpResponseParserTest, ChunkSizeLinesTakeExtensionsAndUpperCase) {
  const std::string response =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
      "4;name=value\r\nwiki\r\n"
      "00B ; quoted=\"a;b\"\r\npedia in ch\r\n"
      "0;last\r\nTrailer: x\r\n\r\n";
  const Outcome outcome = Decode({response});
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ("wikipedia in ch", outcome.frame.body);
}

TEST_F(HttpResponseParserTest, BrokenChunkedCodingIsNotAnEnd) {
  const std::string header = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::vector<std::string> broken = {
      header + "5\r\nfirst\r\nzz\r\nmore\r\n0\r\n\r\n",    // not hexadecimal
      header + "5\r\nfirst\r\n0x5\r\nmore!\r\n0\r\n\r\n",  // a prefix would read as 0
      header + "5\r\nfirst\r\n100000000\r\n",              // beyond 32 bits
      header + "5\r\nfirst\r\n\r\n0\r\n\r\n",              // empty size line
      header + "5\r\nfirstXX0\r\n\r\n",                    // data longer than announced
      header + "5\n" + "first\r\n0\r\n\r\n",               // size line without CR
  };
  for (const std::string& response : broken) {
    const Outcome outcome = Decode({response}, true);
    EXPECT_FALSE(outcome.complete) << response;
    EXPECT_EQ(Failure::BrokenChunks, parser.GetFailure()) << response;
    // Nothing more arrives for a broken response, even at the close.
    size_t used = 0;
    EXPECT_EQ(Status::Failed, parser.ExtractPayload("0\r\n\r\n", 5, used, true));
  }
}

TEST_F(HttpResponseParserTest, GzipPayloadIsInflatedWhateverTheFraming) {
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += "line " + std::to_string(i) + " of the guide\n";
  const std::string compressed = Gzip(text);
  ASSERT_FALSE(compressed.empty());
  ASSERT_GT(text.size(), 4 * compressed.size());  // needs several larger output areas

  const std::string lengthResponse =
      "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
      std::to_string(compressed.size()) + "\r\n\r\n" + compressed;
  for (size_t cut = 1; cut < lengthResponse.size(); cut += 7) {
    const Outcome outcome = Decode(SplitAt(lengthResponse, {cut}));
    ASSERT_TRUE(outcome.complete) << "cut at " << cut;
    ASSERT_EQ(text, outcome.frame.body) << "cut at " << cut;
  }

  const std::string half = compressed.substr(0, compressed.size() / 2);
  Outcome outcome =
      Decode({"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n" +
              Chunked({half, compressed.substr(half.size())})});
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ(text, outcome.frame.body);

  outcome = Decode(
      {"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n" + half, compressed.substr(half.size())},
      true);
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ(text, outcome.frame.body);

  // Members in a row are one payload.
  outcome = Decode({"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n" + Gzip("first part, ") +
                    Gzip("second part")},
                   true);
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ("first part, second part", outcome.frame.body);

  // Other encodings are left as they came.
  outcome = Decode({"HTTP/1.1 200 OK\r\nContent-Encoding: identity\r\n\r\n" + compressed}, true);
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ(compressed, outcome.frame.body);
  EXPECT_EQ(Failure::None, parser.GetFailure());
}

TEST_F(HttpResponseParserTest, TruncatedOrCorruptGzipIsAFailure) {
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += std::to_string(i * 7919) + ",";
  const std::string compressed = Gzip(text);
  std::string corrupt = compressed;
  corrupt[corrupt.size() / 2] ^= 0x55;
  corrupt[corrupt.size() / 2 + 1] ^= 0x55;
  const std::vector<std::string> bad = {
      compressed.substr(0, compressed.size() - 8),  // deflate data complete, no trailer
      compressed.substr(0, compressed.size() - 3),  // trailer cut
      compressed.substr(0, compressed.size() / 2),  // cut inside the deflate data
      corrupt,
      "not gzip at all",
      compressed.substr(0, compressed.size() - 8) + "\1\2\3\4\5\6\7\x08",  // wrong checksum
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    const std::string& payload = bad[i];
    SCOPED_TRACE("case " + std::to_string(i));
    const Outcome outcome =
        Decode({"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                std::to_string(payload.size()) + "\r\n\r\n" + payload},
               true);
    EXPECT_FALSE(outcome.complete);
    EXPECT_TRUE(outcome.frame.body.empty());
    EXPECT_EQ(Failure::BadGzip, parser.GetFailure());
  }
  // The inflater the parser keeps is whole again for the next response.
  const Outcome good = Decode({http_test::OkResponse(compressed, "Content-Encoding: gzip\r\n")});
  ASSERT_TRUE(good.complete);
  EXPECT_EQ(text, good.frame.body);
}

TEST_F(HttpResponseParserTest, ResponsesBeyondTheSizeLimitAreGivenUp) {
  HttpResponseParser limited(1000);
  auto Decode = [&limited](const std::vector<std::string>& parts, bool closeAtEnd) {
    limited.Reset();
    return Feed(limited, parts, closeAtEnd);
  };

  // At the limit everything still works.
  Outcome outcome = Decode({http_test::OkResponse(std::string(1000, 'a'))}, false);
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ(1000u, outcome.frame.body.size());
  EXPECT_EQ(Failure::None, limited.GetFailure());

  const std::vector<std::vector<std::string>> tooLarge = {
      // a header that never ends
      {"HTTP/1.1 200 OK\r\nX-Long: " + std::string(600, 'h'), std::string(600, 'h')},
      // an announced length
      {"HTTP/1.1 200 OK\r\nContent-Length: 1001\r\n\r\n"},
      // chunks adding up past it
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
       Chunked({std::string(600, 'c'), std::string(600, 'c')})},
      // a body delimited by the close
      {"HTTP/1.1 200 OK\r\n\r\n" + std::string(700, 'b'), std::string(700, 'b')},
      // inflation past it
      {"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n" + Gzip(std::string(5000, 'z'))},
  };
  for (const auto& parts : tooLarge) {
    outcome = Decode(parts, true);
    EXPECT_FALSE(outcome.complete) << parts.front();
    EXPECT_EQ(Failure::TooLarge, limited.GetFailure()) << parts.front();
  }
}

// Servers and proxies that write header names, or the values that frame and encode the
// payload, in another case: a station list and a show list, with a length, chunked, and
// gzip. None of them needs the close to complete.
TEST_F(HttpResponseParserTest, FramingHeadersAreMatchedWithoutRegardToCase) {
  const std::string stations =
      R"({"data":[{"Station":{"UID":"101","Name":"Eins","Channel":["1","Eins"]}}]})";
  const std::string shows =
      R"([0,[[101,"Eins",[["7001","2024-03-01 20:00:00","2024-03-01 21:00:00","News"]]]]])";
  const std::string gzipShows = Gzip(shows);
  const std::string gzipStations = Gzip(stations);
  const struct {
    std::string response;
    const std::string& body;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\ncontent-type: application/json\r\ncontent-length: " +
           std::to_string(stations.size()) + "\r\n\r\n" + stations,
       stations},
      {"HTTP/1.1 200 OK\r\ntransfer-encoding: Chunked\r\n\r\n" +
           Chunked({shows.substr(0, 20), shows.substr(20)}),
       shows},
      {"HTTP/1.1 200 OK\r\ncontent-encoding: gzip\r\ntransfer-encoding: chunked\r\n\r\n" +
           Chunked({gzipShows}),
       shows},
      {"HTTP/1.1 200 OK\r\nCONTENT-ENCODING: GZip\r\nContent-length: " +
           std::to_string(gzipStations.size()) + "\r\n\r\n" + gzipStations,
       stations},
  };
  for (const auto& c : cases) {
    for (size_t cut = 1; cut < c.response.size(); ++cut) {
      const Outcome outcome = Decode(SplitAt(c.response, {cut}));
      ASSERT_TRUE(outcome.complete) << c.response.substr(0, 40) << " cut at " << cut;
      ASSERT_EQ(c.body, outcome.frame.body) << c.response.substr(0, 40) << " cut at " << cut;
    }
  }
}

TEST_F(HttpResponseParserTest, OnlyAFramedHttp11ResponseLeavesTheConnectionForAnother) {
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const struct {
    std::string response;
    bool carries;
  } cases[] = {
      {http_test::OkResponse("body"), true},
      {chunked + Chunked({"bo", "dy"}), true},
      {chunked + "4\r\nbody\r\n0\r\nExpires: never\r\n\r\n", true},
      {http_test::OkResponse("body", "Connection: Close\r\n"), false},
      {http_test::OkResponse("body", "connection: keep-alive, close\r\n"), false},
      {"HTTP/1.1 200 OK\r\n\r\nbody", false},                      // ends with the close
      {http_test::OkResponse("body") + "HTTP/1.1 200 OK", false},  // bytes after the end
      {http_test::OkResponse("body", "Content-Length: 4\r\n"), false},
      {http_test::OkResponse("body", "Transfer-Encoding: identity\r\n"), false},
      {"HTTP/1.1 200 OK\r\nContent-Length: +4\r\n\r\nbody", false},
      {chunked + "4\r\nbody\r\n0\r\n\r\n0\r\n", false},
  };
  for (const auto& c : cases) {
    const Outcome outcome = Decode({c.response}, true);
    ASSERT_TRUE(outcome.complete) << c.response;
    EXPECT_EQ("body", outcome.frame.body) << c.response;
    EXPECT_EQ(c.carries, parser.CanCarryAnother()) << c.response;
  }

  // A trailer's end in a later read: the payload is complete at the last chunk, and the
  // connection is known to be free once the end is in.
  const std::string response = chunked + Chunked({"body"});
  const Outcome outcome = Decode(SplitAt(response, {response.size() - 2}));
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ(0u, outcome.completedAfter);
  EXPECT_FALSE(parser.CanCarryAnother());
  EXPECT_TRUE(http_test::Take(parser, "\r\n", false));
  EXPECT_TRUE(parser.CanCarryAnother());
}

}  // namespace

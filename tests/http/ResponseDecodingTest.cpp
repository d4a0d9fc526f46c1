// The response steps on their own (ParseHeader, ExtractPayload), fed bytes split in every
// way reads could split them: header recognition, the three ways a payload ends, gzip, and
// the bounds.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/HttpTestSupport.h"
#include "nivo/HttpPageReader.h"
#include "output/LogRecorder.h"

namespace {

using http_test::Bytewise;
using http_test::Chunked;
using http_test::Feed;
using http_test::Gzip;
using http_test::Outcome;
using http_test::SplitAt;
using zu::nivo::HeaderMap;
using zu::nivo::HttpPageReader;

class ResponseDecodingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reader = HttpPageReader::Create();
    ASSERT_TRUE(reader);
  }
  // The steps on a fresh response.
  Outcome Decode(const std::vector<std::string>& parts, bool closeAtEnd = false) {
    reader->Reset();
    return Feed(*reader, parts, closeAtEnd);
  }

  zu_test::LogRecorder log;
  zu::SharedPtr<HttpPageReader> reader;
};

TEST_F(ResponseDecodingTest, HeaderIsRecognisedWhereverItsEndIsSplit) {
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
  reader->Reset();
  reader->AppendReceived(response.data(), headerEnd - 1);
  EXPECT_FALSE(reader->ParseHeader());
  EXPECT_TRUE(reader->GetFrame().headers.empty());
  reader->AppendReceived(response.data() + headerEnd - 1, 1);
  EXPECT_TRUE(reader->ParseHeader());
  EXPECT_FALSE(reader->ExtractPayload(false));
  EXPECT_EQ(0u, log.Count());
}

TEST_F(ResponseDecodingTest, HeaderLinesAreTrimmedAndTheFirstOccurrenceWins) {
  const Outcome outcome =
      Decode({"HTTP/1.1 200 OK  \r\n"
              "  Content-Length :   3  \r\n"
              "X-Twice: first\r\n"
              "X-Twice: second\r\n"
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

TEST_F(ResponseDecodingTest, OnlyHttp11Status200IsAccepted) {
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

TEST_F(ResponseDecodingTest, ContentLengthCutsThePayload) {
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

TEST_F(ResponseDecodingTest, WithoutLengthThePayloadRunsToTheClose) {
  const std::vector<std::string> parts = {"HTTP/1.1 200 OK\r\n\r\nfirst ", "second ", "third"};
  Outcome outcome = Decode(parts, false);
  EXPECT_FALSE(outcome.complete);
  outcome = Decode(parts, true);
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ(parts.size(), outcome.completedAfter);
  EXPECT_EQ("first second third", outcome.frame.body);
}

TEST_F(ResponseDecodingTest, ChunkedBodySurvivesEverySplit) {
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
  EXPECT_EQ(0u, log.Count());
}

TEST_F(ResponseDecodingTest, ChunkedBodyWaitsForTheLastChunk) {
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

TEST_F(ResponseDecodingTest, ChunkSizeLinesTakeExtensionsAndUpperCase) {
  const std::string response =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
      "4;name=value\r\nwiki\r\n"
      "00B ; quoted=\"a;b\"\r\npedia in ch\r\n"
      "0;last\r\nTrailer: x\r\n\r\n";
  const Outcome outcome = Decode({response});
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ("wikipedia in ch", outcome.frame.body);
}

TEST_F(ResponseDecodingTest, BrokenChunkedCodingIsNotAnEnd) {
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
    log.Clear();
    const Outcome outcome = Decode({response}, true);
    EXPECT_FALSE(outcome.complete) << response;
    EXPECT_EQ(1u, log.CountContaining("Broken chunked coding in the response of http:///"))
        << response;
    // Nothing more arrives for a broken response, even at the close.
    EXPECT_FALSE(reader->ExtractPayload(true));
  }
}

TEST_F(ResponseDecodingTest, GzipPayloadIsInflatedWhateverTheFraming) {
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
  EXPECT_EQ(0u, log.Count());
}

TEST_F(ResponseDecodingTest, TruncatedOrCorruptGzipIsAFailure) {
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
    log.Clear();
    const Outcome outcome =
        Decode({"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                std::to_string(payload.size()) + "\r\n\r\n" + payload},
               true);
    EXPECT_FALSE(outcome.complete);
    EXPECT_TRUE(outcome.frame.body.empty());
    EXPECT_EQ(1u, log.CountContaining("Failed uncompressing data: http:///"));
  }
}

TEST_F(ResponseDecodingTest, ResponsesBeyondTheSizeLimitAreGivenUp) {
  reader->SetSizeLimit(1000);
  const std::string limitText = "Response exceeds the size limit: ";

  // At the limit everything still works.
  Outcome outcome = Decode({http_test::OkResponse(std::string(1000, 'a'))});
  ASSERT_TRUE(outcome.complete);
  EXPECT_EQ(1000u, outcome.frame.body.size());
  EXPECT_EQ(0u, log.CountContaining(limitText));

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
    log.Clear();
    outcome = Decode(parts, true);
    EXPECT_FALSE(outcome.complete) << parts.front();
    EXPECT_EQ(1u, log.CountContaining(limitText + "http:///")) << parts.front();
  }
}

}  // namespace

// Whole requests against a scripted loopback peer: the bytes on the wire, completion and
// the log lines of every way a response can end, time-outs, late responses, the size bound,
// kept connections and readers sharing a socket server.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "http/HttpTestSupport.h"
#include "net/Factory.h"
#include "net/SocketServer.h"
#include "nivo/HttpPageReader.h"
#include "nivo/UserAgent.h"
#include "output/LogRecorder.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/ScriptedPeer.h"

namespace {

using http_test::Chunked;
using http_test::Gzip;
using http_test::OkResponse;
using zu::nivo::HeaderMap;
using zu::nivo::HttpFrame;
using zu::nivo::HttpPageReader;
using zu::nivo::HttpUrl;
using zu_test::Latch;
using zu_test::PeerConnection;
using zu_test::ScriptedPeer;

// Log lines above Info.
size_t Alarms(const zu_test::LogRecorder& log) {
  size_t count = 0;
  for (const std::string& line : log.Lines())
    count += line.compare(0, 2, "%E") == 0 || line.compare(0, 2, "%W") == 0;
  return count;
}

HttpPageReader::Options KeepAlive() {
  HttpPageReader::Options options;
  options.keepAlive = true;
  return options;
}

class PageReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { Use(HttpPageReader::Options()); }
  void TearDown() override {
    if (reader)
      reader->StopServer();
  }
  // Replaces the reader by one made with options.
  void Use(const HttpPageReader::Options& options) {
    if (reader)
      reader->StopServer();
    reader = HttpPageReader::Create(options);
    ASSERT_TRUE(reader);
  }
  static HttpPageReader::Options WithProgressTimeout(const zu::Time& timeout) {
    HttpPageReader::Options options;
    options.progressTimeout = timeout;
    return options;
  }

  zu_test::LogRecorder log;
  zu::SharedPtr<HttpPageReader> reader;
};

TEST_F(PageReaderTest, SendsTheComposedRequestAndReturnsTheResponse) {
  std::string request;
  ScriptedPeer peer([&request](PeerConnection& connection) {
    request = connection.ReadRequest();
    // Header and body in one write; the connection stays open until the reader closes it.
    connection.Send(OkResponse("the body", "Content-Type: text/plain\r\n"));
    connection.WaitForClientClose();
  });
  HeaderMap headers;
  headers["User-Agent"] = zu::nivo::GetMobileUserAgent();
  headers["Accept"] = "*/*";
  const HttpUrl url = peer.Url("a/api.mobile.station.get?type=JSON.1");
  const HttpFrame frame = reader->GetHttpPage(url, headers);
  peer.Join();

  EXPECT_EQ("the body", frame.body);
  EXPECT_EQ("text/plain", frame.headers.at("Content-Type"));
  EXPECT_EQ(1u, frame.headers.count("HTTP/1.1 200 OK"));
  EXPECT_EQ(
      "GET /a/api.mobile.station.get?type=JSON.1 HTTP/1.1\r\n"
      "Accept: */*\r\n"
      "Accept-Encoding: gzip\r\n"
      "Connection: close\r\n"
      "Host: 127.0.0.1:" +
          std::to_string(peer.Port()) +
          "\r\n"
          "User-Agent: " +
          headers["User-Agent"] + "\r\n\r\n",
      request);
  // Complete before the peer closed: no close was seen, nothing was logged.
  EXPECT_EQ(0u, log.Count()) << (log.Count() ? log.Lines().front() : "");
}

TEST_F(PageReaderTest, ResponsesSplitAcrossReadsComplete) {
  const std::string body = "0123456789abcdefghij";
  ScriptedPeer peer([&body](PeerConnection& connection) {
    connection.ReadRequest();
    // The header's empty line in a read of its own, then chunks split inside a size line,
    // inside data, and after a complete chunk.
    connection.SendAndAwaitRead("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r");
    connection.SendAndAwaitRead("\n1");
    connection.SendAndAwaitRead("4\r\n" + body.substr(0, 7));
    connection.SendAndAwaitRead(body.substr(7, 13) + "\r\n");
    connection.SendAndAwaitRead("6;ext=1\r\nsecond\r\n");
    connection.Send("0\r\n\r\n");
    connection.WaitForClientClose();
  });
  const HttpFrame frame = reader->GetHttpPage(peer.Url("chunks"), HeaderMap());
  peer.Join();
  EXPECT_EQ(body.substr(0, 20) + "second", frame.body);
  EXPECT_EQ(0u, log.Count());
}

TEST_F(PageReaderTest, BodyWithoutLengthEndsWithTheClose) {
  ScriptedPeer peer([](PeerConnection& connection) {
    connection.ReadRequest();
    connection.SendAndAwaitRead(
        "HTTP/1.1 200 OK\r\nContent-Type: audio/x-mpegurl\r\n\r\n#EXTM3U\n");
    connection.Send("#EXTINF:-1,one\nhttp://x/1\n");
    connection.Close();
  });
  const HttpUrl url = peer.Url("a/service.m3u");
  const HttpFrame frame = reader->GetHttpPage(url, HeaderMap());
  peer.Join();
  EXPECT_EQ("#EXTM3U\n#EXTINF:-1,one\nhttp://x/1\n", frame.body);
  EXPECT_EQ(1u, log.CountContaining("Socket closed during reading from: " + url.GetUrl()));
  EXPECT_EQ(1u, log.Count());
}

TEST_F(PageReaderTest, RefusedStatusGivesAnEmptyFrame) {
  for (const std::string status : {"HTTP/1.1 404 Not Found", "HTTP/1.0 200 OK"}) {
    log.Clear();
    ScriptedPeer peer([&status](PeerConnection& connection) {
      connection.ReadRequest();
      connection.Send(status + "\r\nContent-Length: 9\r\n\r\nnot found");
      connection.WaitForClientClose();
    });
    const HttpUrl url = peer.Url("missing");
    const HttpFrame frame = reader->GetHttpPage(url, HeaderMap());
    peer.Join();
    EXPECT_TRUE(frame.IsEmpty()) << status;
    EXPECT_EQ(1u, log.CountContaining("Cancel due to error: " + url.GetUrl())) << status;
    EXPECT_EQ(1u, log.CountContaining("failed reading data of " + url.GetUrl())) << status;
  }
}

TEST_F(PageReaderTest, EmptyBodyIsAFailureWithoutCancel) {
  ScriptedPeer peer([](PeerConnection& connection) {
    connection.ReadRequest();
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    connection.WaitForClientClose();
  });
  const HttpUrl url = peer.Url("empty");
  const HttpFrame frame = reader->GetHttpPage(url, HeaderMap());
  peer.Join();
  EXPECT_TRUE(frame.IsEmpty());
  EXPECT_EQ(1u, log.CountContaining("failed reading data of " + url.GetUrl()));
  EXPECT_EQ(0u, log.CountContaining("Cancel due to error"));
}

TEST_F(PageReaderTest, BrokenResponsesAreCancelled) {
  struct Case {
    std::string response;
    std::string cause;
  };
  const std::string compressed = Gzip(std::string(20000, 'q'));
  const std::string truncated = compressed.substr(0, compressed.size() / 2);
  const Case cases[] = {
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\nnope\r\n",
       "Broken chunked coding in the response of "},
      {"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
           std::to_string(truncated.size()) + "\r\n\r\n" + truncated,
       "Failed uncompressing data: "},
  };
  for (const Case& c : cases) {
    log.Clear();
    // The peer keeps the connection open: the reader must not wait for its close.
    ScriptedPeer peer([&c](PeerConnection& connection) {
      connection.ReadRequest();
      connection.Send(c.response);
      connection.WaitForClientClose();
    });
    const HttpUrl url = peer.Url("broken");
    const HttpFrame frame = reader->GetHttpPage(url, HeaderMap());
    peer.Join();
    EXPECT_TRUE(frame.IsEmpty());
    EXPECT_EQ(1u, log.CountContaining(c.cause + url.GetUrl()));
    EXPECT_EQ(1u, log.CountContaining("Cancel due to error: " + url.GetUrl()));
    EXPECT_EQ(1u, log.CountContaining("failed reading data of " + url.GetUrl()));
  }
}

TEST_F(PageReaderTest, ConnectionClosedBeforeTheEndIsCancelled) {
  const std::string responses[] = {
      "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nfirst\r\n",
      "HTTP/1.1 200 OK\r\nContent-Le",
  };
  for (const std::string& response : responses) {
    log.Clear();
    ScriptedPeer peer([&response](PeerConnection& connection) {
      connection.ReadRequest();
      connection.Send(response);
      connection.Close();
    });
    const HttpUrl url = peer.Url("cut");
    const HttpFrame frame = reader->GetHttpPage(url, HeaderMap());
    peer.Join();
    EXPECT_TRUE(frame.IsEmpty()) << response;
    EXPECT_EQ(1u, log.CountContaining("Socket closed during reading from: " + url.GetUrl()));
    EXPECT_EQ(1u, log.CountContaining("Cancel due to error: " + url.GetUrl()));
    EXPECT_EQ(1u, log.CountContaining("failed reading data of " + url.GetUrl()));
  }
}

TEST_F(PageReaderTest, GzipResponseIsInflated) {
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += "{\"id\":" + std::to_string(i) + ",\"name\":\"show\"},";
  const std::string compressed = Gzip(text);
  ScriptedPeer peer([&compressed](PeerConnection& connection) {
    connection.ReadRequest();
    const std::string response = OkResponse(compressed, "Content-Encoding: gzip\r\n");
    const size_t half = response.size() / 2;
    connection.SendAndAwaitRead(response.substr(0, half));
    connection.Send(response.substr(half));
    connection.WaitForClientClose();
  });
  const HttpFrame frame = reader->GetHttpPage(peer.Url("guide"), HeaderMap());
  peer.Join();
  EXPECT_EQ(text, frame.body);
  EXPECT_EQ("gzip", frame.headers.at("Content-Encoding"));
}

TEST_F(PageReaderTest, LargeBodyArrivesIntact) {
  std::string body(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < body.size(); ++i)
    body[i] = static_cast<char>((i * 131) ^ (i >> 9));
  ScriptedPeer peer([&body](PeerConnection& connection) {
    connection.ReadRequest();
    std::vector<std::string> pieces;
    for (size_t at = 0; at < body.size(); at += 100000)
      pieces.push_back(body.substr(at, 100000));
    connection.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + Chunked(pieces));
    connection.WaitForClientClose();
  });
  const HttpFrame frame = reader->GetHttpPage(peer.Url("large"), HeaderMap());
  peer.Join();
  ASSERT_EQ(body.size(), frame.body.size());
  EXPECT_TRUE(body == frame.body);
}

TEST_F(PageReaderTest, SizeBoundGivesUpAnEndlessBody) {
  HttpPageReader::Options options;
  options.sizeLimit = 64 * 1024;
  Use(options);
  ScriptedPeer peer([](PeerConnection& connection) {
    connection.ReadRequest();
    connection.Send("HTTP/1.1 200 OK\r\n\r\n");
    // Streams until the reader closes the connection (or a generous amount is reached).
    const std::string block(16 * 1024, 'x');
    for (int i = 0; i < 4096 && connection.Send(block); ++i) {
    }
  });
  const HttpUrl url = peer.Url("endless");
  const HttpFrame frame = reader->GetHttpPage(url, HeaderMap());
  peer.Join();
  EXPECT_TRUE(frame.IsEmpty());
  EXPECT_EQ(1u, log.CountContaining("Response exceeds the size limit: " + url.GetUrl()));
  EXPECT_EQ(1u, log.CountContaining("Cancel due to error: " + url.GetUrl()));
}

TEST_F(PageReaderTest, SilentPeerIsGivenUpAndTheReaderServesTheNextRequest) {
  Use(WithProgressTimeout(zu::Time::FromSeconds(1)));
  bool closedByReader = false;
  ScriptedPeer silent([&closedByReader](PeerConnection& connection) {
    connection.ReadRequest();
    closedByReader = connection.WaitForClientClose();
  });
  const HttpUrl url = silent.Url("silent");
  const HttpFrame frame = reader->GetHttpPage(url, HeaderMap());
  silent.Join();
  EXPECT_TRUE(frame.IsEmpty());
  EXPECT_TRUE(closedByReader);
  EXPECT_EQ(1u, log.CountContaining("failed reading data of " + url.GetUrl()));

  // The next request starts clean and completes.
  ScriptedPeer next([](PeerConnection& connection) {
    connection.ReadRequest();
    connection.Send(OkResponse("ok!"));
    connection.WaitForClientClose();
  });
  EXPECT_EQ("ok!", reader->GetHttpPage(next.Url("next"), HeaderMap()).body);
}

TEST_F(PageReaderTest, LateResponseOfAGivenUpRequestDoesNotCompleteTheNext) {
  Use(WithProgressTimeout(zu::Time::FromSeconds(1)));
  Latch gaveUp;
  Latch lateSent;
  ScriptedPeer late([&](PeerConnection& connection) {
    connection.ReadRequest();
    gaveUp.Wait();
    connection.Send(OkResponse("LATE"));
    lateSent.Set();
  });
  const HttpUrl lateUrl = late.Url("first");
  EXPECT_TRUE(reader->GetHttpPage(lateUrl, HeaderMap()).IsEmpty());
  gaveUp.Set();

  ScriptedPeer current([&](PeerConnection& connection) {
    connection.ReadRequest();
    lateSent.Wait();
    connection.Send(OkResponse("CURRENT"));
    connection.WaitForClientClose();
  });
  const HttpFrame frame = reader->GetHttpPage(current.Url("second"), HeaderMap());
  late.Join();
  current.Join();
  EXPECT_EQ("CURRENT", frame.body);
  EXPECT_EQ(1u, log.CountContaining("failed reading data of " + lateUrl.GetUrl()));
  EXPECT_EQ(1u, log.Count());
}

TEST_F(PageReaderTest, DataHandlerIgnoresAConnectionThatIsNotTheCurrentOne) {
  zu_test::ConnectedPair stray = zu_test::MakeConnectedPair();
  ASSERT_TRUE(stray.client && stray.accepted);
  const std::string strayResponse = OkResponse("STRAY");
  ASSERT_EQ(strayResponse.size(),
            stray.accepted->SendBytes(strayResponse.data(), strayResponse.size()));

  Latch requestRead;
  Latch strayHandled;
  ScriptedPeer peer([&](PeerConnection& connection) {
    connection.ReadRequest();
    requestRead.Set();
    strayHandled.Wait();
    connection.Send(OkResponse("REAL"));
    connection.WaitForClientClose();
  });
  HttpFrame frame;
  std::thread requester([&]() { frame = reader->GetHttpPage(peer.Url("real"), HeaderMap()); });
  ASSERT_TRUE(requestRead.Wait());
  // A handler call for a connection the request does not own, while the request is pending.
  EXPECT_FALSE(reader->OnDataReceived(stray.client));
  EXPECT_FALSE(stray.client->IsValid());
  strayHandled.Set();
  requester.join();
  peer.Join();
  EXPECT_EQ("REAL", frame.body);
  EXPECT_EQ(0u, log.Count());
}

TEST_F(PageReaderTest, OverlappingCallersAreServedOneAfterTheOther) {
  auto script = [](const std::string& body) {
    return [body](PeerConnection& connection) {
      connection.ReadRequest();
      connection.Send(OkResponse(body));
      connection.WaitForClientClose();
    };
  };
  ScriptedPeer first(script("first body"));
  ScriptedPeer second(script("second body"));
  HttpFrame firstFrame;
  HttpFrame secondFrame;
  std::thread one([&]() { firstFrame = reader->GetHttpPage(first.Url("1"), HeaderMap()); });
  std::thread two([&]() { secondFrame = reader->GetHttpPage(second.Url("2"), HeaderMap()); });
  one.join();
  two.join();
  EXPECT_EQ("first body", firstFrame.body);
  EXPECT_EQ("second body", secondFrame.body);
  EXPECT_EQ(0u, log.Count());
}

TEST_F(PageReaderTest, UnreachablePortFailsOnceWithoutRetry) {
  const HttpUrl url("127.0.0.1", "a/service.m3u", zu_test::UnusedPort());
  const HttpFrame frame = reader->GetHttpPage(url, HeaderMap());
  EXPECT_TRUE(frame.IsEmpty());
  EXPECT_EQ(1u, log.CountContaining("failed connecting " + url.GetUrl()));
  EXPECT_EQ(1u, log.Count());
}

TEST_F(PageReaderTest, ReaderWithoutServerFailsAtOnce) {
  reader->StopServer();
  // Any port will do: nothing is attempted without a server to deliver the response.
  const HttpUrl url("127.0.0.1", "x", zu_test::UnusedPort());
  EXPECT_TRUE(reader->GetHttpPage(url, HeaderMap()).IsEmpty());
  EXPECT_EQ(1u, log.CountContaining("failed connecting " + url.GetUrl()));
}

TEST_F(PageReaderTest, RequestWithLineBreaksIsNotSent) {
  const HttpUrl url("127.0.0.1", "a\r\nX-Forged: yes", zu_test::UnusedPort());
  EXPECT_TRUE(reader->GetHttpPage(url, HeaderMap()).IsEmpty());
  EXPECT_EQ(1u, log.CountContaining("Refusing a request with a line break"));
  EXPECT_EQ(0u, log.CountContaining("failed connecting"));
}

TEST_F(PageReaderTest, StoppedReaderIsReleased) {
  ScriptedPeer peer([](PeerConnection& connection) {
    connection.ReadRequest();
    connection.Send(OkResponse("done"));
    connection.WaitForClientClose();
  });
  EXPECT_EQ("done", reader->GetHttpPage(peer.Url("z"), HeaderMap()).body);
  peer.Join();
  const zu::WeakPtr<HttpPageReader> weak = reader;
  // Stopping the server drops every registration that still refers to the reader.
  reader->StopServer();
  reader.reset();
  EXPECT_TRUE(weak.expired());
}

// One connection carries requests as long as the responses allow, whatever the case of the
// headers that frame them; "Connection: close" and a response ended by the close end it.
TEST_F(PageReaderTest, KeptConnectionCarriesTheNextRequests) {
  HttpPageReader::Options options = KeepAlive();
  options.keptConnectionIdle = zu::Time::Infinite();  // only the stop closes the last one
  Use(options);
  std::vector<std::string> requests;
  bool closedAfterCloseHeader = false;
  bool closedAtStop = false;
  int served = 0;
  ScriptedPeer peer(
      [&](PeerConnection& connection) {
        switch (served++) {
          case 0:
            requests.push_back(connection.ReadRequest());
            connection.Send("HTTP/1.1 200 OK\r\ncontent-length: 8\r\n\r\nstations");
            requests.push_back(connection.ReadRequest());
            connection.Send(
                "HTTP/1.1 200 OK\r\ntransfer-encoding: chunked\r\ncontent-encoding: gzip\r\n\r\n" +
                Chunked({Gzip("shows")}));
            requests.push_back(connection.ReadRequest());
            connection.Send(OkResponse("details", "Connection: close\r\n"));
            closedAfterCloseHeader = connection.WaitForClientClose();
            break;
          case 1:
            requests.push_back(connection.ReadRequest());
            connection.Send("HTTP/1.1 200 OK\r\n\r\nto the close");
            connection.Close();
            break;
          default:
            requests.push_back(connection.ReadRequest());
            connection.Send(OkResponse("fresh"));
            closedAtStop = connection.WaitForClientClose();
        }
      },
      3);
  EXPECT_EQ("stations", reader->GetHttpPage(peer.Url("1"), HeaderMap()).body);
  EXPECT_EQ("shows", reader->GetHttpPage(peer.Url("2"), HeaderMap()).body);
  EXPECT_EQ("details", reader->GetHttpPage(peer.Url("3"), HeaderMap()).body);
  EXPECT_EQ("to the close", reader->GetHttpPage(peer.Url("4"), HeaderMap()).body);
  EXPECT_EQ("fresh", reader->GetHttpPage(peer.Url("5"), HeaderMap()).body);
  reader->StopServer();
  peer.Join();

  EXPECT_EQ(3, peer.Accepted());
  ASSERT_EQ(5u, requests.size());
  for (size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(0u, requests[i].find("GET /" + std::to_string(i + 1) + " HTTP/1.1\r\n"));
    EXPECT_EQ(std::string::npos, requests[i].find("Connection"));
  }
  EXPECT_TRUE(closedAfterCloseHeader);
  EXPECT_TRUE(closedAtStop);
  EXPECT_EQ(1u, log.CountContaining("Socket closed during reading from: "));
  EXPECT_EQ(1u, log.Count());
}

// A kept connection that the peer closes between two requests, or once it has read the next
// request, is replaced by a new one without a word above Info.
TEST_F(PageReaderTest, KeptConnectionClosedByThePeerIsReplacedQuietly) {
  Use(KeepAlive());
  int served = 0;
  ScriptedPeer peer(
      [&](PeerConnection& connection) {
        const int index = served++;
        connection.ReadRequest();
        connection.Send(OkResponse("body " + std::to_string(index)));
        if (index == 0) {
          connection.Close();
        } else if (index == 1) {
          connection.ReadRequest();
          connection.Close();
        } else {
          connection.WaitForClientClose();
        }
      },
      3);
  EXPECT_EQ("body 0", reader->GetHttpPage(peer.Url("a"), HeaderMap()).body);
  EXPECT_EQ("body 1", reader->GetHttpPage(peer.Url("b"), HeaderMap()).body);
  EXPECT_EQ("body 2", reader->GetHttpPage(peer.Url("c"), HeaderMap()).body);
  reader->StopServer();
  peer.Join();
  EXPECT_EQ(3, peer.Accepted());
  EXPECT_EQ(0u, Alarms(log)) << (log.Count() ? log.Lines().front() : "");
}

TEST_F(PageReaderTest, KeptConnectionUnusedForItsBoundIsClosed) {
  HttpPageReader::Options options = KeepAlive();
  options.keptConnectionIdle = zu::Time::FromMilliSeconds(100);
  Use(options);
  bool closedByReader = false;
  ScriptedPeer peer([&](PeerConnection& connection) {
    connection.ReadRequest();
    connection.Send(OkResponse("kept"));
    closedByReader = connection.WaitForClientClose();
  });
  EXPECT_EQ("kept", reader->GetHttpPage(peer.Url("k"), HeaderMap()).body);
  peer.Join();
  EXPECT_TRUE(closedByReader);
}

// Readers on one server serve their requests side by side; a kept connection does not keep
// its reader alive: the reader's release closes it.
TEST_F(PageReaderTest, ReadersShareOneSocketServer) {
  const zu::net::SocketServerPtr server = zu::net::factory::CreateSocketServer();
  ASSERT_TRUE(server && server->Start(true));
  auto twoRequests = [](const std::string& name) {
    return [name](PeerConnection& connection) {
      for (int i = 0; i < 2; ++i) {
        connection.ReadRequest();
        connection.Send(OkResponse(name + std::to_string(i)));
      }
      connection.WaitForClientClose();
    };
  };
  ScriptedPeer firstPeer(twoRequests("first "));
  ScriptedPeer secondPeer(twoRequests("second "));
  zu::SharedPtr<HttpPageReader> first = HttpPageReader::Create(KeepAlive(), server);
  zu::SharedPtr<HttpPageReader> second = HttpPageReader::Create(KeepAlive(), server);
  std::vector<std::string> firstBodies;
  std::thread other([&]() {
    for (const char* path : {"1", "2"})
      firstBodies.push_back(first->GetHttpPage(firstPeer.Url(path), HeaderMap()).body);
  });
  EXPECT_EQ("second 0", second->GetHttpPage(secondPeer.Url("1"), HeaderMap()).body);
  EXPECT_EQ("second 1", second->GetHttpPage(secondPeer.Url("2"), HeaderMap()).body);
  other.join();
  EXPECT_EQ((std::vector<std::string>{"first 0", "first 1"}), firstBodies);

  const zu::WeakPtr<HttpPageReader> weakFirst = first;
  const zu::WeakPtr<HttpPageReader> weakSecond = second;
  first.reset();
  second.reset();
  firstPeer.Join();
  secondPeer.Join();
  EXPECT_EQ(1, firstPeer.Accepted());
  EXPECT_EQ(1, secondPeer.Accepted());
  EXPECT_TRUE(weakFirst.expired());
  EXPECT_TRUE(weakSecond.expired());
  server->Stop(true);
  EXPECT_EQ(0u, log.Count());
}

}  // namespace

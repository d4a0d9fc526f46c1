#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <iterator>

#include "RawHttp.h"
#include "provider/Catalogue.h"
#include "provider/SampleProvider.h"

namespace {

using namespace provider_test;
using zu::provider::Catalogue;
using zu::provider::SampleProvider;

// Reads the response to a GET of target until its body holds `bytes` bytes; the connection
// stays open (returned in fd) and the body is cut to `bytes`.
std::string ReadStream(std::uint16_t port, const std::string& target, std::size_t bytes, int& fd) {
  int error = 0;
  fd = ConnectTo(port, error);
  if (fd < 0) {
    return std::string();
  }
  std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string data;
  std::size_t bodyAt = std::string::npos;
  char buffer[65536];
  while (bodyAt == std::string::npos || data.size() - bodyAt < bytes) {
    ssize_t received = recv(fd, buffer, sizeof(buffer), 0);
    if (received <= 0) {
      break;
    }
    data.append(buffer, static_cast<std::size_t>(received));
    if (bodyAt == std::string::npos && data.find("\r\n\r\n") != std::string::npos) {
      bodyAt = data.find("\r\n\r\n") + 4;
    }
  }
  return bodyAt == std::string::npos ? std::string() : data.substr(bodyAt, bytes);
}

TEST(LiveStream, EveryStreamUrlLoopsTheFileInWholePacketsUntilStop) {
  std::ifstream in(ZU_TEST_STREAM_FILE, std::ios::binary);
  if (!in) {
    GTEST_SKIP() << "no test stream at " << ZU_TEST_STREAM_FILE << " (ffmpeg missing?)";
  }
  std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(file.size(), 188u * 100);
  Catalogue catalogue;
  std::string error;
  ASSERT_TRUE(Catalogue::Load(Catalogue::SourceDirectory(), catalogue, error)) << error;
  SampleProvider::Options options;
  options.streamFile = ZU_TEST_STREAM_FILE;
  options.paceStream = false;  // past the file's end without waiting for its playing time
  options.log = [](const std::string&) {};
  SampleProvider provider(std::move(catalogue), options);
  ASSERT_TRUE(provider.Start());

  // Two streams at once, each from the file's start, on and on past its end.
  std::size_t wanted = file.size() + 188 * 50;
  int fta = -1, all = -1;
  auto second = std::async(std::launch::async, [&] {
    return ReadStream(provider.Port(), "/stream/72014.ts", wanted, all);
  });
  std::string first = ReadStream(provider.Port(), "/stream/fta/71001.ts", wanted, fta);
  std::string other = second.get();
  for (const std::string* body : {&first, &other}) {
    ASSERT_EQ(wanted, body->size());
    for (std::size_t at = 0; at < body->size(); at += 188) {
      ASSERT_EQ('\x47', (*body)[at]) << "no sync byte at " << at;
    }
    EXPECT_EQ(file, body->substr(0, file.size()));
    EXPECT_EQ(file.substr(0, 188 * 50), body->substr(file.size()));
  }

  // A stream URL no playlist lists is not served.
  for (const char* target : {"/stream/4711.ts", "/stream/plus/71001.ts", "/radio/99.mp3"}) {
    EXPECT_EQ(404, Get(provider.Port(), target).status) << target;
  }

  // Stop ends the streams still open, although nobody reads them any more.
  auto stopped = std::async(std::launch::async, [&] { provider.Stop(); });
  ASSERT_EQ(std::future_status::ready, stopped.wait_for(std::chrono::seconds(60)));
  close(fta);
  close(all);
}

TEST(LiveStream, AFileThatIsNoTransportStreamIsRefusedAtStart) {
  std::string path = ::testing::TempDir() + "not-a-stream.ts";
  std::ofstream(path, std::ios::binary) << std::string(188 * 3, 'x');
  Catalogue catalogue;
  std::string error;
  ASSERT_TRUE(Catalogue::Generate(3, 0, catalogue, error));
  SampleProvider::Options options;
  options.streamFile = path;
  std::string logged;
  options.log = [&logged](const std::string& line) { logged += line; };
  SampleProvider provider(std::move(catalogue), options);
  EXPECT_FALSE(provider.Start());
  EXPECT_NE(std::string::npos, logged.find("not an MPEG transport stream")) << logged;
  std::remove(path.c_str());
}

}  // namespace

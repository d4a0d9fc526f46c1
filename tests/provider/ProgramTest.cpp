#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "RawHttp.h"

namespace {

using provider_test::Get;
using provider_test::Post;

// The provider program run as a child process with its standard output (and error) on pipes.
class Program {
 public:
  explicit Program(std::vector<std::string> arguments) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      dup2(err[1], 2);
      close(out[0]);
      close(err[0]);
      std::vector<char*> argv;
      arguments.insert(arguments.begin(), ZU_PROVIDER_PROGRAM);
      for (std::string& argument : arguments) {
        argv.push_back(&argument[0]);
      }
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    out_ = fdopen(out[0], "r");
    err_ = err[0];
  }
  ~Program() {
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (out_ != nullptr) {
      fclose(out_);
    }
    if (err_ >= 0) {
      close(err_);
    }
  }
  std::string FirstLine() {
    char line[256] = {0};
    return out_ != nullptr && fgets(line, sizeof(line), out_) != nullptr ? line : "";
  }
  std::string Errors() {
    std::string text;
    char buffer[1024];
    ssize_t n;
    while ((n = read(err_, buffer, sizeof(buffer))) > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
  }
  int Wait() {
    int status = 0;
    if (status_ < 0 && waitpid(pid_, &status, 0) == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return status_;
  }
  void Signal(int number) { kill(pid_, number); }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
  int err_ = -1;
  int status_ = -1;
};

std::uint16_t PortOf(const std::string& line) {
  const std::string prefix = "listening 127.0.0.1:";
  if (line.compare(0, prefix.size(), prefix) != 0 || line.back() != '\n') {
    return 0;
  }
  return static_cast<std::uint16_t>(std::stoul(line.substr(prefix.size())));
}

TEST(ProviderProgram, ServesAGeneratedCatalogueWithFaultsAndEndsOnSigterm) {
  Program program({"--port", "0", "--stations", "30", "--radio", "5", "--fault",
                   "playlist-plus=http:404", "--transfer", "stations=chunked-gzip", "--transfer",
                   "playlist-fta=length+latin1+lower-case-headers", "--quirk",
                   "unusable-show-ids"});
  std::uint16_t port = PortOf(program.FirstLine());
  ASSERT_NE(0, port);
  provider_test::RawResponse stations =
      Get(port, "/a/api.mobile.station.get?type=JSON.1", "Accept-Encoding: gzip\r\n");
  ASSERT_EQ(200, stations.status);
  EXPECT_EQ("chunked", stations.Header("transfer-encoding"));
  EXPECT_EQ("", stations.Header("content-encoding"));
  nlohmann::json list = nlohmann::json::parse(stations.body)["data"];
  EXPECT_EQ(30u, list.size());
  EXPECT_EQ(404, Get(port, "/a/service.plus.m3u").status);
  provider_test::RawResponse fta = Get(port, "/a/service.fta.m3u");
  EXPECT_EQ(200, fta.status);
  EXPECT_NE(std::string::npos, fta.raw.find("\r\ncontent-length: "));
  std::string shows =
      Get(port, "/a/api.mobile.event.hour?period=20160131T060000/24H&stationuid=100003").body;
  EXPECT_NE(std::string::npos, shows.find("[[\"abc\",")) << shows;
  // Radio stations and TV stations share the group "Regional".
  std::string radio = Get(port, "/radio.m3u").body;
  EXPECT_NE(std::string::npos, radio.find("Radio Welle 005"));
  EXPECT_NE(std::string::npos, radio.find("\n## Regional\n"));
  EXPECT_EQ("Regional", list[8]["Station"]["Channel"][0]);
  // Control path, and the request list it offers.
  ASSERT_EQ(200, Post(port, "/_control/clear").status);
  EXPECT_EQ(200, Get(port, "/a/service.plus.m3u").status);
  std::string requests = Get(port, "/_control/requests").body;
  EXPECT_NE(std::string::npos, requests.find("GET /a/service.plus.m3u\n"));
  program.Signal(SIGTERM);
  EXPECT_EQ(0, program.Wait());
}

TEST(ProviderProgram, ReadsTheSampleCatalogueAndRefusesBadArguments) {
  {
    Program program({"--host", "localhost"});
    std::uint16_t port = PortOf(program.FirstLine());
    ASSERT_NE(0, port);
    provider_test::RawResponse stations = Get(port, "/a/api.mobile.station.get?type=JSON.1");
    EXPECT_GT(nlohmann::json::parse(stations.body)["data"].size(), 35u);
    program.Signal(SIGINT);
    EXPECT_EQ(0, program.Wait());
  }
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{"--host", "0.0.0.0"}, "only loopback"},
      {{"--port", "70000"}, "bad port"},
      {{"--stations", "5000"}, "--stations takes"},
      {{"--fault", "stations=explode"}, "unknown fault kind"},
      {{"--quirk", "tidy"}, "unknown quirk"},
      {{"--stream-file", "/nonexistent.ts"}, "cannot read the stream file"},
      {{"--catalogue", "/nonexistent"}, "cannot open catalogue"},
      {{"--frobnicate", "1"}, "unknown option"},
  };
  for (const Case& c : cases) {
    Program program(c.arguments);
    EXPECT_EQ("", program.FirstLine()) << c.message;
    EXPECT_NE(std::string::npos, program.Errors().find(c.message)) << c.message;
    EXPECT_NE(0, program.Wait()) << c.message;
  }
}

}  // namespace

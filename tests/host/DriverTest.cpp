// nivotv-host run as a program against the fake add-on, and its command line parser.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/driver/Driver.h"
#include "host/driver/DriverOptions.h"
#include "tests/host/HostTestSupport.h"

namespace zu {
namespace host {
namespace {

using test::ReadWholeFile;
using test::TempDir;

struct ProgramRun {
  int exit = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs nivotv-host with the fake add-on, the built helper libraries and a user path in dir,
// unless the arguments name their own.
ProgramRun RunHost(const TempDir& dir, std::vector<std::string> arguments, bool defaults = true) {
  if (defaults) {
    arguments.insert(arguments.end(), {"--addon", FAKE_ADDON_FOLDER, "--hostbase", ZU_HOST_BASE_DIR,
                                       "--user", dir.Sub("user")});
  }
  std::string command = Quote(NIVOTV_HOST_PROGRAM);
  for (const std::string& argument : arguments)
    command += " " + Quote(argument);
  command += " >" + Quote(dir.Sub("out.txt")) + " 2>" + Quote(dir.Sub("err.txt")) + " </dev/null";
  ProgramRun run;
  int status = std::system(command.c_str());
  run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadWholeFile(dir.Sub("out.txt"));
  run.err = ReadWholeFile(dir.Sub("err.txt"));
  return run;
}

nlohmann::json Parse(const ProgramRun& run) {
  nlohmann::json document = nlohmann::json::parse(run.out, nullptr, false);
  EXPECT_FALSE(document.is_discarded()) << run.out << run.err;
  return document;
}

TEST(DriverProgram, ChannelsAsJsonAndAsTable) {
  TempDir dir;
  ProgramRun run = RunHost(dir, {"channels", "--json"});
  ASSERT_EQ(0, run.exit) << run.err;
  nlohmann::json document = Parse(run);
  ASSERT_TRUE(document["channels"].is_array());
  ASSERT_EQ(3u, document["channels"].size());
  EXPECT_EQ(101, document["channels"][0]["uid"]);
  EXPECT_EQ("Das Erste", document["channels"][0]["name"]);
  EXPECT_EQ(std::string(1023, 'L'), document["channels"][2]["name"]);
  EXPECT_EQ(0, document["result"]["value"]);
  EXPECT_EQ(0, document["hostErrors"]);
  // The log path is printed, and the log is where it says.
  std::string log = document["log"];
  EXPECT_EQ(dir.Sub("user/host.log"), log);
  EXPECT_NE(std::string::npos, run.err.find("host log: " + log));
  EXPECT_NE(std::string::npos, ReadWholeFile(log).find("fake: create base="));

  run = RunHost(dir, {"channels", "--radio"});
  ASSERT_EQ(0, run.exit) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("UID")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("Radio Eins")) << run.out;
  EXPECT_EQ(std::string::npos, run.out.find("Das Erste")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("1 radio channels")) << run.out;
}

TEST(DriverProgram, StatusGroupsMembersGuideAndSignal) {
  TempDir dir;
  ProgramRun run = RunHost(dir, {"status", "--json"});
  ASSERT_EQ(0, run.exit) << run.err;
  nlohmann::json document = Parse(run);
  EXPECT_EQ("pvr.fake", document["addon"]["id"]);
  EXPECT_EQ(0, document["status"]["value"]);
  EXPECT_EQ(true, document["capabilities"]["epg"]);
  EXPECT_EQ(false, document["capabilities"]["timers"]);
  EXPECT_EQ("4.1.0", document["backend"]["pvrApiVersion"]);

  run = RunHost(dir, {"groups"});
  ASSERT_EQ(0, run.exit) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("Sports")) << run.out;

  run = RunHost(dir, {"members", "News", "--json"});
  ASSERT_EQ(0, run.exit) << run.err;
  document = Parse(run);
  ASSERT_EQ(2u, document["members"].size());
  EXPECT_EQ(103, document["members"][1]["channelUid"]);

  run = RunHost(dir, {"guide", "102", "--from", "1700000000", "--hours", "2", "--json"});
  ASSERT_EQ(0, run.exit) << run.err;
  document = Parse(run);
  EXPECT_EQ(102, document["channel"]["uid"]);
  EXPECT_EQ(1700007200, document["end"]);
  ASSERT_EQ(3u, document["entries"].size());  // shows start at the hour before the window
  EXPECT_EQ("Show 102-1", document["entries"][1]["title"]);

  run = RunHost(dir, {"guide", "999"});
  EXPECT_EQ(kExitCallFailed, run.exit);
  EXPECT_NE(std::string::npos, run.err.find("channel 999 is not among")) << run.err;

  run = RunHost(dir, {"signal"});
  ASSERT_EQ(0, run.exit) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("Fake Adapter")) << run.out;
}

TEST(DriverProgram, TimerStepsRunInOneSession) {
  TempDir dir;
  ProgramRun run = RunHost(dir, {"timers", "add", "News at ten", "101", "add", "Match", "102",
                                 "delete", "1", "update", "2", "Final", "list", "--json"});
  ASSERT_EQ(0, run.exit) << run.err;
  nlohmann::json steps = Parse(run)["steps"];
  ASSERT_EQ(5u, steps.size());
  nlohmann::json list = steps[4];
  EXPECT_EQ("list", list["step"]);
  EXPECT_EQ(1, list["amount"]);
  ASSERT_EQ(1u, list["timers"].size());
  EXPECT_EQ(2, list["timers"][0]["clientIndex"]);
  EXPECT_EQ("Final", list["timers"][0]["title"]);
  EXPECT_EQ(102, list["timers"][0]["channelUid"]);

  // An unknown index is the add-on's to refuse, and the run says so.
  run = RunHost(dir, {"timers", "delete", "7"});
  EXPECT_EQ(kExitCallFailed, run.exit);
  EXPECT_NE(std::string::npos, run.err.find("delete answered -2")) << run.err;
}

TEST(DriverProgram, SessionAnswersGuideRefreshTriggers) {
  TempDir dir;
  ProgramRun run = RunHost(
      dir, {"session", "--triggers", "4", "--duration", "120", "--from", "1699999200", "--json"});
  ASSERT_EQ(0, run.exit) << run.err;
  nlohmann::json document = Parse(run);
  EXPECT_EQ(3, document["channels"]["tv"]);
  EXPECT_EQ(1, document["channels"]["radio"]);
  EXPECT_EQ(4u, document["groups"].size());
  EXPECT_EQ(4u, document["guide"].size());
  ASSERT_EQ(4u, document["refreshes"].size());
  EXPECT_EQ(101, document["refreshes"][0]["channel"]);
  EXPECT_EQ(201, document["refreshes"][3]["channel"]);
  EXPECT_EQ(24, document["refreshes"][3]["entries"]);
  EXPECT_EQ(0, document["hostErrors"]);
}

TEST(DriverProgram, FailuresGiveAClearMessageAndExitCode) {
  TempDir dir;
  ProgramRun run = RunHost(
      dir, {"channels", "--addon", dir.Sub("nowhere"), "--hostbase", ZU_HOST_BASE_DIR}, false);
  EXPECT_EQ(kExitLoadFailed, run.exit);
  EXPECT_NE(std::string::npos, run.err.find("nowhere/addon.xml")) << run.err;

  run = RunHost(dir,
                {"status", "--addon", FAKE_ADDON_FOLDER, "--hostbase", dir.Sub("nobase"), "--user",
                 dir.Sub("user"), "--json"},
                false);
  EXPECT_EQ(kExitLoadFailed, run.exit);
  EXPECT_NE(std::string::npos, run.err.find("failed with status 6")) << run.err;
  EXPECT_EQ(6, Parse(run)["createStatus"]["value"]);

  run = RunHost(dir, {"channels", "--hours"}, false);
  EXPECT_EQ(kExitUsage, run.exit);
  EXPECT_NE(std::string::npos, run.err.find("--hours needs a value")) << run.err;
}

TEST(DriverOptions, ParsesCommandsOptionsAndSteps) {
  DriverOptions options;
  std::string error;
  const char* argv[] = {"nivotv-host", "--json", "guide",  "101", "--from",  "1700000000",
                        "--hours",     "6",      "--user", "/u",  "--addon", "/a",
                        "--hostbase",  "/h",     "--log",  "/l"};
  ASSERT_TRUE(ParseDriverOptions(16, argv, options, error)) << error;
  EXPECT_EQ("guide", options.command);
  EXPECT_EQ(std::vector<std::string>{"101"}, options.arguments);
  EXPECT_TRUE(options.json);
  EXPECT_TRUE(options.haveFrom);
  EXPECT_EQ(1700000000, options.from);
  EXPECT_EQ(6, options.hours);
  EXPECT_EQ("/u", options.userPath);
  EXPECT_EQ("/a", options.addonFolder);
  EXPECT_EQ("/h", options.hostBase);
  EXPECT_EQ("/l", options.logPath);

  DriverOptions dashed;
  const char* dashedArgv[] = {"nivotv-host", "members", "--radio", "--", "--odd group--"};
  ASSERT_TRUE(ParseDriverOptions(5, dashedArgv, dashed, error)) << error;
  EXPECT_TRUE(dashed.radio);
  EXPECT_EQ(std::vector<std::string>{"--odd group--"}, dashed.arguments);
}

TEST(DriverOptions, RefusesBadCommandLinesWithAReason) {
  struct Case {
    std::vector<const char*> words;
    const char* reason;
  };
  const Case cases[] = {
      {{}, "no command"},
      {{"play"}, "unknown command"},
      {{"channels", "--fast"}, "unknown option --fast"},
      {{"guide"}, "guide needs one channel uid"},
      {{"guide", "abc"}, "guide needs one channel uid"},
      {{"guide", "99999999999"}, "guide needs one channel uid"},
      {{"guide", "1", "--hours", "0"}, "--hours needs a whole number"},
      {{"guide", "1", "--hours", "5x"}, "--hours needs a whole number"},
      {{"guide", "1", "--from", "-5"}, "--from needs seconds"},
      {{"session", "--duration", "99999999999999999999999"}, "--duration needs whole seconds"},
      {{"session", "--triggers", "0"}, "--triggers needs"},
      {{"members"}, "members needs exactly one group name"},
      {{"status", "extra"}, "status takes no arguments"},
      {{"timers", "add", "title"}, "add needs 2 arguments"},
      {{"timers", "add", "title", "x"}, "\"x\" is not a channel uid"},
      {{"timers", "delete"}, "delete needs 1 argument"},
      {{"timers", "update", "one", "t"}, "\"one\" is not a timer index"},
      {{"timers", "rename"}, "unknown step \"rename\""},
      {{"channels", "--addon", ""}, "--addon needs a non-empty value"},
      {{"channels", "--user", "--json"}, "--user needs a value, not the option --json"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"nivotv-host"};
    argv.insert(argv.end(), c.words.begin(), c.words.end());
    DriverOptions options;
    std::string error;
    EXPECT_FALSE(ParseDriverOptions(static_cast<int>(argv.size()), argv.data(), options, error))
        << c.reason;
    EXPECT_NE(std::string::npos, error.find(c.reason)) << c.reason << " -> " << error;
  }
}

}  // namespace
}  // namespace host
}  // namespace zu

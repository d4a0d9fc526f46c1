#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "kodi20/check/ChildProcess.h"
#include "kodi20/check/KodiSession.h"

namespace {

using zu::kodi20::check::ChildProcess;
using zu::kodi20::check::RunProgram;

ChildProcess::Options Shell(const std::string& script) {
  ChildProcess::Options options;
  options.argv = {"sh", "-c", script};
  return options;
}

TEST(ChildProcessTest, ReportsAProgramThatCannotStart) {
  ChildProcess child;
  ChildProcess::Options options;
  options.argv = {"/nonexistent/kodi20-program"};
  std::string error;
  EXPECT_FALSE(child.Start(options, error));
  EXPECT_NE(error.find("/nonexistent/kodi20-program"), std::string::npos) << error;
  EXPECT_EQ(child.Pid(), 0);
}

TEST(ChildProcessTest, SetsAndRemovesEnvironmentEntries) {
  ::setenv("ZU_KODI20_GONE", "still here", 1);
  ChildProcess::Options options = Shell("echo \"[$ZU_KODI20_SET][$ZU_KODI20_GONE]\"");
  options.environment = {{"ZU_KODI20_SET", "a b"}, {"ZU_KODI20_GONE", ""}};
  std::string output, error;
  ASSERT_TRUE(RunProgram(options, std::chrono::seconds(30), output, error)) << error;
  EXPECT_EQ(output, "[a b][]\n");
}

TEST(ChildProcessTest, ReportsExitStatusAndOverrun) {
  std::string output, error;
  EXPECT_FALSE(RunProgram(Shell("echo failing; exit 3"), std::chrono::seconds(30), output, error));
  EXPECT_NE(error.find("exit status 3"), std::string::npos) << error;
  EXPECT_EQ(output, "failing\n");

  // A program that outlives its bound is killed, not waited for.
  EXPECT_FALSE(RunProgram(Shell("sleep 600"), std::chrono::milliseconds(200), output, error));
  EXPECT_NE(error.find("did not finish"), std::string::npos) << error;
}

TEST(ChildProcessTest, TerminateEndsTheWholeProcessGroup) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ChildProcess child;
  ChildProcess::Options options = Shell("sleep 600 & echo $! >&3; wait");
  options.passFd = fds[1];
  std::string error;
  ASSERT_TRUE(child.Start(options, error)) << error;
  ::close(fds[1]);
  char buffer[32] = {};
  ASSERT_GT(::read(fds[0], buffer, sizeof(buffer) - 1), 0);
  ::close(fds[0]);
  pid_t grandchild = static_cast<pid_t>(std::atoi(buffer));
  ASSERT_GT(grandchild, 0);
  EXPECT_TRUE(child.Running());

  int status = child.Terminate(std::chrono::seconds(10));
  EXPECT_FALSE(ChildProcess::ExitedCleanly(status));
  EXPECT_FALSE(child.Running());
  // The shell's own child got the signal too (it is reaped by init, so poll for its end).
  std::string state;
  EXPECT_TRUE(zu::kodi20::check::WaitFor(
      std::chrono::seconds(30), std::chrono::milliseconds(20),
      [&](std::string& now) {
        std::string stat;
        FILE* file = std::fopen(("/proc/" + std::to_string(grandchild) + "/stat").c_str(), "r");
        if (file == nullptr)
          return true;
        char text[256] = {};
        size_t got = std::fread(text, 1, sizeof(text) - 1, file);
        std::fclose(file);
        stat.assign(text, got);
        now = stat;
        return stat.find(") Z") != std::string::npos;
      },
      state))
      << state;
}

TEST(ChildProcessTest, OnlyThePassedDescriptorIsInherited) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  // A descriptor without close-on-exec, as a library's socket might be.
  int stray = ::dup2(fds[0], 200);
  ASSERT_EQ(stray, 200);
  ChildProcess::Options options = Shell("echo passed >&3; ls /proc/$$/fd");
  options.passFd = fds[1];
  std::string output, error;
  ASSERT_TRUE(RunProgram(options, std::chrono::seconds(30), output, error)) << error;
  ::close(fds[1]);
  char buffer[16] = {};
  ASSERT_GT(::read(fds[0], buffer, sizeof(buffer) - 1), 0);
  EXPECT_STREQ(buffer, "passed\n");
  EXPECT_EQ(output.find("200"), std::string::npos) << output;
  ::close(fds[0]);
  ::close(stray);
}

TEST(ChildProcessTest, DescribesWaitStatuses) {
  EXPECT_TRUE(ChildProcess::ExitedCleanly(0));
  EXPECT_FALSE(ChildProcess::ExitedCleanly(-1));
  EXPECT_EQ(ChildProcess::DescribeStatus(2 << 8), "exit status 2");
  EXPECT_EQ(ChildProcess::DescribeStatus(9), "killed by signal 9");
}

TEST(ProcessHelpersTest, PeakMemoryPortsAndWaits) {
  EXPECT_GT(zu::kodi20::check::ReadPeakResidentKb(::getpid()), 0);
  EXPECT_EQ(zu::kodi20::check::ReadPeakResidentKb(0), 0);
  EXPECT_GT(zu::kodi20::check::FreeLoopbackPort(), 0);

  // A failed wait reports what the probe saw last.
  int calls = 0;
  std::string state;
  EXPECT_FALSE(zu::kodi20::check::WaitFor(
      std::chrono::milliseconds(50), std::chrono::milliseconds(5),
      [&](std::string& now) {
        now = "call " + std::to_string(++calls);
        return false;
      },
      state));
  EXPECT_EQ(state, "call " + std::to_string(calls));
  EXPECT_GE(calls, 2);
}

}  // namespace

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "LogRecorder.h"
#include "output/Output.h"
#include "output/PrintFormatter.h"

namespace {

using zu_test::RecordingTarget;

class FixedFormatter : public zu::output::PrintFormatter {
 public:
  std::string Format(const char* module, int traceLevel, const char*, unsigned int) override {
    return std::string("[") + module + "/" + std::to_string(traceLevel) + "] ";
  }
};

TEST(OutputTargets, EachLevelGoesToItsOwnTargetWithoutNewline) {
  auto errors = std::make_shared<RecordingTarget>();
  auto infos = std::make_shared<RecordingTarget>();
  zu::output::SetErrorTarget(errors);
  zu::output::SetInfoTarget(infos);
  zu::output::SetOuputFormatter(std::make_shared<FixedFormatter>());

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  zu::output::Error("E", "f", 1, "%s", "bad");
  zu::output::Info("I", "f", 2, "n=%u", 5u);
  zu::output::Warning("W", "f", 3, "%s", "to stderr");
  zu::output::Trace("T", 4, "f", 4, "%s", "to stdout");
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_EQ(std::vector<std::string>{"[E/0] bad"}, errors->Lines());
  EXPECT_EQ(std::vector<std::string>{"[I/0] n=5"}, infos->Lines());
  // Levels without a target still use the standard streams, with the installed formatter.
  EXPECT_EQ("[W/0] to stderr\n", err);
  EXPECT_EQ("[T/4] to stdout\n", out);
}

TEST(OutputTargets, SetOuputTargetRoutesAllLevelsAndEmptyRestoresStandardStreams) {
  auto target = std::make_shared<RecordingTarget>();
  zu::output::SetOuputTarget(target);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  zu::output::Error("M", "f", 1, "%s", "e");
  zu::output::Warning("M", "f", 1, "%s", "w");
  zu::output::Info("M", "f", 1, "%s", "i");
  zu::output::Trace("M", 1, "f", 1, "%s", "t");
  zu::output::SetOuputTarget(nullptr);
  zu::output::Info("M", "f", 1, "%s", "after");
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(4u, target->Count());
  EXPECT_EQ("", err);
  EXPECT_EQ(0u, out.find("%I("));
  EXPECT_NE(std::string::npos, out.find("after\n"));
}

TEST(OutputFormatters, EmptyFormatterRestoresEachLevelsOwnMarker) {
  auto target = std::make_shared<RecordingTarget>();
  zu::output::SetOuputTarget(target);
  zu::output::SetOuputFormatter(std::make_shared<FixedFormatter>());
  zu::output::Error("M", "f", 1, "%s", "x");
  zu::output::SetOuputFormatter(nullptr);
  zu::output::Error("M", "f", 1, "%s", "x");
  zu::output::Warning("M", "f", 1, "%s", "x");
  zu::output::Info("M", "f", 1, "%s", "x");
  zu::output::Trace("M", 2, "f", 1, "%s", "x");
  const std::vector<std::string> lines = target->Lines();
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ("[M/0] x", lines[0]);
  EXPECT_EQ(0u, lines[1].find("%E("));
  EXPECT_EQ(0u, lines[2].find("%W("));
  EXPECT_EQ(0u, lines[3].find("%I("));
  EXPECT_EQ(0u, lines[4].find("%T("));
}

TEST(OutputLength, MessagesOfAnyLengthAreWrittenWhole) {
  auto target = std::make_shared<RecordingTarget>();
  zu::output::SetErrorTarget(target);
  const std::string big(20000, 'x');
  zu::output::Error("M", "f", 1, "%s|end", big.c_str());
  ASSERT_EQ(1u, target->Count());
  const std::string line = target->Lines()[0];
  EXPECT_EQ(big + "|end", line.substr(line.size() - big.size() - 4));

  zu::output::SetErrorTarget(nullptr);
  testing::internal::CaptureStderr();
  zu::output::Error("M", "f", 1, "%s", big.c_str());
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_GT(err.size(), big.size());
  EXPECT_EQ(big + "\n", err.substr(err.size() - big.size() - 1));
}

// Writers on several threads while the routing keeps changing: no line may be lost or
// duplicated, and nothing may crash (the sanitizer builds check the rest).
TEST(OutputConcurrency, RoutingChangesWhileOtherThreadsWrite) {
  auto first = std::make_shared<RecordingTarget>();
  auto second = std::make_shared<RecordingTarget>();
  auto formatter = std::make_shared<FixedFormatter>();
  zu::output::SetOuputTarget(first);

  constexpr int kWriters = 3;
  constexpr int kLines = 2000;
  std::atomic<int> finished{0};
  testing::internal::CaptureStdout();
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([w, &finished] {
      for (int i = 0; i < kLines; ++i)
        zu::output::Info("W", "writer", static_cast<unsigned int>(w), "line %d", i);
      ++finished;
    });
  }
  for (int round = 0; finished.load() < kWriters; ++round) {
    switch (round % 4) {
      case 0:
        zu::output::SetOuputTarget(second);
        break;
      case 1:
        zu::output::SetOuputFormatter(formatter);
        break;
      case 2:
        zu::output::SetInfoTarget(nullptr);
        break;
      default:
        zu::output::SetOuputFormatter(nullptr);
        zu::output::SetOuputTarget(first);
        break;
    }
    std::this_thread::yield();
  }
  for (std::thread& writer : writers)
    writer.join();
  const std::string out = testing::internal::GetCapturedStdout();
  size_t onStdout = 0;
  for (size_t at = out.find("line "); at != std::string::npos; at = out.find("line ", at + 1))
    ++onStdout;
  EXPECT_EQ(static_cast<size_t>(kWriters * kLines), first->Count() + second->Count() + onStdout);
}

}  // namespace

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "output/DefaultPrintFormatter.h"
#include "output/Output.h"

namespace {

// The text with the date that starts at position at ("06-Dec-2026 17:32:11") replaced by
// "<date>"; the text unchanged when no date in that form stands there.
std::string MaskDate(const std::string& text, size_t at) {
  const std::string pattern = "dd-Aaa-dddd dd:dd:dd";
  if (text.size() < at + pattern.size())
    return text;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[at + i]);
    const char p = pattern[i];
    const bool ok = p == 'd'   ? std::isdigit(c) != 0
                    : p == 'A' ? std::isupper(c) != 0
                    : p == 'a' ? std::islower(c) != 0
                               : c == static_cast<unsigned char>(p);
    if (!ok)
      return text;
  }
  return text.substr(0, at) + "<date>" + text.substr(at + pattern.size());
}

TEST(DefaultPrintFormatter, ModuleRightAlignedInSixColumnsAfterMarkerAndDate) {
  zu::output::DefaultPrintFormatter formatter("%E");
  const std::string prefix = formatter.Format("ZUMT", 0, "void zu::f(int)", 42);
  EXPECT_EQ("%E(<date>,   ZUMT), void zu::f(int)(42): ", MaskDate(prefix, 3));
  // Longer module tags are not cut.
  const std::string longer = formatter.Format("NivoTVPlugin", 0, "f", 1);
  EXPECT_NE(std::string::npos, longer.find(", NivoTVPlugin), f(1): ")) << longer;
}

TEST(DefaultPrintFormatter, TraceLevelRightAlignedInFourColumnsInsideBrackets) {
  zu::output::DefaultPrintFormatter formatter("%T");
  const std::string prefix = formatter.Format("NET", 7, "g()", 9);
  EXPECT_EQ("%T(<date>,    NET[   7]), g()(9): ", MaskDate(prefix, 3));
  EXPECT_NE(std::string::npos, formatter.Format("NET", 1234, "g()", 9).find("NET[ 1234]"));
  EXPECT_NE(std::string::npos, formatter.Format("NET", -5, "g()", 9).find("NET[  -5]"));
}

TEST(OutputDefaultRouting, ErrorGoesToStandardErrorAsOneLine) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  zu::output::Error("ZUBASE", "bool zu::X::Open()", 17, "%s %d", "failed", 3);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ("", out);
  EXPECT_EQ("%E(<date>, ZUBASE), bool zu::X::Open()(17): failed 3\n", MaskDate(err, 3));
}

TEST(OutputDefaultRouting, WarningToStandardErrorInfoAndTraceToStandardOutput) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  zu::output::Warning("W", "f", 1, "%s", "warn");
  zu::output::Info("I", "f", 2, "%s", "info");
  zu::output::Trace("T", 3, "f", 3, "%s", "trace");
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(0u, err.find("%W("));
  EXPECT_EQ(std::string::npos, err.find("info"));
  EXPECT_NE(std::string::npos, err.find("f(1): warn\n"));
  EXPECT_EQ(0u, out.find("%I("));
  EXPECT_NE(std::string::npos, out.find("f(2): info\n%T("));
  EXPECT_NE(std::string::npos, out.find("[   3]), f(3): trace\n"));
}

TEST(OutputTraceLevel, WritesOnlyLevelsBelowTheTraceLevel) {
  EXPECT_EQ(10, zu::output::GetTraceLevel());
  testing::internal::CaptureStdout();
  zu::output::Trace("ZUMT", 10, "f", 1, "%s", "hidden");
  zu::output::Trace("ZUMT", 9, "f", 1, "%s", "shown9");
  zu::output::SetTraceLevel(11);
  zu::output::Trace("ZUMT", 10, "f", 1, "%s", "shown10");
  zu::output::Trace("ZUMT", 11, "f", 1, "%s", "hidden11");
  zu::output::SetTraceLevel(0);
  zu::output::Trace("ZUMT", 0, "f", 1, "%s", "hidden0");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(0, zu::output::GetTraceLevel());
  EXPECT_EQ(std::string::npos, out.find("hidden"));
  EXPECT_NE(std::string::npos, out.find("  ZUMT[   9]), f(1): shown9\n"));
  EXPECT_NE(std::string::npos, out.find("  ZUMT[  10]), f(1): shown10\n"));
}

}  // namespace

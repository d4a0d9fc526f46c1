#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "base/String.h"

namespace {

std::string CallVPrint(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string result = zu::string::VPrint(format, arguments);
  va_end(arguments);
  return result;
}

TEST(StringPrint, FormatsShortAndVeryLongResultsWhole) {
  EXPECT_EQ("x=5 y=ab", zu::string::Print("x=%d y=%s", 5, "ab"));
  EXPECT_EQ("", zu::string::Print("%s", ""));

  // Several kilobytes, just around the buffer's doubling steps, with text after the long part.
  for (size_t size : {127u, 128u, 129u, 255u, 256u, 5000u, 70000u}) {
    const std::string big(size, 'k');
    const std::string printed = zu::string::Print("<%s>%d", big.c_str(), 42);
    ASSERT_EQ(size + 4, printed.size()) << size;
    EXPECT_EQ("<" + big + ">42", printed);
  }
}

TEST(StringPrint, VPrintCanUseItsArgumentsWhileGrowing) {
  // The arguments are walked again each time the buffer grows; they must stay intact.
  const std::string big(3000, 'q');
  EXPECT_EQ(big + "|7|" + big, CallVPrint("%s|%d|%s", big.c_str(), 7, big.c_str()));
}

}  // namespace

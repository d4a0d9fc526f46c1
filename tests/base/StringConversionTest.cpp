#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/String.h"

namespace {

using namespace zu::string;

TEST(StringToUnsigned, ReadsLeadingDecimalAndGivesZeroForEverythingElse) {
  EXPECT_EQ(0u, ToUint32(""));
  EXPECT_EQ(0u, ToUint32("x"));
  EXPECT_EQ(0u, ToUint32("x12"));
  EXPECT_EQ(12u, ToUint32("12abc"));
  EXPECT_EQ(7u, ToUint32("  +7"));
  EXPECT_EQ(4294967295u, ToUint32("4294967295"));
  // A negative text or a value above 32 bits is no unsigned 32-bit number: a Content-Length
  // of "-1" or "4294967297" must not become a huge or a tiny length.
  EXPECT_EQ(0u, ToUint32("-1"));
  EXPECT_EQ(0u, ToUint32(" -5"));
  EXPECT_EQ(0u, ToUint32("4294967296"));
  EXPECT_EQ(0u, ToUint32("4294967297"));
  EXPECT_EQ(0u, ToUint32("99999999999999999999999"));

  EXPECT_EQ(255, ToUint8("255"));
  EXPECT_EQ(0, ToUint8("256"));
  EXPECT_EQ(0, ToUint8("-1"));
  EXPECT_EQ(65535, ToUint16("65535"));
  EXPECT_EQ(0, ToUint16("65536"));
  EXPECT_EQ(18446744073709551615ull, ToUint64("18446744073709551615"));
  EXPECT_EQ(0u, ToUint64("18446744073709551616"));
  EXPECT_EQ(0u, ToUint64("-1"));
}

TEST(StringToSigned, KeepsTheSignAndRejectsValuesOutsideTheType) {
  EXPECT_EQ(-128, ToSint8("-128"));
  EXPECT_EQ(127, ToSint8("127"));
  EXPECT_EQ(0, ToSint8("128"));
  EXPECT_EQ(-32768, ToSint16("-32768"));
  EXPECT_EQ(0, ToSint16("32768"));
  EXPECT_EQ(-2147483647 - 1, ToSint32("-2147483648"));
  EXPECT_EQ(0, ToSint32("2147483648"));
  EXPECT_EQ(-42, ToSint32("\t-42 rest"));
  EXPECT_EQ(0, ToSint32("x1"));
  EXPECT_EQ(0, ToSint32("- 1"));
  EXPECT_EQ(INT64_MIN, ToSint64("-9223372036854775808"));
  EXPECT_EQ(0, ToSint64("9223372036854775808"));
}

TEST(StringToFloatingPoint, ReadsLeadingNumberOrGivesZero) {
  EXPECT_FLOAT_EQ(1.5f, ToFloat("1.5"));
  EXPECT_FLOAT_EQ(0.0f, ToFloat("abc"));
  EXPECT_DOUBLE_EQ(-2.25e10, ToDouble(" -2.25e10xyz"));
  EXPECT_DOUBLE_EQ(0.0, ToDouble(""));
}

TEST(StringHexToUint32, ReadsHexAndRejectsWhatExceeds32Bits) {
  EXPECT_EQ(26u, HexToUint32("1a"));
  EXPECT_EQ(26u, HexToUint32("1A;ext=1"));
  EXPECT_EQ(0xFFFFFFFFu, HexToUint32("ffffffff"));
  EXPECT_EQ(0u, HexToUint32("100000000"));
  EXPECT_EQ(0u, HexToUint32("ffffffffffffffffffff"));
  EXPECT_EQ(0u, HexToUint32("-1"));
  EXPECT_EQ(0u, HexToUint32(""));
  EXPECT_EQ(0u, HexToUint32("zz"));
  EXPECT_EQ(0u, HexToUint32("\r\n"));
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "nivo/Json.h"

namespace {

using zu::nivo::JsonError;
using zu::nivo::JsonSyntaxError;
using zu::nivo::JsonValue;
using zu::nivo::ParseJson;

std::string TypeErrorOf(void (*access)(const JsonValue&), const std::string& text) {
  const JsonValue root = ParseJson(text);
  try {
    access(root);
  } catch (const JsonError& e) {
    return e.what();
  }
  return "";
}

TEST(Json, TypedAccessKeepsTypesApart) {
  const JsonValue root = ParseJson(
      R"({"i": -7, "u": 18446744073709551615, "big": 4294967301, "f": 1.0, "s": "12",
          "n": null, "b": true, "a": [1, "x"], "o": {}})");
  EXPECT_EQ(-7, root.Member("i").GetInt64());
  EXPECT_EQ(-1, root.Member("u").GetInt64());
  EXPECT_EQ(4294967301LL, root.Member("big").GetInt64());
  EXPECT_EQ(5, root.Member("big").GetInt());
  EXPECT_FALSE(root.Member("f").IsInteger());
  EXPECT_FALSE(root.Member("s").IsInteger());
  EXPECT_TRUE(root.Member("n").IsNull());
  EXPECT_TRUE(root.Member("b").GetBool());
  EXPECT_EQ(2u, root.Member("a").Size());
  EXPECT_EQ("x", root.Member("a")[1].GetString());
  EXPECT_TRUE(root.Member("o").IsObject());
  EXPECT_FALSE(root.FindMember("missing").has_value());
  // Views stay valid after the root view is gone: they share the document.
  const JsonValue element = ParseJson(R"([["kept"]])")[0][0];
  EXPECT_EQ("kept", element.GetString());
}

TEST(Json, ErrorsNameTheProblemAndThePlace) {
  EXPECT_EQ(
      "data[1].Station: member 'UID' not found",
      TypeErrorOf([](const JsonValue& v) { v.Member("data")[1].Member("Station").Member("UID"); },
                  R"({"data": [{}, {"Station": {"uid": 1}}]})"));
  EXPECT_EQ("value is not an array",
            TypeErrorOf([](const JsonValue& v) { v.Size(); }, R"({"data": 1})"));
  EXPECT_EQ(
      "data: value is not an integer",
      TypeErrorOf([](const JsonValue& v) { v.Member("data").GetInt64(); }, R"({"data": 1.5})"));
  EXPECT_EQ("[0]: value is not a string",
            TypeErrorOf([](const JsonValue& v) { v[0].GetString(); }, "[null]"));
  EXPECT_EQ("value is not an object", TypeErrorOf([](const JsonValue& v) { v.Member("x"); }, "[]"));
  EXPECT_EQ("index 2 out of range (array of 2)",
            TypeErrorOf([](const JsonValue& v) { v[2]; }, "[1, 2]"));
  // Deep places, with values of the same content elsewhere in the document: the place named
  // is the one of the value read.
  EXPECT_EQ("data[2].Station.Channel[1]: value is not an integer",
            TypeErrorOf(
                [](const JsonValue& v) {
                  v.Member("data")[2].Member("Station").Member("Channel")[1].GetInt64();
                },
                R"({"a": {"Channel": ["x", "1"]}, "data": [1, {"Channel": ["x", "1"]},
                    {"Station": {"Channel": ["x", "1"]}}]})"));
  EXPECT_EQ("[1][0].k: value is not a boolean",
            TypeErrorOf([](const JsonValue& v) { v[1][0].Member("k").GetBool(); },
                        R"([[{"k": 1}], [{"k": 1}]])"));
}

// The reason of the syntax error text raises, or "" when it parses.
std::string SyntaxReason(const std::string& text) {
  try {
    ParseJson(text);
  } catch (const JsonSyntaxError& e) {
    EXPECT_GE(e.Line(), 1u);
    EXPECT_GE(e.Column(), 1u);
    return e.Reason();
  }
  return "";
}

TEST(Json, SyntaxErrorsAreTheirOwnType) {
  EXPECT_EQ("not a value", SyntaxReason("nonsense"));
  EXPECT_NE("", SyntaxReason(""));
  EXPECT_NE("", SyntaxReason("{\"a\": 1"));
  EXPECT_NE("", SyntaxReason("[1, 2] trailing"));
  EXPECT_NE("", SyntaxReason("{\"a\" 1}"));
  EXPECT_NE("", SyntaxReason("\"\xff\xfe\""));
  EXPECT_NE("", SyntaxReason("1e99999"));
  // Not a JsonError: callers tell broken documents from unexpected ones.
  bool caughtAsTypeError = false;
  try {
    ParseJson("[1,,2]");
  } catch (const JsonError&) {
    caughtAsTypeError = true;
  } catch (const JsonSyntaxError& e) {
    EXPECT_STREQ("not a value at line 1, column 4", e.what());
  }
  EXPECT_FALSE(caughtAsTypeError);
  try {
    ParseJson("[\n  1,\n  x]");
    ADD_FAILURE();
  } catch (const JsonSyntaxError& e) {
    EXPECT_EQ(3u, e.Line());
    EXPECT_EQ(3u, e.Column());
  }
}

TEST(Json, NestingDepthIsBounded) {
  const std::size_t limit = zu::nivo::kMaxJsonDepth;
  EXPECT_EQ("", SyntaxReason(std::string(limit, '[') + std::string(limit, ']')));
  EXPECT_EQ("nesting too deep",
            SyntaxReason(std::string(limit + 1, '[') + std::string(limit + 1, ']')));
  EXPECT_EQ("nesting too deep", SyntaxReason(std::string(1000000, '{')));
  // Brackets inside strings, escaped quotes included, do not count.
  const std::string quoted = "[\"\\\"" + std::string(2 * limit, '[') + "\"]";
  EXPECT_EQ("", SyntaxReason(quoted));
}

}  // namespace

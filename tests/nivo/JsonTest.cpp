#include <gtest/gtest.h>

#include <optional>
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

// The syntax error text raises, if any.
std::optional<JsonSyntaxError> SyntaxError(const std::string& text) {
  try {
    ParseJson(text);
  } catch (const JsonSyntaxError& e) {
    EXPECT_GE(e.Line(), 1u);
    EXPECT_GE(e.Column(), 1u);
    return e;
  }
  return std::nullopt;
}

// The reason of the syntax error text raises, or "" when it parses.
std::string SyntaxReason(const std::string& text) {
  const std::optional<JsonSyntaxError> error = SyntaxError(text);
  return error ? error->Reason() : "";
}

TEST(Json, SyntaxErrorsAreTheirOwnType) {
  EXPECT_EQ("not a value", SyntaxReason("nonsense"));
  EXPECT_NE("", SyntaxReason(""));
  EXPECT_NE("", SyntaxReason("{\"a\": 1"));
  EXPECT_NE("", SyntaxReason("[1, 2] trailing"));
  EXPECT_NE("", SyntaxReason("{\"a\" 1}"));
  // Outside strings, bytes that are not JSON stay an error.
  EXPECT_NE("", SyntaxReason("[\xf6]"));
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

// The one string of a document.
std::string StringOf(const std::string& document) {
  return ParseJson(document)[0].GetString();
}

TEST(Json, StringsTakeAnyByteAsProvidersSendThem) {
  // Raw control characters are the characters themselves.
  EXPECT_EQ(
      "a\tb\x01"
      "c\n",
      StringOf("[\"a\tb\x01"
               "c\n\"]"));
  EXPECT_EQ(std::string("a\0b", 3), StringOf(std::string("[\"a\0b\"]", 8)));
  // Bytes that start no UTF-8 sequence are Windows-1252; valid sequences stay as they are.
  EXPECT_EQ("K\xC3\xB6ln \xE2\x82\xAC \xC3\xB6 \xF0\x9F\x93\xBA",
            StringOf("[\"K\xF6ln \x80 \xC3\xB6 \xF0\x9F\x93\xBA\"]"));
  EXPECT_EQ("\xC3\xA2\xE2\x80\x9A", StringOf("[\"\xE2\x82\"]"));
  // Escaped surrogates without their partner, and broken "\u" escapes, are U+FFFD.
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(replacement + "x", StringOf(R"(["\ud800x"])"));
  EXPECT_EQ(replacement, StringOf(R"(["\udc00"])"));
  EXPECT_EQ(replacement + "\xF0\x90\x80\x80", StringOf(R"(["\ud800\ud800\udc00"])"));
  EXPECT_EQ(replacement + replacement, StringOf(R"(["\ud800\udc"])"));
  EXPECT_EQ(replacement + "g", StringOf(R"(["\u12g"])"));
  EXPECT_EQ(replacement, StringOf(R"(["\u12"])"));
  // Unknown escapes are the escaped character.
  EXPECT_EQ("x' \x01\xC3\xB6", StringOf("[\"\\x\\' \\\x01\\\xF6\"]"));
  // Valid escapes are untouched around repairs.
  EXPECT_EQ("\xF0\x9F\x98\x80/\"\t\xC3\xB6", StringOf(R"(["\ud83d\ude00\/\"\t\u00f6"])"));
  // Names of members are strings too.
  const JsonValue root = ParseJson("{\"K\xF6ln\": \"\t\"}");
  EXPECT_EQ("\t", root.Member("K\xC3\xB6ln").GetString());
}

// "line:column" of the syntax error text raises.
std::string ErrorPlace(const std::string& text) {
  const std::optional<JsonSyntaxError> error = SyntaxError(text);
  return error ? std::to_string(error->Line()) + ":" + std::to_string(error->Column()) : "";
}

TEST(Json, ASyntaxErrorAfterRepairsIsPlacedInTheTextAsReceived) {
  // Each repair changes the length: a control character becomes an escape of six bytes, a
  // Latin-1 byte two, an unknown escape loses its backslash.
  EXPECT_EQ("1:9", ErrorPlace("[\"\t\t\t\", x]"));
  EXPECT_EQ("1:10", ErrorPlace("[\"\\q\\q\", x]"));
  EXPECT_EQ("2:8", ErrorPlace("{\"a\": \"\xF6\xF6\x01\\u12\",\n  \"b\": \xF6}"));
  // A string cut by the end of the document.
  EXPECT_EQ("1:7", ErrorPlace("[\"\xF6\t\\x"));
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

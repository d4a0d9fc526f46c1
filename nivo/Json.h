#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace zu {
namespace nivo {

// A JSON value of another type than the reader asked for, a missing object member or an array
// index out of range. what() names the value's place in the document and the problem, e.g.
// "data[3].Station: member 'UID' not found".
class JsonError : public std::runtime_error {
 public:
  explicit JsonError(const std::string& message) : std::runtime_error(message) {}
};

// Text that is not a JSON document, or one nested deeper than kMaxJsonDepth. Reason() is a
// short text such as "not a value"; what() adds the line and column (both counted from 1).
class JsonSyntaxError : public std::runtime_error {
 public:
  JsonSyntaxError(const std::string& reason, std::size_t line, std::size_t column);
  const std::string& Reason() const { return reason_; }
  std::size_t Line() const { return line_; }
  std::size_t Column() const { return column_; }

 private:
  std::string reason_;
  std::size_t line_;
  std::size_t column_;
};

// Deepest nesting of arrays and objects a document may have.
const std::size_t kMaxJsonDepth = 512;

// A read-only view of one value of a parsed document. Copies are cheap and share the
// document, which lives as long as any view of it. Typed access never converts: an integer
// is a JSON number without fraction or exponent, never a string of digits or a float.
// Every accessor throws JsonError when the value is not of the type it reads.
class JsonValue {
 public:
  bool IsNull() const;
  bool IsBool() const;
  bool IsInteger() const;
  bool IsString() const;
  bool IsArray() const;
  bool IsObject() const;

  bool GetBool() const;
  // The integer as 64 bits; unsigned values above the signed range keep their low 64 bits.
  std::int64_t GetInt64() const;
  // The low 32 bits of GetInt64, as a signed value.
  int GetInt() const;
  const std::string& GetString() const;

  // Number of elements of an array.
  std::size_t Size() const;
  // Element of an array; throws JsonError when index >= Size().
  JsonValue operator[](std::size_t index) const;
  // Member of an object; throws JsonError when there is none of that name.
  JsonValue Member(const std::string& name) const;
  // Member of an object, or nothing when there is none of that name.
  std::optional<JsonValue> FindMember(const std::string& name) const;

  // Where the value sits in its document, e.g. "data[3].Station"; empty for the root.
  // Worked out when first asked for (error messages): reading a document never builds one.
  const std::string& Path() const;

 private:
  friend JsonValue ParseJson(const std::string& text);
  JsonValue(std::shared_ptr<const nlohmann::json> document, const nlohmann::json* value);
  [[noreturn]] void Fail(const std::string& problem) const;

  std::shared_ptr<const nlohmann::json> document_;
  const nlohmann::json* value_;
  // The path, once Path() was asked.
  mutable std::optional<std::string> path_;
};

// Parses a whole document; anything but white space after the value is an error. Inside
// strings any byte is taken, as providers send them: a raw control character is the character
// itself; a byte that starts no well-formed UTF-8 sequence is read as Windows-1252 (a Latin-1
// 0xF6 is "ö"); an escaped surrogate without its partner, or a "\u" without four hex digits,
// is U+FFFD; an unknown escape ("\x") is the escaped character. Every string read is UTF-8.
// Throws JsonSyntaxError for text that is not JSON outside strings, with the line and column
// of the place in text, or for a document nested deeper than kMaxJsonDepth; the nesting is
// checked before the parser sees the text.
JsonValue ParseJson(const std::string& text);

}  // namespace nivo
}  // namespace zu

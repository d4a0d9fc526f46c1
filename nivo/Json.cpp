#include "nivo/Json.h"

#include <algorithm>
#include <vector>

#include <nlohmann/json.hpp>

#include "nivo/TextEncoding.h"

namespace zu {
namespace nivo {

namespace {

// Line and column (from 1) of a byte offset.
void Locate(const std::string& text, std::size_t offset, std::size_t& line, std::size_t& column) {
  if (offset > text.size())
    offset = text.size();
  line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  column = offset - lineStart + 1;
}

// How the scan of a document treats each byte inside a string.
enum StringByte : unsigned char { kPlainByte, kQuoteByte, kBackslashByte, kControlByte, kHighByte };
// ... and outside strings.
enum StructureByte : unsigned char { kOtherByte, kOpenByte, kCloseByte, kStringStartByte };

struct ByteTables {
  constexpr ByteTables() : inString(), outside() {
    for (int b = 0; b < 256; ++b) {
      inString[b] = b < 0x20    ? kControlByte
                    : b == '"'  ? kQuoteByte
                    : b == '\\' ? kBackslashByte
                    : b >= 0x80 ? kHighByte
                                : kPlainByte;
      outside[b] = b == '[' || b == '{'   ? kOpenByte
                   : b == ']' || b == '}' ? kCloseByte
                   : b == '"'             ? kStringStartByte
                                          : kOtherByte;
    }
  }
  unsigned char inString[256];
  unsigned char outside[256];
};

constexpr ByteTables kBytes;

const char kReplacementEscape[] = "\\ufffd";

// The one pass over a document before the parser sees it. It finds the bracket that nests
// too deep, and it repairs the strings where the parser would refuse what providers send
// inside them: a raw control character becomes its escape (the string holds the character as
// sent); a byte that starts no well-formed UTF-8 sequence is taken as Windows-1252; an escaped
// surrogate without its partner and a "\u" without four hex digits become U+FFFD; an unknown
// escape ("\x", "\'") stands for the escaped character. Outside strings nothing is changed:
// what is not JSON there stays the parser's to report. Strings are found the way the parser
// lexes them, so up to the parser's first syntax error both see the same strings and depth.
// A document that needs no repair is not copied.
class DocumentScan {
 public:
  explicit DocumentScan(const std::string& text) : text_(text) { Run(); }

  // Offset of the bracket that opens level kMaxJsonDepth + 1, or npos. The scan stops there.
  std::size_t TooDeep() const { return tooDeep_; }
  // What the parser is to read: the document itself when it needed no repair.
  const std::string& Text() const { return repaired_ ? out_ : text_; }
  // The offset in the document of an offset in Text(); a place inside a replacement maps to
  // the start of what it replaced.
  std::size_t DocumentOffset(std::size_t offset) const {
    auto after = std::upper_bound(
        repairs_.begin(), repairs_.end(), offset,
        [](std::size_t value, const Repair& repair) { return value < repair.out; });
    if (after == repairs_.begin())
      return offset;
    const Repair& repair = *(after - 1);
    if (offset < repair.out + repair.outLength)
      return repair.in;
    return repair.in + repair.inLength + (offset - repair.out - repair.outLength);
  }

 private:
  // Bytes [in, in + inLength) of the document became [out, out + outLength) of the copy.
  struct Repair {
    std::size_t in;
    std::size_t inLength;
    std::size_t out;
    std::size_t outLength;
  };

  void Run() {
    const char* const data = text_.data();
    const std::size_t size = text_.size();
    std::size_t depth = 0;
    std::size_t i = 0;
    while (i < size) {
      const unsigned char kind = kBytes.outside[static_cast<unsigned char>(data[i])];
      if (kind == kStringStartByte) {
        i = ScanString(i + 1);
        continue;
      }
      if (kind == kOpenByte) {
        if (++depth > kMaxJsonDepth) {
          tooDeep_ = i;
          return;
        }
      } else if (kind == kCloseByte && depth > 0) {
        --depth;
      }
      ++i;
    }
    if (repaired_)
      out_.append(text_, copied_, std::string::npos);
  }

  // From the first byte of a string's content to the byte after its closing quote (or the
  // end of a cut document).
  std::size_t ScanString(std::size_t i) {
    const char* const data = text_.data();
    const std::size_t size = text_.size();
    for (;;) {
      // No bound needed: the text ends in a zero byte, which is not plain.
      unsigned char kind;
      while ((kind = kBytes.inString[static_cast<unsigned char>(data[i])]) == kPlainByte)
        ++i;
      if (kind == kQuoteByte)
        return i + 1;
      if (i >= size)
        return size;
      const unsigned char byte = static_cast<unsigned char>(data[i]);
      switch (kind) {
        case kBackslashByte:
          i = ScanEscape(i);
          break;
        case kControlByte: {
          static const char kHex[] = "0123456789abcdef";
          const char escape[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
          Replace(i, 1, escape, sizeof(escape));
          ++i;
          break;
        }
        default: {
          const std::size_t length = Utf8SequenceLength(data + i, size - i);
          if (length > 0) {
            i += length;
          } else {
            std::string character;
            AppendWindows1252(byte, character);
            Replace(i, 1, character.data(), character.size());
            ++i;
          }
          break;
        }
      }
    }
  }

  // From a backslash to the first byte after its escape.
  std::size_t ScanEscape(std::size_t i) {
    if (i + 1 >= text_.size())
      return text_.size();
    switch (text_[i + 1]) {
      case '"':
      case '\\':
      case '/':
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't':
        return i + 2;
      case 'u':
        return ScanUnicodeEscape(i);
      default:
        // The backslash goes; the character after it is read as string content.
        Replace(i, 1, "", 0);
        return i + 1;
    }
  }

  std::size_t ScanUnicodeEscape(std::size_t i) {
    std::uint32_t value = 0;
    const std::size_t digits = HexDigits(i + 2, value);
    if (digits < 4) {
      Replace(i, 2 + digits, kReplacementEscape, sizeof(kReplacementEscape) - 1);
      return i + 2 + digits;
    }
    if (value >= 0xD800 && value <= 0xDBFF) {
      std::uint32_t low = 0;
      if (text_.compare(i + 6, 2, "\\u") == 0 && HexDigits(i + 8, low) == 4 && low >= 0xDC00 &&
          low <= 0xDFFF)
        return i + 12;
      Replace(i, 6, kReplacementEscape, sizeof(kReplacementEscape) - 1);
    } else if (value >= 0xDC00 && value <= 0xDFFF) {
      Replace(i, 6, kReplacementEscape, sizeof(kReplacementEscape) - 1);
    }
    return i + 6;
  }

  // Reads up to four hex digits from at; how many there were.
  std::size_t HexDigits(std::size_t at, std::uint32_t& value) const {
    std::size_t count = 0;
    value = 0;
    while (count < 4 && at + count < text_.size()) {
      const char c = text_[at + count];
      std::uint32_t digit;
      if (c >= '0' && c <= '9')
        digit = static_cast<std::uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        digit = static_cast<std::uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        digit = static_cast<std::uint32_t>(c - 'A' + 10);
      else
        break;
      value = value * 16 + digit;
      ++count;
    }
    return count;
  }

  // Replaces length bytes of the document at at (after every earlier replacement).
  void Replace(std::size_t at, std::size_t length, const char* with, std::size_t withLength) {
    if (!repaired_) {
      repaired_ = true;
      out_.reserve(text_.size() + text_.size() / 8 + 16);
    }
    out_.append(text_, copied_, at - copied_);
    repairs_.push_back(Repair{at, length, out_.size(), withLength});
    out_.append(with, withLength);
    copied_ = at + length;
  }

  const std::string& text_;
  std::size_t tooDeep_ = std::string::npos;
  bool repaired_ = false;
  std::string out_;
  // Bytes of the document before this are in out_.
  std::size_t copied_ = 0;
  std::vector<Repair> repairs_;
};

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// A short reason for nlohmann's verbose parse error text.
std::string ReasonOf(const std::string& message) {
  if (Contains(message, "empty input"))
    return "empty document";
  if (Contains(message, "invalid string"))
    return "invalid string";
  if (Contains(message, "invalid number"))
    return "invalid number";
  if (Contains(message, "expected end of input"))
    return "unexpected text after the value";
  if (Contains(message, "end of input"))
    return "unexpected end of document";
  if (Contains(message, "while parsing object separator"))
    return "no colon in pair";
  if (Contains(message, "while parsing object key"))
    return "not an object key";
  if (Contains(message, "while parsing object"))
    return "not an object";
  if (Contains(message, "while parsing array"))
    return "not an array";
  return "not a value";
}

// Extends path to target below node: true when target is node or one of its descendants,
// path then naming it ("data[3].Station"); path is left as it was otherwise.
bool FindPath(const nlohmann::json& node, const nlohmann::json* target, std::string& path) {
  if (&node == target)
    return true;
  const std::size_t length = path.size();
  if (node.is_array()) {
    for (std::size_t i = 0; i < node.size(); ++i) {
      path += "[" + std::to_string(i) + "]";
      if (FindPath(node[i], target, path))
        return true;
      path.resize(length);
    }
  } else if (node.is_object()) {
    for (auto member = node.begin(); member != node.end(); ++member) {
      if (!path.empty())
        path += '.';
      path += member.key();
      if (FindPath(member.value(), target, path))
        return true;
      path.resize(length);
    }
  }
  return false;
}

}  // namespace

JsonSyntaxError::JsonSyntaxError(const std::string& reason, std::size_t line, std::size_t column)
    : std::runtime_error(reason + " at line " + std::to_string(line) + ", column " +
                         std::to_string(column)),
      reason_(reason),
      line_(line),
      column_(column) {}

JsonValue::JsonValue(std::shared_ptr<const nlohmann::json> document, const nlohmann::json* value)
    : document_(std::move(document)), value_(value) {}

const std::string& JsonValue::Path() const {
  if (!path_) {
    std::string path;
    // Every value comes from its document; the search fails only for a document changed
    // under the view, which the views' constness rules out.
    if (!FindPath(*document_, value_, path))
      path.clear();
    path_ = std::move(path);
  }
  return *path_;
}

void JsonValue::Fail(const std::string& problem) const {
  const std::string& path = Path();
  throw JsonError(path.empty() ? problem : path + ": " + problem);
}

bool JsonValue::IsNull() const {
  return value_->is_null();
}

bool JsonValue::IsBool() const {
  return value_->is_boolean();
}

bool JsonValue::IsInteger() const {
  return value_->is_number_integer();
}

bool JsonValue::IsString() const {
  return value_->is_string();
}

bool JsonValue::IsArray() const {
  return value_->is_array();
}

bool JsonValue::IsObject() const {
  return value_->is_object();
}

bool JsonValue::GetBool() const {
  if (!IsBool())
    Fail("value is not a boolean");
  return value_->get<bool>();
}

std::int64_t JsonValue::GetInt64() const {
  if (value_->is_number_unsigned())
    return static_cast<std::int64_t>(value_->get<std::uint64_t>());
  if (!IsInteger())
    Fail("value is not an integer");
  return value_->get<std::int64_t>();
}

int JsonValue::GetInt() const {
  return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(GetInt64())));
}

const std::string& JsonValue::GetString() const {
  if (!IsString())
    Fail("value is not a string");
  return value_->get_ref<const std::string&>();
}

std::size_t JsonValue::Size() const {
  if (!IsArray())
    Fail("value is not an array");
  return value_->size();
}

JsonValue JsonValue::operator[](std::size_t index) const {
  const std::size_t size = Size();
  if (index >= size) {
    Fail("index " + std::to_string(index) + " out of range (array of " + std::to_string(size) +
         ")");
  }
  return JsonValue(document_, &(*value_)[index]);
}

std::optional<JsonValue> JsonValue::FindMember(const std::string& name) const {
  if (!IsObject())
    Fail("value is not an object");
  const auto member = value_->find(name);
  if (member == value_->end())
    return std::nullopt;
  return JsonValue(document_, &*member);
}

JsonValue JsonValue::Member(const std::string& name) const {
  std::optional<JsonValue> member = FindMember(name);
  if (!member)
    Fail("member '" + name + "' not found");
  return *member;
}

JsonValue ParseJson(const std::string& text) {
  std::size_t line = 0;
  std::size_t column = 0;
  const DocumentScan scan(text);
  if (scan.TooDeep() != std::string::npos) {
    Locate(text, scan.TooDeep(), line, column);
    throw JsonSyntaxError("nesting too deep", line, column);
  }
  auto document = std::make_shared<nlohmann::json>();
  try {
    *document = nlohmann::json::parse(scan.Text());
  } catch (const nlohmann::json::parse_error& e) {
    Locate(text, scan.DocumentOffset(e.byte > 0 ? e.byte - 1 : 0), line, column);
    throw JsonSyntaxError(ReasonOf(e.what()), line, column);
  } catch (const nlohmann::json::exception& e) {
    // Numbers the parser cannot hold (out_of_range.406) and the like; no position known.
    throw JsonSyntaxError(e.id == 406 ? "number out of range" : "not a value", 1, 1);
  }
  const nlohmann::json* root = document.get();
  return JsonValue(std::move(document), root);
}

}  // namespace nivo
}  // namespace zu

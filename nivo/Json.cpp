#include "nivo/Json.h"

#include <nlohmann/json.hpp>

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

// Offset of the bracket that opens level kMaxJsonDepth + 1, or npos. Strings are skipped the
// way the parser lexes them, so up to the first syntax error this depth is the parser's depth.
std::size_t FindTooDeepNesting(const std::string& text) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonDepth)
        return i;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return std::string::npos;
}

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
  const std::size_t tooDeep = FindTooDeepNesting(text);
  if (tooDeep != std::string::npos) {
    Locate(text, tooDeep, line, column);
    throw JsonSyntaxError("nesting too deep", line, column);
  }
  auto document = std::make_shared<nlohmann::json>();
  try {
    *document = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& e) {
    Locate(text, e.byte > 0 ? e.byte - 1 : 0, line, column);
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

#include "nivo/HttpFrame.h"

#include "base/String.h"

namespace zu {
namespace nivo {

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i]))
      return false;
  }
  return true;
}

const std::string* FindHeader(const HeaderMap& headers, const std::string& name) {
  for (const auto& header : headers) {
    if (EqualsIgnoringCase(header.first, name))
      return &header.second;
  }
  return nullptr;
}

bool HasListElement(const std::string& value, const std::string& token, bool last) {
  bool found = false;
  size_t from = 0;
  while (from <= value.size()) {
    size_t comma = value.find(',', from);
    if (comma == std::string::npos)
      comma = value.size();
    const std::string element = zu::string::TrimmSpaces(value.substr(from, comma - from));
    // Empty elements do not count, not even as the last one.
    if (!element.empty()) {
      const bool equal = EqualsIgnoringCase(element, token);
      if (equal && !last)
        return true;
      found = equal;
    }
    from = comma + 1;
  }
  return found;
}

}  // namespace nivo
}  // namespace zu

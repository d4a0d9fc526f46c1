#include "nivo/ShowTexts.h"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/String.h"

namespace zu {
namespace nivo {

namespace {

struct NamedEntity {
  const char* name;  // including the ";"
  char character;
};

const NamedEntity kNamedEntities[] = {
    {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"apos;", '\''}, {"quot;", '"'}};

const std::uint32_t kReplacementCharacter = 0xFFFD;
// More digits than this cannot be a code point; they are counted but not evaluated.
const std::size_t kMaxCodePointDigits = 7;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Decodes a numeric reference whose "&" is at text[at]. Returns the offset after it, or
// nothing when there is none (no digits, or digits followed by something else than ";").
std::optional<std::size_t> DecodeNumeric(const std::string& text, std::size_t at, std::string& to) {
  std::size_t position = at + 2;  // after "&#"
  const std::size_t digitsStart = position;
  std::uint32_t value = 0;
  while (position < text.size() && IsDigit(text[position])) {
    if (position - digitsStart < kMaxCodePointDigits)
      value = value * 10 + static_cast<std::uint32_t>(text[position] - '0');
    ++position;
  }
  const std::size_t digits = position - digitsStart;
  if (digits == 0)
    return std::nullopt;
  if (position < text.size()) {
    if (text[position] != ';')
      return std::nullopt;
    ++position;
  }
  const bool valid = digits <= kMaxCodePointDigits && value != 0 && value <= 0x10FFFF &&
                     !(value >= 0xD800 && value <= 0xDFFF);
  to += wstring::ToString(
      std::wstring(1, static_cast<wchar_t>(valid ? value : kReplacementCharacter)));
  return position;
}

bool HasReference(const std::string& text) {
  return text.find('&') != std::string::npos;
}

}  // namespace

std::string DecodeEntities(const std::string& text) {
  if (!HasReference(text))
    return text;
  std::string decoded;
  decoded.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    const char c = text[position];
    if (c != '&' || position + 1 == text.size()) {
      decoded += c;
      ++position;
      continue;
    }
    bool replaced = false;
    for (const NamedEntity& entity : kNamedEntities) {
      if (text.compare(position + 1, std::char_traits<char>::length(entity.name), entity.name) ==
          0) {
        decoded += entity.character;
        position += 1 + std::char_traits<char>::length(entity.name);
        replaced = true;
        break;
      }
    }
    if (replaced)
      continue;
    if (text[position + 1] == '#') {
      if (std::optional<std::size_t> next = DecodeNumeric(text, position, decoded)) {
        position = *next;
        continue;
      }
    }
    decoded += c;
    ++position;
  }
  return decoded;
}

void SetDetailTexts(TVShow& show, const std::string& title, const std::string& subTitle,
                    const std::string& description) {
  show.title = DecodeEntities(title);
  show.subTitle = DecodeEntities(subTitle);
  show.description = DecodeEntities(description);
}

const TVShow& ShowForHost(const TVShow& show, TVShow& storage) {
  // Texts the details brought are decoded already; decoding them again would turn a "&amp;"
  // the provider meant literally into "&".
  if (show.detailsRead || (!HasReference(show.title) && !HasReference(show.subTitle)))
    return show;
  storage = show;
  storage.title = DecodeEntities(show.title);
  storage.subTitle = DecodeEntities(show.subTitle);
  return storage;
}

}  // namespace nivo
}  // namespace zu

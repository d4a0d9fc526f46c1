#include "nivo/M3U.h"

#include <utility>

#include "base/String.h"
#include "nivo/TextEncoding.h"

namespace zu {
namespace nivo {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Lines of a stream read with its codec: every run of CR and LF ends a line, and empty lines
// are skipped; reading past the end leaves an empty line and the stream no longer good.
class StreamLines {
 public:
  explicit StreamLines(const StreamPtr& stream) : stream_(stream) {}
  bool IsGood() const { return stream_->IsGood(); }
  void Read(std::string& line) { stream_->Read(line); }

 private:
  const StreamPtr& stream_;
};

// The same lines straight from a text, without a stream and its byte-wise reads: a playlist
// of a thousand stations is read at every channel load.
class TextLines {
 public:
  explicit TextLines(const std::string& text) : text_(text) {}
  bool IsGood() const { return good_; }
  void Read(std::string& line) {
    const std::size_t size = text_.size();
    while (next_ < size && IsLineEnd(text_[next_]))
      ++next_;
    if (next_ >= size) {
      line.clear();
      good_ = false;
      return;
    }
    const std::size_t start = next_;
    while (next_ < size && !IsLineEnd(text_[next_]))
      ++next_;
    line.assign(text_, start, next_ - start);
    // The line end is taken with the line; a line that runs to the end of the text reaches
    // past it, as a stream's read does.
    if (next_ < size)
      ++next_;
    else
      good_ = false;
  }

 private:
  static bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

  const std::string& text_;
  std::size_t next_ = 0;
  bool good_ = true;
};

template <class Lines>
std::vector<M3UEntry> ReadEntries(Lines& lines) {
  std::vector<M3UEntry> entries;
  std::string group;
  std::string line;
  // A line read as the URL of an entry that turned out to be a directive; it is handled next.
  bool pending = false;
  while (pending || lines.IsGood()) {
    if (!pending) {
      line.clear();
      lines.Read(line);
    }
    pending = false;
    if (StartsWith(line, "##")) {
      group = ToUtf8(zu::string::TrimmSpaces(line.substr(2)));
      continue;
    }
    if (line.find("#EXTINF:") == std::string::npos)
      continue;
    const std::string::size_type comma = line.find(',');
    M3UEntry entry;
    entry.name = ToUtf8(comma == std::string::npos ? line : line.substr(comma + 1));
    entry.group = group;
    // The URL is the next line that is not a directive. Options such as "#EXTVLCOPT:" may
    // stand between a title and its URL; a new title or group line means this title has none.
    for (;;) {
      line.clear();
      lines.Read(line);
      if (!StartsWith(line, "#"))
        break;
      if (StartsWith(line, "##") || line.find("#EXTINF:") != std::string::npos) {
        pending = true;
        break;
      }
    }
    if (pending)
      continue;
    if (!line.empty()) {
      entry.url = ToUtf8(line);
      entries.push_back(std::move(entry));
    }
  }
  return entries;
}

}  // namespace

std::vector<M3UEntry> ReadM3U(const StreamPtr& stream) {
  if (!stream)
    return std::vector<M3UEntry>();
  StreamLines lines(stream);
  return ReadEntries(lines);
}

std::vector<M3UEntry> ReadM3U(const std::string& text) {
  TextLines lines(text);
  return ReadEntries(lines);
}

}  // namespace nivo
}  // namespace zu

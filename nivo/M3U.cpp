#include "nivo/M3U.h"

#include "base/String.h"

namespace zu {
namespace nivo {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

std::vector<M3UEntry> ReadM3U(const StreamPtr& stream) {
  std::vector<M3UEntry> entries;
  if (!stream)
    return entries;
  std::string group;
  std::string line;
  // A line read as the URL of an entry that turned out to be a directive; it is handled next.
  bool pending = false;
  while (pending || stream->IsGood()) {
    if (!pending) {
      line.clear();
      stream->Read(line);
    }
    pending = false;
    if (StartsWith(line, "##")) {
      group = zu::string::TrimmSpaces(line.substr(2));
      continue;
    }
    if (line.find("#EXTINF:") == std::string::npos)
      continue;
    const std::string::size_type comma = line.find(',');
    M3UEntry entry;
    entry.name = comma == std::string::npos ? line : line.substr(comma + 1);
    entry.group = group;
    // The URL is the next line that is not a directive. Options such as "#EXTVLCOPT:" may
    // stand between a title and its URL; a new title or group line means this title has none.
    for (;;) {
      line.clear();
      stream->Read(line);
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
      entry.url = line;
      entries.push_back(entry);
    }
  }
  return entries;
}

}  // namespace nivo
}  // namespace zu

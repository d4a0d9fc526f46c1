#include "kodi20/check/Lineup.h"

#include <algorithm>

namespace zu {
namespace kodi20 {
namespace check {

std::vector<std::string> Lineup::Groups(bool radio) const {
  std::vector<std::string> tv;
  std::vector<std::string> names;
  for (const LineupChannel& channel : channels) {
    std::vector<std::string>& kind = channel.radio ? names : tv;
    for (const std::string& group : channel.groups) {
      if (std::find(kind.begin(), kind.end(), group) == kind.end())
        kind.push_back(group);
    }
  }
  if (!radio)
    return tv;
  names.erase(std::remove_if(names.begin(), names.end(),
                             [&](const std::string& name) {
                               return std::find(tv.begin(), tv.end(), name) != tv.end();
                             }),
              names.end());
  return names;
}

std::vector<const LineupChannel*> Lineup::Channels(bool radio) const {
  std::vector<const LineupChannel*> found;
  for (const LineupChannel& channel : channels) {
    if (channel.radio == radio)
      found.push_back(&channel);
  }
  std::stable_sort(found.begin(), found.end(), [](const LineupChannel* a, const LineupChannel* b) {
    return a->number < b->number;
  });
  return found;
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu

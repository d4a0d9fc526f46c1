#include "kodi20/check/Lineup.h"

#include <algorithm>

namespace zu {
namespace kodi20 {
namespace check {

std::vector<std::string> Lineup::Groups(bool radio) const {
  std::vector<std::string> names;
  for (const LineupChannel& channel : channels) {
    if (channel.radio != radio)
      continue;
    for (const std::string& group : channel.groups) {
      if (std::find(names.begin(), names.end(), group) == names.end())
        names.push_back(group);
    }
  }
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

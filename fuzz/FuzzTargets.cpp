#include "fuzz/FuzzEntries.h"

namespace zu {
namespace fuzz {

const std::vector<FuzzTarget>& FuzzTargets() {
  static const std::vector<FuzzTarget> targets = {
      {"http_response", &FuzzHttpResponse}, {"m3u", &FuzzM3U},
      {"station_list", &FuzzStationList},   {"show_list", &FuzzShowList},
      {"show_details", &FuzzShowDetails},   {"decode_entities", &FuzzDecodeEntities},
      {"channel_cache", &FuzzChannelCache}, {"guide_cache", &FuzzGuideCache},
      {"ascii_codec", &FuzzAsciiCodec},     {"binary_codec", &FuzzBinaryCodec},
      {"text_encoding", &FuzzTextEncoding},
  };
  return targets;
}

}  // namespace fuzz
}  // namespace zu

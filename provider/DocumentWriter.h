#pragma once

#include <cstdint>
#include <string>

#include "provider/Catalogue.h"
#include "provider/CivilTime.h"
#include "provider/Faults.h"
#include "provider/Guide.h"

namespace zu {
namespace provider {

// Renders the provider's documents. baseUrl is the provider's own address without a trailing
// slash ("http://127.0.0.1:8080"); logo, stream and image URLs point back at it. With
// wrongTypes the document stays valid JSON but a member the reader needs has the wrong type;
// quirks change what the documents say as described at Quirk.
class DocumentWriter {
 public:
  DocumentWriter(const Catalogue& catalogue, const Guide& guide)
      : catalogue_(catalogue), guide_(guide), movedGuide_(catalogue, true) {}

  std::string HeaderInfo() const;
  // {"data":[{"Station":{"UID":..,"DisplayName":..,"Channel":[..],"Flags":[..],...}}, ...]}
  std::string StationList(const std::string& baseUrl, bool wrongTypes,
                          Quirks quirks = Quirks()) const;
  // endpoint is kPlaylistFta, kPlaylistPlus or kPlaylistAll.
  std::string Playlist(Endpoint endpoint, const std::string& baseUrl,
                       Quirks quirks = Quirks()) const;
  std::string RadioPlaylist(const std::string& baseUrl) const;
  // [ {meta}, [ [uid, "name", [show, ...]] ] ]; an unknown uid gives an empty station list.
  std::string ShowList(std::uint32_t uid, const std::string& periodText, const Period& period,
                       bool wrongTypes, Quirks quirks) const;
  // {"data":[{"Event":{...}}]}; false when no show has the id.
  bool ShowDetails(std::uint32_t id, const std::string& baseUrl, bool wrongTypes, Quirks quirks,
                   std::string& document) const;
  // True when a playlist of the catalogue names this stream path ("/stream/fta/71001.ts",
  // "/radio/3.mp3").
  bool ListsStream(const std::string& path) const;

 private:
  const Guide& GuideFor(Quirks quirks) const;

  const Catalogue& catalogue_;
  const Guide& guide_;
  const Guide movedGuide_;
};

}  // namespace provider
}  // namespace zu

// nivotv-make-tvzug: writes the add-on's shipped channel table ("tv.zug") for a provider
// catalogue. The table is what the add-on itself would build from that provider at the given
// address: the station list and the three TV playlists are rendered by the provider's
// document writer, read by the add-on's own station list and playlist readers, and stored
// with the add-on's channel cache writer, so the add-on can always read the file it ships.
//
// usage: nivotv-make-tvzug [--catalogue DIR] [--base-url URL] OUTPUT

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "nivo/CacheArchive.h"
#include "nivo/StationListDocument.h"
#include "nivo/TVPlaylists.h"
#include "provider/Catalogue.h"
#include "provider/DocumentWriter.h"
#include "provider/Guide.h"

namespace {

const char kUsage[] =
    "usage: nivotv-make-tvzug [--catalogue DIR] [--base-url URL] OUTPUT\n"
    "  --catalogue DIR   directory holding catalogue.json (default: the source tree's\n"
    "                    data/sample-provider)\n"
    "  --base-url URL    the provider address the logo and stream URLs point at\n"
    "                    (default http://127.0.0.1)\n"
    "  OUTPUT            the channel table to write; replaced only when complete\n";

int Fail(const std::string& message) {
  std::cerr << "nivotv-make-tvzug: " << message << "\n" << kUsage;
  return 2;
}

// The provider's document for each of the add-on's TV playlists, in the add-on's order.
zu::provider::Endpoint PlaylistEndpoint(const std::string& path) {
  if (path == "a/service.fta.m3u")
    return zu::provider::Endpoint::kPlaylistFta;
  if (path == "a/service.plus.m3u")
    return zu::provider::Endpoint::kPlaylistPlus;
  return zu::provider::Endpoint::kPlaylistAll;
}

bool WriteReplacing(const std::string& path, const std::string& data) {
  const std::string partial = path + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << data;
    out.close();
    if (!out) {
      std::remove(partial.c_str());
      return false;
    }
  }
  return std::rename(partial.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string directory = zu::provider::Catalogue::SourceDirectory();
  std::string baseUrl = "http://127.0.0.1";
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if ((option == "--catalogue" || option == "--base-url") && i + 1 < argc) {
      (option == "--catalogue" ? directory : baseUrl) = argv[++i];
    } else if (option == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (!option.empty() && option[0] != '-' && output.empty()) {
      output = option;
    } else {
      return Fail("unexpected argument '" + option + "'");
    }
  }
  if (output.empty())
    return Fail("no output file");
  while (!baseUrl.empty() && baseUrl.back() == '/')
    baseUrl.pop_back();

  zu::provider::Catalogue catalogue;
  std::string error;
  if (!zu::provider::Catalogue::Load(directory, catalogue, error))
    return Fail("cannot read the catalogue in '" + directory + "': " + error);

  std::string table;
  try {
    const zu::provider::Guide guide(catalogue);
    const zu::provider::DocumentWriter writer(catalogue, guide);
    zu::nivo::Channels channels =
        zu::nivo::ParseStationList(writer.StationList(baseUrl, false), zu::nivo::Channels());
    for (const zu::nivo::TVPlaylist& playlist : zu::nivo::GetTVPlaylists()) {
      zu::nivo::ApplyTVPlaylist(
          channels,
          zu::nivo::ReadM3UText(writer.Playlist(PlaylistEndpoint(playlist.path), baseUrl)),
          playlist.group);
    }
    table = zu::nivo::WriteChannelsArchive(channels);
  } catch (const std::exception& failure) {
    return Fail(std::string("cannot build the channel table: ") + failure.what());
  }
  if (!WriteReplacing(output, table))
    return Fail("cannot write '" + output + "'");
  return 0;
}

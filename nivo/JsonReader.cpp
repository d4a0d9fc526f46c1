#include "nivo/JsonReader.h"

#include <exception>
#include <utility>

#include "base/String.h"
#include "nivo/Endpoints.h"
#include "nivo/FailureRun.h"
#include "nivo/HttpPageReader.h"
#include "nivo/Json.h"
#include "nivo/LogoUrl.h"
#include "nivo/StationListDocument.h"
#include "nivo/TVPlaylists.h"
#include "nivo/UserAgent.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

const char kHeaderInfoPath[] = "pelta_bapi/Android/index/headerinfo";
const char kStationListPath[] = "a/api.mobile.station.get?type=JSON.1";

// The headers of the JSON requests; the user agent is drawn anew for each request.
HeaderMap JsonRequestHeaders() {
  HeaderMap headers;
  headers["Accept"] = "application/json";
  headers["User-Agent"] = GetMobileUserAgent();
  return headers;
}

HttpUrl MakeUrl(const Endpoint& endpoint, const std::string& path) {
  return HttpUrl(endpoint.host, path, endpoint.port);
}

}  // namespace

JsonReader::JsonReader(SharedPtr<HttpPageReader> pageReader) : pageReader_(std::move(pageReader)) {}

Channels JsonReader::ReadTVStations(const Channels& previous) {
  ZU_INFO("NivoTV", "Reading TV Station info");
  if (!pageReader_) {
    ZU_ERROR("NivoTV", "failed reading Nivo headerinfo");
    return previous;
  }
  // The service host is only asked whether it answers; what it says is not used.
  const HttpFrame headerInfo = pageReader_->GetHttpPage(
      MakeUrl(GetServiceEndpoint(), kHeaderInfoPath), JsonRequestHeaders());
  if (headerInfo.body.empty()) {
    ZU_ERROR("NivoTV", "failed reading Nivo headerinfo");
    return previous;
  }
  const HttpFrame stationList =
      pageReader_->GetHttpPage(MakeUrl(GetGuideEndpoint(), kStationListPath), JsonRequestHeaders());
  if (stationList.body.empty()) {
    ZU_ERROR("NivoTV", "failed reading TV stations");
    return previous;
  }

  Channels channels;
  try {
    channels = ParseStationList(stationList.body, previous);
  } catch (const JsonSyntaxError& error) {
    // Syntax errors are told apart from members of the wrong shape; where the parser stopped
    // goes to the log on its own line.
    ZU_ERROR("NivoTV", "failed reading TV stations, received unknown exeption");
    ZU_INFO("NivoTV", std::string("The station list is not JSON: ") + error.what());
    return previous;
  } catch (const std::exception& error) {
    ZU_ERROR("NivoTV",
             std::string("failed reading TV stations, received exeption: ") + error.what());
    return previous;
  }
  ZU_INFO("NivoTV", "Found " + string::ToString(static_cast<unsigned long>(channels.size())) +
                        " TV Stations");
  UpdateTVStationsFromM3UFiles(channels);
  return channels;
}

void JsonReader::UpdateTVStationsFromM3UFiles(Channels& channels) {
  if (!pageReader_) {
    ZU_ERROR("NivoTV", "failed reading channel urls ");
    return;
  }
  const Endpoint guide = GetGuideEndpoint();
  for (const TVPlaylist& playlist : GetTVPlaylists()) {
    const HttpFrame frame = pageReader_->GetHttpPage(MakeUrl(guide, playlist.path), HeaderMap());
    if (frame.body.empty()) {
      // The URLs set so far stay; without all playlists a missing URL proves nothing, so the
      // check below is skipped too.
      ZU_ERROR("NivoTV", "failed reading channel urls ");
      return;
    }
    ApplyTVPlaylist(channels, ReadM3UText(frame.body), playlist.group);
  }
  for (const auto& entry : channels) {
    if (entry.second.streamUrl.empty())
      ZU_ERROR("NivoTV", "Url for '" + entry.second.name + "' not found");
  }
}

void JsonReader::ReadTVStationImage(const Channel& channel, const TVChannelImageCB& callback,
                                    FailureRun* failures, FailureRun* invalidUrl) {
  if (channel.logoUri.empty())
    return;
  HttpUrl url;
  if (!ParseLogoUrl(channel.logoUri, url)) {
    ZU_RUN_FAILURE(invalidUrl, "NivoTV",
                   "Invalid logo URL '" + channel.logoUri + "' of '" + channel.name + "'");
    return;
  }
  HttpFrame frame;
  if (pageReader_) {
    HeaderMap headers;
    headers["User-Agent"] = GetMobileUserAgent();
    frame = pageReader_->GetHttpPage(url, headers, failures);
  }
  if (frame.body.empty()) {
    ZU_RUN_FAILURE(failures, "NivoTV", "failed reading TV station image of '" + channel.name + "'");
    return;
  }
  if (failures != nullptr)
    failures->Succeed();
  if (callback)
    callback(channel, frame.body);
}

}  // namespace nivo
}  // namespace zu

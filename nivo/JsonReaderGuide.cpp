// The guide half of the reader: the shows of a channel and the details of one show, both from
// the guide gateway host.

#include <vector>

#include "base/String.h"
#include "nivo/Endpoints.h"
#include "nivo/FailureRun.h"
#include "nivo/HttpFrame.h"
#include "nivo/HttpPageReader.h"
#include "nivo/HttpUrl.h"
#include "nivo/JsonReader.h"
#include "nivo/ShowDetailsDocument.h"
#include "nivo/ShowListDocument.h"
#include "nivo/UserAgent.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

TVShows JsonReader::ReadShowsOfTVChannel(const Channel& channel,
                                         const boost::posix_time::ptime& from,
                                         const boost::posix_time::ptime& to, FailureRun* failures,
                                         bool* pageMissing) {
  TVShows shows;
  if (pageMissing != nullptr)
    *pageMissing = false;
  const std::vector<ShowListRequest> requests = SplitShowListWindow(from, to);
  if (requests.empty())
    return shows;
  const Endpoint guide = GetGuideEndpoint();
  for (const ShowListRequest& request : requests) {
    HeaderMap headers;
    headers["Accept"] = "application/json";
    headers["User-Agent"] = GetMobileUserAgent();
    const HttpFrame frame = pageReader_->GetHttpPage(
        HttpUrl(guide.host, MakeShowListPath(channel.uid, request), guide.port), headers, failures);
    if (frame.body.empty()) {
      ZU_RUN_FAILURE(failures, "NivoTV", "failed reading shows of channel'" + channel.name + "'");
      if (pageMissing != nullptr)
        *pageMissing = true;
      return shows;
    }
    ShowListPiece piece = ParseShowListPiece(frame.body);
    if (piece.outcome == ShowListPiece::NoStationInfo) {
      ZU_RUN_FAILURE(failures, "NivoTV", "No station info found'" + channel.name + "'");
      return shows;
    }
    if (piece.outcome == ShowListPiece::WrongShape)
      continue;  // nothing in this piece; the next one may have shows
    if (failures != nullptr)
      failures->Succeed();
    ZU_INFO("NivoTV", "Reading " + string::ToString(static_cast<unsigned long>(piece.showCount)) +
                          " TV shows of " + channel.name);
    shows.insert(shows.end(), std::make_move_iterator(piece.shows.begin()),
                 std::make_move_iterator(piece.shows.end()));
  }
  return shows;
}

void JsonReader::ReadShowDetails(TVShow& show, FailureRun* failures) {
  ZU_INFO("NivoTV", "Reading show details of '" + show.title + "'");
  HeaderMap headers;
  headers["Accept"] = "text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,*/*;q=0.8";
  headers["Accept-Encoding"] = "gzip, deflate, sdch";
  headers["Accept-Language"] = "en-US,en;q=0.8";
  headers["Cache-Control"] = "max-age=0";
  headers["User-Agent"] = GetMobileUserAgent();
  const Endpoint guide = GetGuideEndpoint();
  const HttpFrame frame = pageReader_->GetHttpPage(
      HttpUrl(guide.host, MakeShowDetailsPath(show.id), guide.port), headers, failures);
  if (frame.body.empty()) {
    ZU_RUN_FAILURE(failures, "NivoTV", "failed reading show details of '" + show.title + "'");
    return;
  }
  ParseShowDetails(frame.body, show);
  if (failures != nullptr)
    failures->Succeed();
}

}  // namespace nivo
}  // namespace zu

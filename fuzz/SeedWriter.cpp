// nivotv-fuzz-seeds DIRECTORY: writes the seed corpus of every fuzz target into
// DIRECTORY/<target>/, taken from what the sample provider serves: its responses as they come
// off the wire in every transfer form and with every fault, the documents in them, the cache
// files the client makes of them, and typed values written by the codecs.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <boost/date_time/posix_time/posix_time.hpp>

#include "nivo/CacheArchive.h"
#include "nivo/ShowDetailsDocument.h"
#include "nivo/ShowListDocument.h"
#include "nivo/StationListDocument.h"
#include "nivo/TVPlaylists.h"
#include "provider/Catalogue.h"
#include "provider/SampleProvider.h"
#include "stream/Factory.h"

namespace {

using zu::provider::Endpoint;
using zu::provider::Fault;
using zu::provider::FaultRule;
using zu::provider::Framing;
using zu::provider::Transfer;

std::filesystem::path outDir;
unsigned written = 0;

void Write(const std::string& target, const std::string& name, const std::string& bytes) {
  const std::filesystem::path folder = outDir / target;
  std::filesystem::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary | std::ios::trunc) << bytes;
  ++written;
}

// Every byte the provider sends for one GET until it closes (or resets) the connection.
std::string Fetch(std::uint16_t port, const std::string& target, bool gzip) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0)
    return std::string();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string received;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
    timeval bound{20, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof(bound));
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\nConnection: close\r\n";
    if (gzip)
      request += "Accept-Encoding: gzip\r\n";
    request += "\r\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(request.size())) {
      char buffer[65536];
      for (;;) {
        const ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
        if (got <= 0)
          break;
        received.append(buffer, static_cast<size_t>(got));
      }
    }
  }
  close(fd);
  return received;
}

// The body of a plain "Content-Length" response.
std::string Body(const std::string& response) {
  const size_t end = response.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : response.substr(end + 4);
}

// An input of the page reader's target: control bytes, then the response.
std::string HttpInput(const std::string& response, bool closes, unsigned seed) {
  std::string input;
  input += static_cast<char>(closes ? 1 : 0);
  input += static_cast<char>(seed >> 8);
  input += static_cast<char>(seed & 0xFF);
  return input + response;
}

// The text with its characters U+0080-U+00FF in Latin-1, as some services save documents, and
// every space a TAB (a control character inside strings, white space outside).
std::string AsLatin1WithTabs(const std::string& text) {
  std::string converted;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if ((c == 0xC2 || c == 0xC3) && (next & 0xC0) == 0x80) {
      converted += static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
      ++i;
    } else {
      converted += c == ' ' ? '\t' : static_cast<char>(c);
    }
  }
  return converted;
}

std::string Program(const std::vector<unsigned char>& steps, unsigned char order = 0) {
  std::string program;
  program += static_cast<char>(((steps.size() - 1) & 7) | (order << 3));
  for (unsigned char step : steps)
    program += static_cast<char>(step);
  return program;
}

int Run(const std::string& directory) {
  outDir = directory;
  zu::provider::Catalogue catalogue;
  std::string error;
  if (!zu::provider::Catalogue::Load(zu::provider::Catalogue::SourceDirectory(), catalogue,
                                     error)) {
    std::fprintf(stderr, "nivotv-fuzz-seeds: %s\n", error.c_str());
    return 1;
  }
  const unsigned int uid = catalogue.Stations().front().uid;
  zu::provider::SampleProvider::Options options;
  options.log = [](const std::string&) {};
  zu::provider::SampleProvider provider(catalogue, options);
  if (!provider.Start())
    return 1;
  const std::uint16_t port = provider.Port();

  zu::nivo::ShowListRequest window;
  window.start =
      boost::posix_time::ptime(boost::gregorian::date(2016, 1, 31), boost::posix_time::hours(18));
  window.hours = 6;
  const std::string showList = "/" + zu::nivo::MakeShowListPath(uid, window);

  // Plain documents.
  provider.SetTransferEverywhere(Transfer{false, Framing::kContentLength});
  const std::string stations = Body(Fetch(port, "/a/api.mobile.station.get?type=JSON.1", false));
  const std::string shows = Body(Fetch(port, showList, false));
  const zu::nivo::ShowListPiece piece = zu::nivo::ParseShowListPiece(shows);
  if (stations.empty() || piece.shows.empty()) {
    std::fprintf(stderr, "nivotv-fuzz-seeds: the sample provider served no documents\n");
    return 1;
  }
  const unsigned int eventId = piece.shows.front().id;
  const std::string detailsPath = "/" + zu::nivo::MakeShowDetailsPath(eventId);
  const std::string details = Body(Fetch(port, detailsPath, false));
  Write("station_list", "stations.json", stations);
  Write("show_list", "shows.json", shows);
  Write("show_details", "details.json", details);
  const char* playlists[][2] = {{"fta", "/a/service.fta.m3u"},
                                {"plus", "/a/service.plus.m3u"},
                                {"all", "/a/service.m3u"},
                                {"radio", "/radio.m3u"}};
  std::string allPlaylist;
  for (const auto& playlist : playlists) {
    const std::string text = Body(Fetch(port, playlist[1], false));
    Write("m3u", std::string(playlist[0]) + ".m3u", text);
    if (std::string(playlist[0]) == "all")
      allPlaylist = text;
  }

  // Faulty documents.
  const struct {
    Fault fault;
    const char* name;
  } documentFaults[] = {{Fault::kMalformed, "malformed"}, {Fault::kWrongTypes, "wrong-types"}};
  for (const auto& fault : documentFaults) {
    FaultRule rule;
    rule.fault = fault.fault;
    provider.SetFaultEverywhere(rule);
    const std::string suffix = std::string("-") + fault.name;
    Write("station_list", "stations" + suffix + ".json",
          Body(Fetch(port, "/a/api.mobile.station.get?type=JSON.1", false)));
    Write("show_list", "shows" + suffix + ".json", Body(Fetch(port, showList, false)));
    Write("show_details", "details" + suffix + ".json", Body(Fetch(port, detailsPath, false)));
    if (fault.fault == Fault::kMalformed)
      Write("m3u", "all" + suffix + ".m3u", Body(Fetch(port, "/a/service.m3u", false)));
  }
  provider.ClearFaults();

  // Documents in Latin-1 with control characters in their strings, and texts that need every
  // kind of repair.
  const std::string stationsLatin1 = AsLatin1WithTabs(stations);
  const std::string showsLatin1 = AsLatin1WithTabs(shows);
  const std::string detailsLatin1 = AsLatin1WithTabs(details);
  Write("station_list", "stations-latin1.json", stationsLatin1);
  Write("show_list", "shows-latin1.json", showsLatin1);
  Write("show_details", "details-latin1.json", detailsLatin1);
  Write("m3u", "all-latin1.m3u", AsLatin1WithTabs(allPlaylist));
  Write("text_encoding", "stations-latin1.json", stationsLatin1);
  Write("text_encoding", "shows-latin1.json", showsLatin1);
  Write("text_encoding", "details.json", details);
  Write(
      "text_encoding", "escapes.json",
      "[\"\\ud800\\udc00 \\ud800x \\udc00 \\ud83d\\ude00 \\u12g \\x \\' \\\x01 \t\x7f\", \"\\u\"]");
  Write("text_encoding", "bytes",
        "Sch\xF6n \x80\x81\x8D\x9F \xC3\xB6 \xED\xA0\x80 \xF4\x90\x80\x80 \xC0\xAF \xE2\x82");

  // Responses in every transfer form, gzip or not, for a small and a larger document.
  const struct {
    Framing framing;
    const char* name;
  } framings[] = {{Framing::kContentLength, "length"},
                  {Framing::kChunked, "chunked"},
                  {Framing::kCloseDelimited, "close"}};
  unsigned seed = 1;
  for (const auto& framing : framings) {
    for (bool gzip : {false, true}) {
      provider.SetTransferEverywhere(Transfer{gzip, framing.framing});
      const std::string form = std::string(framing.name) + (gzip ? "-gzip" : "");
      const bool closes = framing.framing == Framing::kCloseDelimited;
      Write("http_response", "details-" + form,
            HttpInput(Fetch(port, detailsPath, gzip), closes, seed++));
      Write("http_response", "shows-" + form,
            HttpInput(Fetch(port, showList, gzip), closes, seed++));
    }
  }
  // Responses with faults, as the client meets them.
  provider.SetTransferEverywhere(Transfer{true, Framing::kContentLength});
  const struct {
    Fault fault;
    const char* name;
  } wireFaults[] = {{Fault::kHttpError, "http-error"},
                    {Fault::kEmptyBody, "empty-body"},
                    {Fault::kResetMidBody, "reset-mid-body"},
                    {Fault::kTruncatedGzip, "truncated-gzip"},
                    {Fault::kCorruptGzip, "corrupt-gzip"}};
  for (const auto& fault : wireFaults) {
    FaultRule rule;
    rule.fault = fault.fault;
    rule.status = 404;
    provider.SetFault(Endpoint::kShowDetails, rule);
    Write("http_response", std::string("details-") + fault.name,
          HttpInput(Fetch(port, detailsPath, true), true, seed++));
  }
  provider.ClearFaults();
  provider.Stop();

  // What the client makes of the documents: the cache files.
  zu::nivo::Channels channels = zu::nivo::ParseStationList(stations, zu::nivo::Channels());
  zu::nivo::ApplyTVPlaylist(channels, zu::nivo::ReadM3UText(allPlaylist), "All");
  Write("channel_cache", "channels.zug", zu::nivo::WriteChannelsArchive(channels));
  zu::nivo::Channels one;
  one[channels.begin()->first] = channels.begin()->second;
  Write("channel_cache", "one-channel.zug", zu::nivo::WriteChannelsArchive(one));
  Write("channel_cache", "empty.zug", zu::nivo::WriteChannelsArchive(zu::nivo::Channels()));
  zu::nivo::TVShows guide = piece.shows;
  zu::nivo::ParseShowDetails(details, guide.front());
  Write("guide_cache", "shows.zug", zu::nivo::WriteShowsArchive(piece.shows));
  Write("guide_cache", "shows-with-details.zug", zu::nivo::WriteShowsArchive(guide));
  Write("guide_cache", "empty.zug", zu::nivo::WriteShowsArchive(zu::nivo::TVShows()));

  // Show texts with character references as the provider writes them.
  Write("decode_entities", "title", guide.front().title);
  Write("decode_entities", "references",
        "Tom &amp; Jerry &lt;3&gt; &quot;Caf&#233;&quot; &apos;&#8364;&#128512;&#0;&#55296;&#65");
  Write("decode_entities", "unfinished", "&amp &#; &#x41; & &#1114112; &#99999999999999999999");

  // Typed values: the text codec over a playlist and over numbers, the binary codecs over
  // values they wrote themselves.
  Write("ascii_codec", "playlist", Program({10}) + allPlaylist);
  Write("ascii_codec", "numbers",
        Program({0, 1, 2, 3, 4, 5, 6, 7}) +
            "-128 255 -32768 65535 -2147483648 4294967295 -9223372036854775808 "
            "18446744073709551615 99999999999999999999 -1 0x10 1e3 ");
  Write("ascii_codec", "mixed", Program({8, 9, 12, 13, 10, 11}) + "3.5 -1e308 x 1 a line\r\n");
  for (unsigned char order = 0; order < 3; ++order) {
    std::vector<unsigned char> bytes;
    zu::CodecPtr codec = order == 1   ? zu::factory::CreateLittleEndianBinaryCodec()
                         : order == 2 ? zu::factory::CreateBigEndianBinaryCodec()
                                      : zu::factory::CreateBinaryCodec();
    const zu::StreamPtr stream = zu::factory::CreateMemoryStream(codec, bytes);
    stream->Write(static_cast<signed char>(-5));
    stream->Write(static_cast<unsigned char>(200));
    stream->Write(static_cast<short>(-300));
    stream->Write(static_cast<unsigned short>(60000));
    stream->Write(-70000);
    stream->Write(4000000000u);
    stream->Write(-5000000000l);
    stream->Write(static_cast<unsigned long>(-1));
    stream->Write(1.5f);
    stream->Write(-2.25);
    stream->Write(std::string("Erstes Programm"));
    stream->Write(std::wstring(L"Zweites"));
    stream->Write('c');
    stream->Write(true);
    Write("binary_codec", "values-" + std::to_string(order),
          Program({0, 1, 2, 3, 4, 5, 6, 7}, order) + std::string(bytes.begin(), bytes.end()));
  }
  std::printf("nivotv-fuzz-seeds: %u seeds written to %s\n", written, directory.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: nivotv-fuzz-seeds DIRECTORY\n");
    return 2;
  }
  return Run(argv[1]);
}

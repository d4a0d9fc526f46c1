#include "kodi20/check/ProviderSource.h"

#include <ctime>
#include <iostream>
#include <iterator>
#include <sstream>

#include "provider/Catalogue.h"
#include "provider/CivilTime.h"
#include "provider/ExportWriter.h"
#include "provider/Guide.h"
#include "provider/SampleProvider.h"

namespace zu {
namespace kodi20 {
namespace check {

namespace {

std::string Trimmed(const std::string& text) {
  const char* space = " \t\r\n";
  std::size_t first = text.find_first_not_of(space);
  if (first == std::string::npos)
    return std::string();
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// The path of a URL ("http://host:port/a/b" -> "/a/b").
std::string PathOf(const std::string& url) {
  std::size_t scheme = url.find("://");
  std::size_t path = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  return path == std::string::npos ? "/" : url.substr(path);
}

}  // namespace

std::vector<LineupChannel> ReadRadioPlaylist(const std::string& text) {
  std::vector<LineupChannel> channels;
  std::istringstream in(text);
  std::string line;
  std::string group;
  const LineupChannel* pending = nullptr;
  LineupChannel entry;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (pending != nullptr) {
      if (line.empty())
        continue;
      entry.streamPath = PathOf(line);
      entry.number = 10000 + static_cast<unsigned>(channels.size());
      entry.id = std::to_string(entry.number);
      channels.push_back(entry);
      pending = nullptr;
      continue;
    }
    if (line.rfind("##", 0) == 0) {
      group = Trimmed(line.substr(2));
    } else if (line.find("#EXTINF:") != std::string::npos) {
      std::size_t comma = line.find(',');
      entry = LineupChannel();
      entry.name = comma == std::string::npos ? line : line.substr(comma + 1);
      entry.radio = true;
      entry.groups = {group};
      pending = &entry;
    }
  }
  return channels;
}

ProviderSource::ProviderSource(Options options) : options_(std::move(options)) {}

ProviderSource::~ProviderSource() {
  Stop();
}

void ProviderSource::Log(const std::string& line) {
  std::lock_guard<std::mutex> lock(logMutex_);
  if (log_.is_open())
    log_ << line << std::endl;
  else
    std::cerr << "nivotv-provider: " << line << std::endl;
}

bool ProviderSource::Start(std::string& error) {
  provider::Catalogue catalogue;
  bool built =
      options_.stations > 0
          ? provider::Catalogue::Generate(options_.stations, options_.radio, catalogue, error)
          : provider::Catalogue::Load(provider::Catalogue::SourceDirectory(), catalogue, error) &&
                (options_.radio == 0 || catalogue.GenerateRadio(options_.radio, error));
  if (!built) {
    error = "cannot build the provider's catalogue: " + error;
    return false;
  }
  if (!options_.logPath.empty())
    log_.open(options_.logPath, std::ios::app);
  provider::SampleProvider::Options serving;
  serving.log = [this](const std::string& line) { Log(line); };
  serving.maxRecords = 1000000;
  serving.streamFile = options_.streamFile;
  provider_.reset(new provider::SampleProvider(std::move(catalogue), serving));
  if (!provider_->Start()) {
    // Why (a port, a stream file) is in its log.
    error = "the sample provider cannot start" +
            (options_.logPath.empty() ? std::string() : " (see " + options_.logPath + ")");
    provider_.reset();
    return false;
  }
  const provider::Catalogue& served = provider_->GetCatalogue();
  guide_.reset(new provider::Guide(served));

  lineup_.channels.clear();
  for (const provider::Station& station : served.Stations()) {
    LineupChannel channel;
    channel.id = std::to_string(station.uid);
    channel.number = station.number;
    channel.name = station.name;
    channel.groups = provider::StationGroups(station);
    channel.streamPath = "/stream/" + std::to_string(station.uid) + ".ts";
    channel.logoPath = "/station/128x64/" + station.logoFile;
    lineup_.channels.push_back(channel);
  }
  if (!options_.radioPlaylist.empty()) {
    std::ifstream in(options_.radioPlaylist, std::ios::binary);
    if (!in) {
      error = "cannot read the radio playlist " + options_.radioPlaylist;
      return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (LineupChannel& channel : ReadRadioPlaylist(text))
      lineup_.channels.push_back(channel);
  } else {
    unsigned index = 0;
    for (const provider::RadioStation& radio : served.Radio()) {
      LineupChannel channel;
      channel.number = 10000 + index++;
      channel.id = std::to_string(channel.number);
      channel.name = radio.name;
      channel.radio = true;
      channel.groups = {radio.group};
      channel.streamPath = "/radio/" + std::to_string(index) + ".mp3";
      lineup_.channels.push_back(channel);
    }
  }
  return true;
}

std::vector<LineupShow> ProviderSource::ShowsOf(const LineupChannel& channel) const {
  std::vector<LineupShow> shows;
  const provider::Station* station =
      channel.radio || !provider_
          ? nullptr
          : provider_->GetCatalogue().FindByUid(static_cast<std::uint32_t>(std::stoul(channel.id)));
  if (station == nullptr)
    return shows;
  // The driver runs with TZ=UTC, so the provider's wall-clock times are UTC times.
  provider::Period period;
  period.start = provider::NowLocal() - 2 * provider::kSecondsPerDay;
  period.hours = 6 * 24;
  for (const provider::Show& show : guide_->Overlapping(*station, period)) {
    LineupShow entry;
    entry.title = show.title;
    std::string plain = provider::PlainText(show.title);
    if (plain != show.title)
      entry.plainTitle = plain;
    entry.start = show.start;
    entry.end = show.end;
    shows.push_back(entry);
  }
  return shows;
}

std::string ProviderSource::HostAndPort() const {
  return provider_ ? "127.0.0.1:" + std::to_string(provider_->Port()) : std::string();
}

std::string ProviderSource::BaseUrl() const {
  return provider_ ? provider_->BaseUrl() : std::string();
}

bool ProviderSource::WaitForRequest(const std::string& path, std::chrono::milliseconds bound) {
  return provider_ && provider_->WaitForRequests(path, 1, bound);
}

void ProviderSource::ServeStreams(bool serve) {
  if (!provider_)
    return;
  provider::FaultRule rule;
  if (!serve) {
    rule.fault = provider::Fault::kHttpError;
    rule.status = 404;
  }
  provider_->SetFault(provider::Endpoint::kStream, rule);
}

void ProviderSource::Stop() {
  if (provider_)
    provider_->Stop();
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu

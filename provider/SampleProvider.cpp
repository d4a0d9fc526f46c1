#include "provider/SampleProvider.h"

#include <httplib.h>

#include <iostream>

#include "provider/Connection.h"
#include "provider/ControlPath.h"
#include "provider/DocumentWriter.h"
#include "provider/FaultSwitches.h"
#include "provider/Guide.h"
#include "provider/Listener.h"
#include "provider/Responder.h"
#include "provider/Router.h"
#include "provider/TransportStream.h"

namespace zu {
namespace provider {

// The parts, wired: the router makes servers for the listener; requests go through the
// switches and the request log to the responder.
class SampleProvider::Imp {
 public:
  Imp(Catalogue catalogue, Options options)
      : catalogue_(std::move(catalogue)),
        guide_(catalogue_),
        writer_(catalogue_, guide_),
        options_(std::move(options)),
        requests_(options_.maxRecords, [this](const std::string& line) { Log(line); }),
        responder_(
            switches_, [this](const std::string& line) { Log(line); },
            options_.streamFile.empty() ? nullptr : &stream_, options_.paceStream),
        control_(
            switches_, requests_, [this](const std::string& line) { Log(line); },
            [this](std::chrono::milliseconds duration) { listener_.SetOfflineFor(duration); }),
        router_(Router::Parts{catalogue_, guide_, writer_, switches_, requests_, responder_,
                              control_, [this] { return BaseUrl(); },
                              [this](const std::string& line) { Log(line); },
                              options_.logRequests}),
        listener_([this] { return router_.MakeServer(); }, [this] { switches_.ReleaseResponses(); },
                  [this](const std::string& line) { Log(line); }) {}

  bool Start() {
    if (!ResolveLoopback(options_.host, host_)) {
      Log("refusing to serve on '" + options_.host +
          "': only loopback addresses (127.0.0.0/8 or localhost) may be bound");
      return false;
    }
    std::string error;
    if (!options_.streamFile.empty() &&
        !TransportStream::Load(options_.streamFile, stream_, error)) {
      Log(error);
      return false;
    }
    IgnoreBrokenPipes();
    return listener_.Start(host_, options_.port);
  }

  void Stop() {
    switches_.ReleaseForGood();
    listener_.Stop();
  }

  void Log(const std::string& text) const {
    if (options_.log) {
      options_.log(text);
    } else {
      std::cerr << "nivotv-provider: " << text << std::endl;
    }
  }

  std::string BaseUrl() const { return "http://" + host_ + ":" + std::to_string(listener_.Port()); }

  Catalogue catalogue_;
  Guide guide_;
  DocumentWriter writer_;
  Options options_;
  std::string host_ = "127.0.0.1";
  TransportStream stream_;
  FaultSwitches switches_;
  RequestLog requests_;
  Responder responder_;
  ControlPath control_;
  Router router_;
  Listener listener_;
};

SampleProvider::SampleProvider(Catalogue catalogue)
    : SampleProvider(std::move(catalogue), Options()) {}

SampleProvider::SampleProvider(Catalogue catalogue, Options options)
    : imp_(new Imp(std::move(catalogue), std::move(options))) {}

SampleProvider::~SampleProvider() {
  imp_->Stop();
}

bool SampleProvider::Start() {
  return imp_->Start();
}
void SampleProvider::Stop() {
  imp_->Stop();
}
std::uint16_t SampleProvider::Port() const {
  return imp_->listener_.Port();
}
std::string SampleProvider::BaseUrl() const {
  return imp_->BaseUrl();
}
const Catalogue& SampleProvider::GetCatalogue() const {
  return imp_->catalogue_;
}
std::string SampleProvider::RadioPlaylist() const {
  return imp_->writer_.RadioPlaylist(BaseUrl());
}

void SampleProvider::SetFault(Endpoint endpoint, const FaultRule& rule) {
  imp_->switches_.SetFault(endpoint, rule);
}
void SampleProvider::SetFaultEverywhere(const FaultRule& rule) {
  for (std::size_t i = 0; i < kEndpointCount; ++i) {
    imp_->switches_.SetFault(static_cast<Endpoint>(i), rule);
  }
}
void SampleProvider::ClearFaults() {
  SetFaultEverywhere(FaultRule());
}
bool SampleProvider::SetOffline(bool offline) {
  return imp_->listener_.SetOffline(offline);
}
bool SampleProvider::IsOffline() const {
  return imp_->listener_.IsOffline();
}

void SampleProvider::SetTransfer(Endpoint endpoint, const Transfer& transfer) {
  imp_->switches_.SetTransfer(endpoint, transfer);
}
void SampleProvider::SetTransferEverywhere(const Transfer& transfer) {
  for (std::size_t i = 0; i < kEndpointCount; ++i) {
    imp_->switches_.SetTransfer(static_cast<Endpoint>(i), transfer);
  }
}
Transfer SampleProvider::GetTransfer(Endpoint endpoint) const {
  return imp_->switches_.GetTransfer(endpoint);
}

void SampleProvider::SetQuirk(Quirk quirk, bool on) {
  imp_->switches_.SetQuirk(quirk, on);
}

std::vector<RequestRecord> SampleProvider::Requests() const {
  return imp_->requests_.Records();
}
std::vector<std::string> SampleProvider::RequestTargets() const {
  std::vector<std::string> targets;
  for (const RequestRecord& record : imp_->requests_.Records()) {
    targets.push_back(record.target);
  }
  return targets;
}
std::size_t SampleProvider::RequestCount(const std::string& targetPrefix) const {
  return imp_->requests_.Count(targetPrefix);
}
std::size_t SampleProvider::RequestCount(Endpoint endpoint) const {
  return imp_->requests_.Count(endpoint);
}
void SampleProvider::ClearRequests() {
  imp_->requests_.Clear();
}
bool SampleProvider::WaitForRequests(const std::string& targetPrefix, std::size_t count,
                                     std::chrono::milliseconds timeout) const {
  return imp_->requests_.WaitFor(targetPrefix, count, timeout);
}
bool SampleProvider::WaitForRequests(Endpoint endpoint, std::size_t count,
                                     std::chrono::milliseconds timeout) const {
  return imp_->requests_.WaitFor(endpoint, count, timeout);
}

}  // namespace provider
}  // namespace zu

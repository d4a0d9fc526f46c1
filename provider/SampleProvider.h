#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "provider/Catalogue.h"
#include "provider/Faults.h"
#include "provider/RequestLog.h"

namespace zu {
namespace provider {

// A stand-in for the NivoTV service on a loopback address: station list, playlists, logos,
// show lists and details, generated from a catalogue, with switchable faults, transfer forms
// and document quirks, and a live stream behind every stream URL of the playlists. The server
// runs on threads of its own between Start and Stop; every member may be called from any
// thread, except that Stop and SetOffline must not be called from inside a request (they wait
// for the requests in flight).
class SampleProvider {
 public:
  using LogFunction = std::function<void(const std::string&)>;

  struct Options {
    std::string host = "127.0.0.1";   // only loopback addresses (127.0.0.0/8, "localhost")
    std::uint16_t port = 0;           // 0: any free port, see Port()
    LogFunction log;                  // default: standard error, prefixed "nivotv-provider: "
    bool logRequests = false;         // one log line per request
    std::size_t maxRecords = 100000;  // requests kept for Requests(); later ones only counted
                                      // per endpoint
    // An MPEG transport stream file that every stream URL of the playlists serves in an
    // endless loop (of the faults only hang, http and huge apply to it); empty: a few null
    // packets and the end.
    std::string streamFile;
    bool paceStream = true;  // at the stream's own pace, a second ahead; else as fast as read
  };

  explicit SampleProvider(Catalogue catalogue);
  SampleProvider(Catalogue catalogue, Options options);
  // Stops the server.
  ~SampleProvider();
  SampleProvider(const SampleProvider&) = delete;
  SampleProvider& operator=(const SampleProvider&) = delete;

  // Binds the address and serves until Stop. False (logged) when the host is not a loopback
  // address, the stream file is not a transport stream, the port cannot be bound, or the
  // provider was started before. Sets SIGPIPE to ignored if it has its default action: a
  // client leaving mid-body must not end the process.
  bool Start();
  // Releases hanging, dripping and streaming requests, closes the port and joins the threads.
  // Idempotent.
  void Stop();

  // The bound port (also while offline); 0 before Start.
  std::uint16_t Port() const;
  // "http://HOST:PORT", the prefix of every URL in the documents.
  std::string BaseUrl() const;
  const Catalogue& GetCatalogue() const;
  // The generated radio playlist (empty catalogue radio list: only "#EXTM3U").
  std::string RadioPlaylist() const;

  // Faults. A new rule restarts the endpoint's skip/times count and releases requests that
  // hang on the endpoint.
  void SetFault(Endpoint endpoint, const FaultRule& rule);
  void SetFaultEverywhere(const FaultRule& rule);
  void ClearFaults();
  // Offline: the listening socket is closed (connections are refused) while the port stays
  // reserved; requests in flight are cut. Returns when done; false (logged) if the port could
  // not be bound again.
  bool SetOffline(bool offline);
  bool IsOffline() const;

  // Transfer forms per endpoint (see DefaultTransfer for the initial ones).
  void SetTransfer(Endpoint endpoint, const Transfer& transfer);
  void SetTransferEverywhere(const Transfer& transfer);
  Transfer GetTransfer(Endpoint endpoint) const;

  // Document quirks, all off at first; a switch applies to the requests routed after it.
  void SetQuirk(Quirk quirk, bool on);

  // Requests received so far, oldest first (at most Options::maxRecords of them).
  std::vector<RequestRecord> Requests() const;
  std::vector<std::string> RequestTargets() const;
  // Kept requests whose target starts with the prefix ("" counts all).
  std::size_t RequestCount(const std::string& targetPrefix = std::string()) const;
  // Requests routed to the endpoint, including those answered with a fault; never capped.
  std::size_t RequestCount(Endpoint endpoint) const;
  void ClearRequests();
  // Waits until RequestCount(targetPrefix) >= count or the timeout passes; true on success.
  bool WaitForRequests(const std::string& targetPrefix, std::size_t count,
                       std::chrono::milliseconds timeout) const;
  // Waits until RequestCount(endpoint) >= count, i.e. until that many requests have had their
  // fault decided, or the timeout passes; true on success.
  bool WaitForRequests(Endpoint endpoint, std::size_t count,
                       std::chrono::milliseconds timeout) const;

 private:
  class Imp;
  std::unique_ptr<Imp> imp_;
};

}  // namespace provider
}  // namespace zu

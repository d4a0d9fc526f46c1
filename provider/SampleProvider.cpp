#include "provider/SampleProvider.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

#include "provider/Codec.h"
#include "provider/DocumentWriter.h"
#include "provider/ExportWriter.h"
#include "provider/Guide.h"

namespace zu {
namespace provider {

std::string RequestRecord::Header(const std::string& name) const {
  for (const auto& header : headers) {
    if (strcasecmp(header.first.c_str(), name.c_str()) == 0) {
      return header.second;
    }
  }
  return std::string();
}

namespace {

using Clock = std::chrono::steady_clock;

// Where the client's original Accept-Encoding is kept once the library's own compression has
// been taken out of the picture (see RecordRequest).
const char kAcceptEncodingCopy[] = "X-Zu-Accept-Encoding";

const char kJsonType[] = "application/json; charset=utf-8";
const char kPlaylistType[] = "audio/x-mpegurl";
const char kHtmlType[] = "text/html; charset=utf-8";

// Sizes of the chunks a chunked body is cut into: tiny, odd and page-sized ones, so a
// de-chunker meets chunk boundaries everywhere.
const std::size_t kChunkSizes[] = {1, 17, 512, 4096, 3, 1000, 8192, 250};

enum class BodyKind { kJson, kPlaylist, kBinary };

struct Document {
  int status = 200;
  std::string body;
  std::string contentType;
  BodyKind kind = BodyKind::kJson;
};

Document Json(std::string body) {
  return Document{200, std::move(body), kJsonType, BodyKind::kJson};
}

Document Failure(int status, const std::string& reason) {
  return Document{status, reason, kHtmlType, BodyKind::kBinary};
}

std::string ErrorPage(int status, const std::string& text) {
  return "<html><head><title>" + std::to_string(status) + "</title></head><body><h1>" +
         std::to_string(status) + " " + text + "</h1></body></html>\n";
}

bool ParseUint32(const std::string& text, std::uint32_t& value) {
  if (text.empty() || text.size() > 10) {
    return false;
  }
  std::uint64_t parsed = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    parsed = parsed * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (parsed > 0xFFFFFFFFull) {
    return false;
  }
  value = static_cast<std::uint32_t>(parsed);
  return true;
}

// True when the Accept-Encoding value admits gzip ("gzip", "x-gzip" or "*" without q=0).
bool AcceptsGzip(const std::string& acceptEncoding) {
  std::size_t begin = 0;
  while (begin <= acceptEncoding.size()) {
    std::size_t end = acceptEncoding.find(',', begin);
    if (end == std::string::npos) {
      end = acceptEncoding.size();
    }
    std::string item = acceptEncoding.substr(begin, end - begin);
    std::string coding = item.substr(0, item.find(';'));
    coding.erase(0, coding.find_first_not_of(" \t"));
    coding.erase(coding.find_last_not_of(" \t") + 1);
    for (char& c : coding) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (coding == "gzip" || coding == "x-gzip" || coding == "*") {
      std::size_t q = item.find("q=");
      if (q == std::string::npos || std::strtod(item.c_str() + q + 2, nullptr) > 0.0) {
        return true;
      }
    }
    begin = end + 1;
  }
  return false;
}

bool ResolveLoopback(const std::string& host, std::string& address) {
  std::string candidate = host == "localhost" ? "127.0.0.1" : host;
  in_addr parsed;
  if (inet_pton(AF_INET, candidate.c_str(), &parsed) != 1) {
    return false;
  }
  if ((ntohl(parsed.s_addr) >> 24) != 127) {
    return false;
  }
  address = candidate;
  return true;
}

bool SameEndpoint(const sockaddr_storage& address, const std::string& ip, int port) {
  if (address.ss_family != AF_INET) {
    return false;
  }
  const sockaddr_in& in = reinterpret_cast<const sockaddr_in&>(address);
  char text[INET_ADDRSTRLEN];
  if (inet_ntop(AF_INET, &in.sin_addr, text, sizeof(text)) == nullptr) {
    return false;
  }
  return ip == text && ntohs(in.sin_port) == port;
}

// The descriptor of the connection a request arrived on, found by its two endpoints; -1 when
// none matches. The library does not hand the socket to handlers, and a reset or a check for
// a departed client needs it. The descriptor stays valid until the handler returns.
int FindConnection(const httplib::Request& request) {
  DIR* directory = opendir("/proc/self/fd");
  if (directory == nullptr) {
    return -1;
  }
  int found = -1;
  while (dirent* entry = readdir(directory)) {
    char* end = nullptr;
    long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == dirfd(directory)) {
      continue;
    }
    sockaddr_storage local, peer;
    socklen_t localLength = sizeof(local), peerLength = sizeof(peer);
    if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
      continue;
    }
    if (SameEndpoint(local, request.local_addr, request.local_port) &&
        SameEndpoint(peer, request.remote_addr, request.remote_port)) {
      found = static_cast<int>(fd);
      break;
    }
  }
  closedir(directory);
  return found;
}

bool PeerClosed(int fd) {
  pollfd probe{fd, POLLRDHUP, 0};
  return poll(&probe, 1, 0) > 0 && (probe.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

// Aborts the connection with a TCP reset while leaving the descriptor to its owner:
// disconnecting an established socket (connect with AF_UNSPEC) makes the kernel send RST.
void ResetConnection(int fd) {
  sockaddr unspecified;
  std::memset(&unspecified, 0, sizeof(unspecified));
  unspecified.sa_family = AF_UNSPEC;
  connect(fd, &unspecified, sizeof(unspecified));
}

// A body without length ends when the connection does. The library would keep the
// connection open for another request, so the caller half-closes it (EndBody) once the last
// byte is out; -1 when the connection cannot be found (then the body ends at the library's
// keep-alive timeout, or at once for clients that asked to close).
int CloseAfterBody(const httplib::Request& request, httplib::Response& response) {
  response.set_header("Connection", "close");
  return FindConnection(request);
}

void EndBody(int fd) {
  if (fd >= 0) {
    shutdown(fd, SHUT_WR);
  }
}

// Waits (bounded) until everything written to fd has been acknowledged, so that a reset that
// follows does not swallow the bytes the client is meant to see first.
void WaitUntilSent(int fd) {
  for (int i = 0; i < 400; ++i) {
    int pending = 0;
    if (ioctl(fd, SIOCOUTQ, &pending) != 0 || pending == 0) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int ReservePort(const std::string& host, std::uint16_t port, std::uint16_t& bound,
                std::string& error) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof(yes));
  sockaddr_in address;
  std::memset(&address, 0, sizeof(address));
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  socklen_t length = sizeof(address);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error = "cannot bind " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  bound = ntohs(address.sin_port);
  return fd;
}

void IgnoreBrokenPipes() {
  // A client that goes away mid-body must cost a failed write, not the process.
  struct sigaction current;
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
    signal(SIGPIPE, SIG_IGN);
  }
}

// The bytes of a huge body at [offset, offset + count): a valid document of the endpoint's
// kind whose middle is padding.
struct HugeBody {
  std::string prefix;
  std::string suffix;
  char filler;
  std::uint64_t size;

  void Read(std::uint64_t offset, std::size_t count, std::string& out) const {
    out.assign(count, filler);
    for (std::size_t i = 0; i < count; ++i) {
      std::uint64_t at = offset + i;
      if (at < prefix.size()) {
        out[i] = prefix[static_cast<std::size_t>(at)];
      } else if (at >= size - suffix.size()) {
        out[i] = suffix[static_cast<std::size_t>(at - (size - suffix.size()))];
      }
    }
  }
};

}  // namespace

class SampleProvider::Imp {
 public:
  Imp(Catalogue catalogue, Options options)
      : catalogue_(std::move(catalogue)),
        guide_(catalogue_),
        writer_(catalogue_, guide_),
        options_(std::move(options)) {
    for (std::size_t i = 0; i < kEndpointCount; ++i) {
      transfers_[i] = DefaultTransfer(static_cast<Endpoint>(i));
      faultVersions_[i] = 0;
    }
  }

  ~Imp() { Stop(); }

  bool Start();
  void Stop();
  bool SetOffline(bool offline);
  void SetOfflineFor(std::chrono::milliseconds duration);
  void Log(const std::string& text) const;

  std::string BaseUrl() const { return "http://" + host_ + ":" + std::to_string(port_.load()); }

  // Faults and transfer forms.
  void SetFault(Endpoint endpoint, const FaultRule& rule);
  FaultRule GetFault(Endpoint endpoint) const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return faults_[static_cast<std::size_t>(endpoint)];
  }
  void SetTransfer(Endpoint endpoint, const Transfer& transfer) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    transfers_[static_cast<std::size_t>(endpoint)] = transfer;
  }
  Transfer GetTransfer(Endpoint endpoint) const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return transfers_[static_cast<std::size_t>(endpoint)];
  }

  // Requests.
  std::vector<RequestRecord> Requests() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return records_;
  }
  std::size_t CountLocked(const std::string& prefix) const {
    std::size_t count = 0;
    for (const RequestRecord& record : records_) {
      count += record.target.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    }
    return count;
  }
  std::size_t RequestCount(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return CountLocked(prefix);
  }
  std::size_t RequestCount(Endpoint endpoint) const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return endpointCounts_[static_cast<std::size_t>(endpoint)];
  }
  void ClearRequests() {
    std::lock_guard<std::mutex> lock(stateMutex_);
    records_.clear();
    std::fill(std::begin(endpointCounts_), std::end(endpointCounts_), 0);
  }
  bool WaitForRequests(const std::string& prefix, std::size_t count,
                       std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(stateMutex_);
    return recordsChanged_.wait_for(lock, timeout, [&] { return CountLocked(prefix) >= count; });
  }
  bool WaitForRequests(Endpoint endpoint, std::size_t count,
                       std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(stateMutex_);
    return recordsChanged_.wait_for(lock, timeout, [&] {
      return endpointCounts_[static_cast<std::size_t>(endpoint)] >= count;
    });
  }

  const Catalogue& GetCatalogue() const { return catalogue_; }
  std::string RadioPlaylist() const { return writer_.RadioPlaylist(BaseUrl()); }

  std::atomic<std::uint16_t> port_{0};
  std::atomic<bool> offline_{false};

 private:
  using Maker = std::function<Document(const httplib::Request&, bool wrongTypes)>;

  std::unique_ptr<httplib::Server> MakeServer();
  bool Listen();
  void Unlisten();
  void Supervise();
  void NotifyRelease();
  bool Released(std::uint64_t generation) const {
    return stopping_ || generation_.load() != generation;
  }

  void RecordRequest(const httplib::Request& request);
  void TakeRule(Endpoint endpoint, FaultRule& rule, std::uint64_t& version, Transfer& transfer);
  void Serve(const httplib::Request& request, httplib::Response& response, Endpoint endpoint,
             const Maker& make);
  void Route(httplib::Server& server, const std::string& pattern, Endpoint endpoint,
             const Maker& make);
  void Hang(const httplib::Request& request, httplib::Response& response, Endpoint endpoint,
            std::uint64_t version);
  void SendBody(const httplib::Request& request, httplib::Response& response,
                const std::string& body, const std::string& contentType, Framing framing);
  void SendDripping(httplib::Response& response, const std::string& body,
                    const std::string& contentType, unsigned intervalMs);
  void SendThenReset(const httplib::Request& request, httplib::Response& response,
                     const std::string& body, const std::string& contentType);
  void SendHuge(const httplib::Request& request, httplib::Response& response, Endpoint endpoint,
                std::uint64_t size, Framing framing);
  void SendError(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(ErrorPage(status, text), kHtmlType);
  }
  Document Reject(const httplib::Request& request, int status, const std::string& reason) const {
    Log("rejected " + request.method + " " + request.target + ": " + reason);
    return Failure(status, reason);
  }

  // Documents.
  Document MakeStationList(const httplib::Request& request, bool wrongTypes) const;
  Document MakeShowList(const httplib::Request& request, bool wrongTypes) const;
  Document MakeShowDetails(const httplib::Request& request, bool wrongTypes) const;
  Document MakeLogo(const httplib::Request& request, unsigned width, unsigned height) const;
  Document MakeImage(const httplib::Request& request) const;

  // Exports for IPTV clients, and the control path.
  void AddExports(httplib::Server& server);
  void AddControl(httplib::Server& server);

  Catalogue catalogue_;
  Guide guide_;
  DocumentWriter writer_;
  Options options_;
  std::string host_ = "127.0.0.1";

  mutable std::mutex stateMutex_;
  mutable std::condition_variable recordsChanged_;
  FaultRule faults_[kEndpointCount];
  unsigned faultSeen_[kEndpointCount] = {};
  std::atomic<std::uint64_t> faultVersions_[kEndpointCount];
  Transfer transfers_[kEndpointCount];
  std::size_t endpointCounts_[kEndpointCount] = {};
  std::vector<RequestRecord> records_;
  bool recordsFullLogged_ = false;

  // Long-running responses (hang, drip, huge) wait here and end when released.
  std::mutex releaseMutex_;
  std::condition_variable releaseChanged_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint64_t> generation_{0};

  std::mutex lifecycleMutex_;
  std::unique_ptr<httplib::Server> server_;
  std::thread listenThread_;
  int reserveSocket_ = -1;
  bool started_ = false;
  bool stopped_ = false;

  std::mutex supervisorMutex_;
  std::condition_variable supervisorChanged_;
  std::thread supervisor_;
  bool supervisorQuit_ = false;
  bool goOffline_ = false;
  std::optional<Clock::time_point> onlineAt_;
  std::uint64_t explicitSwitches_ = 0;  // SetOffline calls; a timed switch they overtake lapses
};

void SampleProvider::Imp::Log(const std::string& text) const {
  if (options_.log) {
    options_.log(text);
  } else {
    std::cerr << "nivotv-provider: " << text << std::endl;
  }
}

bool SampleProvider::Imp::Start() {
  std::lock_guard<std::mutex> lock(lifecycleMutex_);
  if (started_) {
    Log("the provider was started before");
    return false;
  }
  if (!ResolveLoopback(options_.host, host_)) {
    Log("refusing to serve on '" + options_.host +
        "': only loopback addresses (127.0.0.0/8 or localhost) may be bound");
    return false;
  }
  IgnoreBrokenPipes();
  // A bound, never listening socket keeps the port ours while the provider is offline;
  // the listening sockets share the port with it through SO_REUSEPORT.
  std::string error;
  std::uint16_t port = 0;
  reserveSocket_ = ReservePort(host_, options_.port, port, error);
  if (reserveSocket_ < 0) {
    Log(error);
    return false;
  }
  port_ = port;
  if (!Listen()) {
    close(reserveSocket_);
    reserveSocket_ = -1;
    port_ = 0;
    return false;
  }
  started_ = true;
  supervisor_ = std::thread([this] { Supervise(); });
  return true;
}

void SampleProvider::Imp::Stop() {
  stopping_ = true;
  NotifyRelease();
  {
    std::lock_guard<std::mutex> lock(supervisorMutex_);
    supervisorQuit_ = true;
  }
  supervisorChanged_.notify_all();
  if (supervisor_.joinable()) {
    supervisor_.join();
  }
  std::lock_guard<std::mutex> lock(lifecycleMutex_);
  Unlisten();
  if (reserveSocket_ >= 0) {
    close(reserveSocket_);
    reserveSocket_ = -1;
  }
  stopped_ = true;
}

bool SampleProvider::Imp::Listen() {
  std::unique_ptr<httplib::Server> server = MakeServer();
  if (!server->bind_to_port(host_, port_.load())) {
    Log("cannot listen on " + host_ + ":" + std::to_string(port_.load()));
    return false;
  }
  httplib::Server* raw = server.get();
  listenThread_ = std::thread([raw] { raw->listen_after_bind(); });
  // stop() only takes effect once the accept loop runs, so wait for it.
  for (int i = 0; i < 10000 && !raw->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!raw->is_running()) {
    Log("the accept loop on " + host_ + ":" + std::to_string(port_.load()) + " did not start");
    raw->stop();
    listenThread_.join();
    return false;
  }
  server_ = std::move(server);
  offline_ = false;
  return true;
}

void SampleProvider::Imp::Unlisten() {
  if (!server_) {
    return;
  }
  ++generation_;
  NotifyRelease();
  server_->stop();
  listenThread_.join();  // also waits for the requests in flight
  server_.reset();
  offline_ = true;
}

bool SampleProvider::Imp::SetOffline(bool offline) {
  {
    // An explicit switch replaces any timed one.
    std::lock_guard<std::mutex> lock(supervisorMutex_);
    onlineAt_.reset();
    goOffline_ = false;
    ++explicitSwitches_;
  }
  std::lock_guard<std::mutex> lock(lifecycleMutex_);
  if (!started_ || stopped_) {
    Log("the provider is not running");
    return false;
  }
  if (offline) {
    Unlisten();
    return true;
  }
  return server_ ? true : Listen();
}

void SampleProvider::Imp::SetOfflineFor(std::chrono::milliseconds duration) {
  {
    std::lock_guard<std::mutex> lock(supervisorMutex_);
    goOffline_ = true;
    if (duration.count() > 0) {
      onlineAt_ = Clock::now() + duration;
    } else {
      onlineAt_.reset();
    }
  }
  supervisorChanged_.notify_all();
}

void SampleProvider::Imp::Supervise() {
  std::unique_lock<std::mutex> lock(supervisorMutex_);
  while (!supervisorQuit_) {
    bool goOffline = goOffline_;
    bool goOnline = !goOffline && onlineAt_ && Clock::now() >= *onlineAt_;
    if (goOffline || goOnline) {
      goOffline_ = false;
      if (goOnline) {
        onlineAt_.reset();
      }
      std::uint64_t switches = explicitSwitches_;
      lock.unlock();
      {
        std::lock_guard<std::mutex> lifecycle(lifecycleMutex_);
        bool overtaken;
        {
          std::lock_guard<std::mutex> again(supervisorMutex_);
          overtaken = switches != explicitSwitches_ || supervisorQuit_;
        }
        if (!overtaken && goOffline) {
          Unlisten();
        } else if (!overtaken && !stopped_ && !server_) {
          Listen();
        }
      }
      lock.lock();
      continue;
    }
    if (onlineAt_) {
      supervisorChanged_.wait_until(lock, *onlineAt_);
    } else {
      supervisorChanged_.wait(lock);
    }
  }
}

void SampleProvider::Imp::NotifyRelease() {
  { std::lock_guard<std::mutex> lock(releaseMutex_); }
  releaseChanged_.notify_all();
}

void SampleProvider::Imp::SetFault(Endpoint endpoint, const FaultRule& rule) {
  std::size_t index = static_cast<std::size_t>(endpoint);
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    faults_[index] = rule;
    faultSeen_[index] = 0;
    ++faultVersions_[index];
  }
  NotifyRelease();
}

void SampleProvider::Imp::RecordRequest(const httplib::Request& request) {
  // The HTTP library compresses some content types on its own whenever the client accepts
  // gzip; every encoding decision is ours, so its view of Accept-Encoding is removed. The
  // request object is not const at its origin, only in the handler signature.
  httplib::Request& mutableRequest = const_cast<httplib::Request&>(request);
  std::string acceptEncoding;
  for (auto it = request.headers.begin(); it != request.headers.end(); ++it) {
    if (strcasecmp(it->first.c_str(), "Accept-Encoding") == 0) {
      acceptEncoding += (acceptEncoding.empty() ? "" : ",") + it->second;
    }
  }
  mutableRequest.headers.erase("Accept-Encoding");
  mutableRequest.headers.emplace(kAcceptEncodingCopy, acceptEncoding);

  if (request.path.compare(0, 10, "/_control/") == 0) {
    return;
  }
  RequestRecord record;
  record.method = request.method;
  record.target = request.target;
  for (const auto& header : request.headers) {
    if (header.first == kAcceptEncodingCopy) {
      if (!acceptEncoding.empty()) {
        record.headers.emplace_back("Accept-Encoding", acceptEncoding);
      }
    } else if (header.first != "REMOTE_ADDR" && header.first != "REMOTE_PORT" &&
               header.first != "LOCAL_ADDR" && header.first != "LOCAL_PORT") {
      record.headers.emplace_back(header.first, header.second);
    }
  }
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (records_.size() < options_.maxRecords) {
      records_.push_back(std::move(record));
    } else if (!recordsFullLogged_) {
      recordsFullLogged_ = true;
      Log("request log full (" + std::to_string(options_.maxRecords) +
          " entries); later requests are only counted per endpoint");
    }
  }
  recordsChanged_.notify_all();
}

void SampleProvider::Imp::TakeRule(Endpoint endpoint, FaultRule& rule, std::uint64_t& version,
                                   Transfer& transfer) {
  std::size_t index = static_cast<std::size_t>(endpoint);
  std::lock_guard<std::mutex> lock(stateMutex_);
  ++endpointCounts_[index];
  const FaultRule& current = faults_[index];
  unsigned seen = faultSeen_[index]++;
  bool applies = current.fault != Fault::kNone && seen >= current.skip &&
                 (current.times == 0 || seen - current.skip < current.times);
  rule = applies ? current : FaultRule();
  version = faultVersions_[index];
  transfer = transfers_[index];
  recordsChanged_.notify_all();
}

void SampleProvider::Imp::Route(httplib::Server& server, const std::string& pattern,
                                Endpoint endpoint, const Maker& make) {
  server.Get(pattern,
             [this, endpoint, make](const httplib::Request& request, httplib::Response& response) {
               Serve(request, response, endpoint, make);
             });
}

void SampleProvider::Imp::Serve(const httplib::Request& request, httplib::Response& response,
                                Endpoint endpoint, const Maker& make) {
  FaultRule rule;
  std::uint64_t version = 0;
  Transfer transfer;
  TakeRule(endpoint, rule, version, transfer);
  switch (rule.fault) {
    case Fault::kHang:
      Hang(request, response, endpoint, version);
      return;
    case Fault::kHttpError:
      SendError(response, rule.status, "Injected failure");
      return;
    case Fault::kHugeBody:
      SendHuge(request, response, endpoint, rule.hugeBytes, transfer.framing);
      return;
    default:
      break;
  }
  Document document = make(request, rule.fault == Fault::kWrongTypes);
  if (document.status != 200) {
    SendError(response, document.status, document.body);
    return;
  }
  std::string body = std::move(document.body);
  bool spoil = rule.fault == Fault::kMalformed ||
               (rule.fault == Fault::kWrongTypes && document.kind != BodyKind::kJson);
  if (rule.fault == Fault::kEmptyBody) {
    body.clear();
  } else if (spoil) {
    switch (document.kind) {
      case BodyKind::kJson:
        // Cut and followed by markup: invalid wherever the cut falls, also inside a string.
        body = body.substr(0, body.size() * 2 / 3) + "<!-- upstream timeout -->";
        break;
      case BodyKind::kPlaylist:
        body = ErrorPage(502, "Bad Gateway");
        break;
      case BodyKind::kBinary:
        body.resize(body.size() / 2);
        break;
    }
  }
  bool corrupt = rule.fault == Fault::kCorruptGzip;
  bool truncated = rule.fault == Fault::kTruncatedGzip;
  bool gzip = rule.fault != Fault::kEmptyBody &&
              ((transfer.gzip && AcceptsGzip(request.get_header_value(kAcceptEncodingCopy))) ||
               corrupt || truncated);
  if (gzip) {
    body = Codec::Gzip(body);
    if (truncated) {
      body.resize(std::max<std::size_t>(11, body.size() / 2));
    }
    if (corrupt && body.size() > 10) {
      // Right after the 10-byte member header: a final block of the reserved type 3, which
      // every inflater rejects.
      body[10] = static_cast<char>(0xFF);
    }
    response.set_header("Content-Encoding", "gzip");
    response.set_header("Vary", "Accept-Encoding");
  }
  if (rule.fault == Fault::kDrip) {
    SendDripping(response, body, document.contentType, rule.dripIntervalMs);
  } else if (rule.fault == Fault::kResetMidBody) {
    SendThenReset(request, response, body, document.contentType);
  } else {
    SendBody(request, response, body, document.contentType, transfer.framing);
  }
}

void SampleProvider::Imp::Hang(const httplib::Request& request, httplib::Response& response,
                               Endpoint endpoint, std::uint64_t version) {
  int fd = FindConnection(request);
  if (fd < 0) {
    Log("cannot find the connection of " + request.target + " to hang it; answering 503");
    SendError(response, 503, "Service Unavailable");
    return;
  }
  std::uint64_t generation = generation_;
  std::size_t index = static_cast<std::size_t>(endpoint);
  {
    std::unique_lock<std::mutex> lock(releaseMutex_);
    while (!Released(generation) && faultVersions_[index].load() == version && !PeerClosed(fd)) {
      releaseChanged_.wait_for(lock, std::chrono::milliseconds(100));
    }
  }
  // Never answered: the connection ends with a reset, whatever released it.
  ResetConnection(fd);
  response.status = 503;
}

void SampleProvider::Imp::SendBody(const httplib::Request& request, httplib::Response& response,
                                   const std::string& body, const std::string& contentType,
                                   Framing framing) {
  if (framing == Framing::kContentLength) {
    response.set_content(body, contentType);
    return;
  }
  auto data = std::make_shared<std::string>(body);
  if (framing == Framing::kChunked) {
    auto piece = std::make_shared<std::size_t>(0);
    response.set_chunked_content_provider(
        contentType, [data, piece](std::size_t offset, httplib::DataSink& sink) {
          if (offset >= data->size()) {
            sink.done();
            return true;
          }
          std::size_t size = kChunkSizes[(*piece)++ % (sizeof(kChunkSizes) / sizeof(std::size_t))];
          return sink.write(data->data() + offset, std::min(size, data->size() - offset));
        });
    return;
  }
  int fd = CloseAfterBody(request, response);
  response.set_content_provider(
      contentType, [data, fd](std::size_t offset, httplib::DataSink& sink) {
        if (offset >= data->size()) {
          sink.done();
          EndBody(fd);
          return true;
        }
        std::size_t size = std::min<std::size_t>(16384, data->size() - offset);
        return sink.write(data->data() + offset, size);
      });
}

void SampleProvider::Imp::SendDripping(httplib::Response& response, const std::string& body,
                                       const std::string& contentType, unsigned intervalMs) {
  if (body.empty()) {
    response.set_content(body, contentType);
    return;
  }
  auto data = std::make_shared<std::string>(body);
  std::uint64_t generation = generation_;
  response.set_content_provider(
      data->size(), contentType,
      [this, data, generation, intervalMs](std::size_t offset, std::size_t,
                                           httplib::DataSink& sink) {
        if (offset > 0) {
          std::unique_lock<std::mutex> lock(releaseMutex_);
          if (releaseChanged_.wait_for(lock, std::chrono::milliseconds(intervalMs),
                                       [&] { return Released(generation); })) {
            return false;
          }
        }
        return sink.write(data->data() + offset, 1);
      });
}

void SampleProvider::Imp::SendThenReset(const httplib::Request& request,
                                        httplib::Response& response, const std::string& body,
                                        const std::string& contentType) {
  int fd = FindConnection(request);
  if (fd < 0) {
    Log("cannot find the connection of " + request.target + " to reset it");
  }
  auto data = std::make_shared<std::string>(body);
  response.set_content_provider(
      std::max<std::size_t>(data->size(), 2), contentType,
      [data, fd](std::size_t offset, std::size_t, httplib::DataSink& sink) {
        std::size_t half = data->size() / 2;
        if (offset < half) {
          return sink.write(data->data() + offset, half - offset);
        }
        if (fd >= 0) {
          WaitUntilSent(fd);
          ResetConnection(fd);
        }
        return false;
      });
}

void SampleProvider::Imp::SendHuge(const httplib::Request& request, httplib::Response& response,
                                   Endpoint endpoint, std::uint64_t size, Framing framing) {
  auto huge = std::make_shared<HugeBody>();
  std::string contentType = kJsonType;
  switch (endpoint) {
    case Endpoint::kPlaylistFta:
    case Endpoint::kPlaylistPlus:
    case Endpoint::kPlaylistAll:
    case Endpoint::kRadio:
      huge->prefix = "#EXTM3U\n";
      huge->filler = ' ';
      contentType = kPlaylistType;
      break;
    case Endpoint::kShowList:
      huge->prefix = "[{},[";
      huge->suffix = "]]";
      huge->filler = ' ';
      break;
    case Endpoint::kLogo:
    case Endpoint::kImage:
    case Endpoint::kStream:
      huge->filler = '\0';
      contentType = "application/octet-stream";
      break;
    default:
      huge->prefix = "{\"data\":[";
      huge->suffix = "]}";
      huge->filler = ' ';
      break;
  }
  huge->size = std::max<std::uint64_t>(size, huge->prefix.size() + huge->suffix.size());
  std::uint64_t generation = generation_;
  int fd = framing == Framing::kCloseDelimited ? CloseAfterBody(request, response) : -1;
  auto write = [this, huge, generation, fd](std::uint64_t offset, httplib::DataSink& sink) {
    if (Released(generation)) {
      return false;
    }
    if (offset >= huge->size) {
      sink.done();
      EndBody(fd);
      return true;
    }
    std::string block;
    huge->Read(offset,
               static_cast<std::size_t>(std::min<std::uint64_t>(65536, huge->size - offset)),
               block);
    return sink.write(block.data(), block.size());
  };
  if (framing == Framing::kContentLength) {
    response.set_content_provider(static_cast<std::size_t>(huge->size), contentType,
                                  [write](std::size_t offset, std::size_t,
                                          httplib::DataSink& sink) { return write(offset, sink); });
  } else if (framing == Framing::kChunked) {
    response.set_chunked_content_provider(contentType, write);
  } else {
    response.set_content_provider(contentType, write);
  }
}

Document SampleProvider::Imp::MakeStationList(const httplib::Request& request,
                                              bool wrongTypes) const {
  if (request.get_param_value("type") != "JSON.1") {
    return Reject(request, 400, "unsupported type '" + request.get_param_value("type") + "'");
  }
  return Json(writer_.StationList(BaseUrl(), wrongTypes));
}

Document SampleProvider::Imp::MakeShowList(const httplib::Request& request, bool wrongTypes) const {
  std::string periodText = request.get_param_value("period");
  Period period;
  std::string error;
  if (!ParsePeriod(periodText, 240, period, error)) {
    return Reject(request, 400, error);
  }
  std::uint32_t uid = 0;
  if (!ParseUint32(request.get_param_value("stationuid"), uid)) {
    return Reject(request, 400, "stationuid must be a decimal number");
  }
  return Json(writer_.ShowList(uid, periodText, period, wrongTypes));
}

Document SampleProvider::Imp::MakeShowDetails(const httplib::Request& request,
                                              bool wrongTypes) const {
  if (request.get_param_value("type") != "JSON.3") {
    return Reject(request, 400, "unsupported type '" + request.get_param_value("type") + "'");
  }
  std::uint32_t id = 0;
  if (!ParseUint32(request.get_param_value("evid"), id)) {
    return Reject(request, 400, "evid must be a decimal number");
  }
  std::string document;
  if (!writer_.ShowDetails(id, BaseUrl(), wrongTypes, document)) {
    return Reject(request, 404, "no event " + std::to_string(id));
  }
  return Json(document);
}

Document SampleProvider::Imp::MakeLogo(const httplib::Request& request, unsigned width,
                                       unsigned height) const {
  const Station* station = catalogue_.FindByLogo(request.matches[1].str());
  if (station == nullptr) {
    return Reject(request, 404, "no such logo");
  }
  return Document{200, Codec::Badge(width, height, station->colour, station->uid), "image/png",
                  BodyKind::kBinary};
}

Document SampleProvider::Imp::MakeImage(const httplib::Request& request) const {
  std::uint32_t id = 0;
  Show show;
  const Station* station = nullptr;
  if (!ParseUint32(request.matches[1].str(), id) || !guide_.Find(id, show, station)) {
    return Reject(request, 404, "no such image");
  }
  return Document{200, Codec::Badge(160, 90, station->colour ^ (id & 0x3F3F3F), id), "image/png",
                  BodyKind::kBinary};
}

std::unique_ptr<httplib::Server> SampleProvider::Imp::MakeServer() {
  auto server = std::make_unique<httplib::Server>();
  server->new_task_queue = [] { return new httplib::ThreadPool(16); };
  server->set_keep_alive_timeout(30);
  server->set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    setsockopt(sock, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof(yes));
  });
  server->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
    RecordRequest(request);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server->set_exception_handler([this](const httplib::Request& request, httplib::Response& response,
                                       std::exception_ptr failure) {
    std::string text = "unknown exception";
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      text = e.what();
    } catch (...) {
    }
    Log("request " + request.target + " failed: " + text);
    SendError(response, 500, "Internal Server Error");
  });
  if (options_.logRequests) {
    server->set_logger([this](const httplib::Request& request, const httplib::Response& response) {
      Log(request.method + " " + request.target + " -> " + std::to_string(response.status));
    });
  }

  Route(*server, "/pelta_bapi/Android/index/headerinfo", Endpoint::kHeaderInfo,
        [this](const httplib::Request&, bool) { return Json(writer_.HeaderInfo()); });
  Route(*server, R"(/a/api\.mobile\.station\.get)", Endpoint::kStationList,
        [this](const httplib::Request& request, bool wrongTypes) {
          return MakeStationList(request, wrongTypes);
        });
  const std::pair<const char*, Endpoint> playlists[] = {
      {R"(/a/service\.fta\.m3u)", Endpoint::kPlaylistFta},
      {R"(/a/service\.plus\.m3u)", Endpoint::kPlaylistPlus},
      {R"(/a/service\.m3u)", Endpoint::kPlaylistAll},
  };
  for (const auto& playlist : playlists) {
    Endpoint endpoint = playlist.second;
    Route(*server, playlist.first, endpoint, [this, endpoint](const httplib::Request&, bool) {
      return Document{200, writer_.Playlist(endpoint, BaseUrl()), kPlaylistType,
                      BodyKind::kPlaylist};
    });
  }
  Route(*server, R"(/a/api\.mobile\.event\.hour)", Endpoint::kShowList,
        [this](const httplib::Request& request, bool wrongTypes) {
          return MakeShowList(request, wrongTypes);
        });
  Route(*server, R"(/a/api\.mobile\.event\.get)", Endpoint::kShowDetails,
        [this](const httplib::Request& request, bool wrongTypes) {
          return MakeShowDetails(request, wrongTypes);
        });
  Route(*server, R"(/logo/60x30/([^/]+))", Endpoint::kLogo,
        [this](const httplib::Request& request, bool) { return MakeLogo(request, 60, 30); });
  Route(*server, R"(/station/128x64/([^/]+))", Endpoint::kLogo,
        [this](const httplib::Request& request, bool) { return MakeLogo(request, 128, 64); });
  Route(*server, R"(/image/([0-9]+)\.png)", Endpoint::kImage,
        [this](const httplib::Request& request, bool) { return MakeImage(request); });
  Route(*server, R"(/stream/(?:fta/|plus/)?[0-9]+\.ts)", Endpoint::kStream,
        [](const httplib::Request&, bool) {
          // Four MPEG transport stream null packets: enough for a player to recognise.
          std::string packets;
          for (int i = 0; i < 4; ++i) {
            std::string packet(188, static_cast<char>(0xFF));
            packet[0] = 0x47;
            packet[1] = 0x1F;
            packet[2] = static_cast<char>(0xFF);
            packet[3] = static_cast<char>(0x10 | i);
            packets += packet;
          }
          return Document{200, packets, "video/mp2t", BodyKind::kBinary};
        });
  Route(*server, R"(/radio/[0-9]+\.mp3)", Endpoint::kStream, [](const httplib::Request&, bool) {
    return Document{200, std::string("ID3\x03\x00\x00\x00\x00\x00\x00", 10), "audio/mpeg",
                    BodyKind::kBinary};
  });
  Route(*server, R"(/radio\.m3u)", Endpoint::kRadio, [this](const httplib::Request&, bool) {
    return Document{200, writer_.RadioPlaylist(BaseUrl()), kPlaylistType, BodyKind::kPlaylist};
  });
  AddExports(*server);
  AddControl(*server);
  server->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    Log("no document at " + request.target);
    SendError(response, 404, "Not Found");
  });
  return server;
}

void SampleProvider::Imp::AddExports(httplib::Server& server) {
  // For generic IPTV clients run side by side with the add-on; no faults or transfer forms
  // apply to these two.
  server.Get("/export/playlist.m3u", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(ExportWriter(catalogue_, guide_).Playlist(BaseUrl()), kPlaylistType);
  });
  server.Get(
      "/export/xmltv.xml", [this](const httplib::Request& request, httplib::Response& response) {
        // The guide from `past` days before now to `days` days after it (defaults 1 and 3, the
        // span a media centre shows by default).
        std::uint32_t days = 3;
        std::uint32_t past = 1;
        if ((request.has_param("days") && !ParseUint32(request.get_param_value("days"), days)) ||
            (request.has_param("past") && !ParseUint32(request.get_param_value("past"), past)) ||
            days > 14 || past > 14) {
          Log("export: days and past must be whole numbers of at most 14");
          SendError(response, 400, "days and past must be whole numbers of at most 14");
          return;
        }
        CivilSeconds now = NowLocal();
        response.set_content(
            ExportWriter(catalogue_, guide_)
                .Xmltv(BaseUrl(), now - static_cast<CivilSeconds>(past) * kSecondsPerDay,
                       now + static_cast<CivilSeconds>(days) * kSecondsPerDay),
            "application/xml");
      });
}

void SampleProvider::Imp::AddControl(httplib::Server& server) {
  auto answer = [](httplib::Response& response, bool ok, const std::string& text) {
    response.status = ok ? 200 : 400;
    response.set_content(text + "\n", "text/plain");
  };
  server.Post("/_control/fault",
              [this, answer](const httplib::Request& request, httplib::Response& response) {
                std::string option =
                    request.get_param_value("endpoint") + "=" + request.get_param_value("kind");
                if (request.has_param("status")) {
                  option += ":" + request.get_param_value("status");
                }
                for (const char* name : {"skip", "times", "bytes", "interval"}) {
                  if (request.has_param(name)) {
                    option += std::string(",") + name + "=" + request.get_param_value(name);
                  }
                }
                std::vector<Endpoint> endpoints;
                FaultRule rule;
                std::string error;
                if (!ParseFaultOption(option, endpoints, rule, error)) {
                  Log("control: " + error);
                  answer(response, false, error);
                  return;
                }
                for (Endpoint endpoint : endpoints) {
                  SetFault(endpoint, rule);
                }
                answer(response, true, "fault " + option);
              });
  server.Post("/_control/clear",
              [this, answer](const httplib::Request&, httplib::Response& response) {
                for (std::size_t i = 0; i < kEndpointCount; ++i) {
                  SetFault(static_cast<Endpoint>(i), FaultRule());
                }
                answer(response, true, "faults cleared");
              });
  server.Post("/_control/transfer",
              [this, answer](const httplib::Request& request, httplib::Response& response) {
                std::string option =
                    request.get_param_value("endpoint") + "=" + request.get_param_value("framing");
                std::string gzip = request.get_param_value("gzip");
                if (gzip == "on" || gzip == "off") {
                  option += gzip == "on" ? "+gzip" : "-gzip";
                } else if (!gzip.empty()) {
                  answer(response, false, "gzip must be on or off");
                  return;
                }
                std::vector<Endpoint> endpoints;
                Transfer transfer;
                std::string error;
                if (!ParseTransferOption(option, endpoints, transfer, error)) {
                  Log("control: " + error);
                  answer(response, false, error);
                  return;
                }
                for (Endpoint endpoint : endpoints) {
                  SetTransfer(endpoint, transfer);
                }
                answer(response, true, "transfer " + option);
              });
  server.Post("/_control/offline", [this, answer](const httplib::Request& request,
                                                  httplib::Response& response) {
    std::uint32_t seconds = 0;
    if (request.has_param("seconds") && !ParseUint32(request.get_param_value("seconds"), seconds)) {
      answer(response, false, "seconds must be a decimal number");
      return;
    }
    // The answer goes out before the listener closes: the supervisor does the switch.
    SetOfflineFor(std::chrono::seconds(seconds));
    answer(
        response, true,
        "going offline" + (seconds > 0 ? " for " + std::to_string(seconds) + " s" : std::string()));
  });
  server.Get("/_control/requests", [this](const httplib::Request&, httplib::Response& response) {
    std::string text;
    for (const RequestRecord& record : Requests()) {
      text += record.method + " " + record.target + "\n";
    }
    response.set_content(text, "text/plain");
  });
  server.Post("/_control/requests/clear",
              [this, answer](const httplib::Request&, httplib::Response& response) {
                ClearRequests();
                answer(response, true, "requests cleared");
              });
}

SampleProvider::SampleProvider(Catalogue catalogue)
    : SampleProvider(std::move(catalogue), Options()) {}

SampleProvider::SampleProvider(Catalogue catalogue, Options options)
    : imp_(new Imp(std::move(catalogue), std::move(options))) {}

SampleProvider::~SampleProvider() = default;

bool SampleProvider::Start() {
  return imp_->Start();
}
void SampleProvider::Stop() {
  imp_->Stop();
}
std::uint16_t SampleProvider::Port() const {
  return imp_->port_;
}
std::string SampleProvider::BaseUrl() const {
  return imp_->BaseUrl();
}
const Catalogue& SampleProvider::GetCatalogue() const {
  return imp_->GetCatalogue();
}
std::string SampleProvider::RadioPlaylist() const {
  return imp_->RadioPlaylist();
}

void SampleProvider::SetFault(Endpoint endpoint, const FaultRule& rule) {
  imp_->SetFault(endpoint, rule);
}
void SampleProvider::SetFaultEverywhere(const FaultRule& rule) {
  for (std::size_t i = 0; i < kEndpointCount; ++i) {
    imp_->SetFault(static_cast<Endpoint>(i), rule);
  }
}
void SampleProvider::ClearFaults() {
  SetFaultEverywhere(FaultRule());
}
FaultRule SampleProvider::GetFault(Endpoint endpoint) const {
  return imp_->GetFault(endpoint);
}
bool SampleProvider::SetOffline(bool offline) {
  return imp_->SetOffline(offline);
}
void SampleProvider::SetOfflineFor(std::chrono::milliseconds duration) {
  imp_->SetOfflineFor(duration);
}
bool SampleProvider::IsOffline() const {
  return imp_->offline_;
}

void SampleProvider::SetTransfer(Endpoint endpoint, const Transfer& transfer) {
  imp_->SetTransfer(endpoint, transfer);
}
void SampleProvider::SetTransferEverywhere(const Transfer& transfer) {
  for (std::size_t i = 0; i < kEndpointCount; ++i) {
    imp_->SetTransfer(static_cast<Endpoint>(i), transfer);
  }
}
Transfer SampleProvider::GetTransfer(Endpoint endpoint) const {
  return imp_->GetTransfer(endpoint);
}

std::vector<RequestRecord> SampleProvider::Requests() const {
  return imp_->Requests();
}
std::vector<std::string> SampleProvider::RequestTargets() const {
  std::vector<std::string> targets;
  for (const RequestRecord& record : imp_->Requests()) {
    targets.push_back(record.target);
  }
  return targets;
}
std::size_t SampleProvider::RequestCount(const std::string& targetPrefix) const {
  return imp_->RequestCount(targetPrefix);
}
std::size_t SampleProvider::RequestCount(Endpoint endpoint) const {
  return imp_->RequestCount(endpoint);
}
void SampleProvider::ClearRequests() {
  imp_->ClearRequests();
}
bool SampleProvider::WaitForRequests(const std::string& targetPrefix, std::size_t count,
                                     std::chrono::milliseconds timeout) const {
  return imp_->WaitForRequests(targetPrefix, count, timeout);
}
bool SampleProvider::WaitForRequests(Endpoint endpoint, std::size_t count,
                                     std::chrono::milliseconds timeout) const {
  return imp_->WaitForRequests(endpoint, count, timeout);
}

}  // namespace provider
}  // namespace zu

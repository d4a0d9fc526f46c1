#include "nivo/HttpPageReader.h"

#include <sys/socket.h>

#include <cerrno>
#include <utility>

#include "net/Address.h"
#include "net/Factory.h"
#include "nivo/FailureRun.h"
#include "nivo/HttpRequest.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

// One read asks for at most this much, less one byte.
const size_t kScratchSize = 262144;
// Times from this on mean "as long as it takes".
const uint64_t kUnboundedSeconds = 100ull * 365 * 24 * 3600;
// Bytes a request has to receive to count as making progress. Counting every byte would let
// a peer that trickles a byte now and then hold the request, and the client mutex with it,
// for as long as it likes.
const size_t kProgressBytes = 1024;

// time as a duration; false when it is too long to bound anything.
bool ToDuration(const zu::Time& time, std::chrono::steady_clock::duration& duration) {
  if (time.GetSeconds() >= kUnboundedSeconds)
    return false;
  duration = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::seconds(time.GetSeconds()) + std::chrono::nanoseconds(time.GetNanoSeconds()));
  return true;
}

enum class Liveness { Open, Readable, Ended };

// How a connection stands, found without waiting and without taking a byte or logging: open
// with nothing to read, readable, or ended (closed or reset by the peer, or in error).
Liveness Look(net::ReadWriteSocket& socket) {
  const int descriptor = socket.GetDescriptor();
  if (descriptor == -1)
    return Liveness::Ended;
  char byte = 0;
  ssize_t count = 0;
  do {
    count = ::recv(descriptor, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  } while (count < 0 && errno == EINTR);
  if (count > 0)
    return Liveness::Readable;
  if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
    return Liveness::Open;
  return Liveness::Ended;
}

// Hands the server's calls to the reader while it exists, without keeping it alive.
class Forwarder : public net::SocketServer::DataReceiver {
 public:
  explicit Forwarder(WeakPtr<HttpPageReader> reader) : reader_(std::move(reader)) {}

  bool OnDataReceived(net::ReadWriteSocketPtr socket) override {
    const SharedPtr<HttpPageReader> reader = reader_.lock();
    if (reader)
      return reader->OnDataReceived(std::move(socket));
    if (socket)
      socket->Close();
    return false;
  }
  void OnPassEnd() override {
    const SharedPtr<HttpPageReader> reader = reader_.lock();
    if (reader)
      reader->OnPassEnd();
  }

 private:
  const WeakPtr<HttpPageReader> reader_;
};

}  // namespace

SharedPtr<HttpPageReader> HttpPageReader::Create() {
  return Create(Options());
}

SharedPtr<HttpPageReader> HttpPageReader::Create(const Options& options) {
  SharedPtr<HttpPageReader> reader = Create(options, StartSocketServer());
  reader->ownServer_ = true;
  return reader;
}

SharedPtr<HttpPageReader> HttpPageReader::Create(const Options& options,
                                                 net::SocketServerPtr server) {
  SharedPtr<HttpPageReader> reader(new HttpPageReader(options, std::move(server)));
  reader->forwarder_ = std::make_shared<Forwarder>(reader);
  return reader;
}

HttpPageReader::HttpPageReader(const Options& options, net::SocketServerPtr server)
    : options_(options),
      server_(std::move(server)),
      parser_(options.sizeLimit),
      scratch_(kScratchSize) {
  progressBounded_ = ToDuration(options_.progressTimeout, progressTimeout_);
  if (!ToDuration(options_.keptConnectionIdle, keptConnectionIdle_))
    keptConnectionIdle_ = std::chrono::hours(24 * 365 * 100);
}

HttpPageReader::~HttpPageReader() {
  std::lock_guard<std::mutex> lock(mutex_);
  DropConnection();
}

net::SocketServerPtr HttpPageReader::StartSocketServer() {
  net::SocketServerPtr server = net::factory::CreateSocketServer();
  if (!server || !server->Start(true)) {
    ZU_ERROR("NivoTV", "failed starting socket server");
    return net::SocketServerPtr();
  }
  return server;
}

void HttpPageReader::StopServer() {
  net::SocketServerPtr server;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == RequestState::Pending) {
      state_ = RequestState::Cancelled;
      changed_.notify_all();
    }
    DropConnection();
    server.swap(server_);
  }
  if (server && ownServer_)
    server->Stop(true);
}

HttpFrame HttpPageReader::GetHttpPage(const HttpUrl& url, const HeaderMap& headers) {
  return GetHttpPage(url, headers, nullptr);
}

HttpFrame HttpPageReader::GetHttpPage(const HttpUrl& url, const HeaderMap& headers,
                                      FailureRun* failures) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this]() { return !busy_; });
  busy_ = true;
  // However the request ends, the next caller may start.
  struct Release {
    HttpPageReader& reader;
    std::unique_lock<std::mutex>& lock;
    ~Release() {
      if (!lock.owns_lock())
        lock.lock();
      reader.busy_ = false;
      reader.changed_.notify_all();
    }
  } release{*this, lock};

  url_ = url;
  run_ = failures;
  const std::string urlText = url.GetUrl();
  HttpFrame result;
  if (!IsSafeRequest(url, headers)) {
    ZU_RUN_FAILURE(run_, "NivoTV",
                   "Refusing a request with a line break in its URL or headers: " + urlText);
  } else {
    mayKeep_ = false;
    if (options_.keepAlive) {
      // Unless the caller asked for the close itself.
      const HeaderMap composed = ComposeRequestHeaders(url, headers, true);
      const std::string* connection = FindHeader(composed, "Connection");
      mayKeep_ = !(connection && HasListElement(*connection, "close"));
    }
    if (Exchange(lock, url, ComposeRequest(url, headers, options_.keepAlive))) {
      if (state_ == RequestState::Complete)
        result = parser_.TakeFrame();
      if (result.body.empty()) {
        ZU_RUN_FAILURE(run_, "NivoTV", "failed reading data of " + urlText);
        result.Clear();
      }
    }
  }
  Reset();
  return result;
}

bool HttpPageReader::Exchange(std::unique_lock<std::mutex>& lock, const HttpUrl& url,
                              const std::string& text) {
  const std::string destination = url.GetHostAndPort();
  // Twice at most: a kept connection found closed is replaced once by a new one, on which
  // nothing is repeated.
  for (;;) {
    net::ReadWriteSocketPtr socket;
    // A kept connection that the peer has closed meanwhile, or that holds bytes nobody asked
    // for, is not used: the server thread drops such a one, but may not have got to it yet.
    reused_ = kept_ && socket_ && keptFor_ == destination && Look(*socket_) == Liveness::Open;
    if (reused_) {
      socket = socket_;
      kept_ = false;
    } else {
      DropConnection();
      if (server_ && !url.host.empty()) {
        // Not under the mutex: the server thread must not wait for a name lookup.
        lock.unlock();
        net::Address address;
        if (address.SetHostName(url.host))
          socket = net::factory::Connect(address, url.port, net::TCP);
        lock.lock();
      }
      if (socket && !server_)
        socket->Close();  // stopped meanwhile
      if (!socket || !server_) {
        ZU_RUN_FAILURE(run_, "NivoTV", "failed connecting " + url.GetUrl());
        return false;
      }
    }
    socket_ = socket;
    state_ = RequestState::Pending;
    parser_.Reset();
    responseBytes_ = 0;
    bytesSinceProgress_ = 0;
    lastActivity_ = Clock::now();
    // A new connection is sent on before it is registered, a kept one under the mutex: the
    // server thread never reads or closes a connection while this thread writes to it.
    if (socket->SendBytes(text.data(), text.size()) != text.size()) {
      if (reused_) {
        ZU_INFO("NivoTV", "Kept connection lost, sending again on a new one: " + url.GetUrl());
        continue;
      }
      ZU_RUN_FAILURE(run_, "NivoTV", "failed sending command " + text);
      return false;
    }
    if (!reused_ && !server_->AddSocket(socket, forwarder_)) {
      ZU_RUN_FAILURE(run_, "NivoTV", "failed connecting " + url.GetUrl());
      return false;
    }
    WaitForResponse(lock);
    if (state_ != RequestState::Reconnect)
      return true;
  }
}

void HttpPageReader::WaitForResponse(std::unique_lock<std::mutex>& lock) {
  while (state_ == RequestState::Pending) {
    if (!progressBounded_) {
      changed_.wait(lock);
      continue;
    }
    // Bytes received meanwhile may have moved the deadline on: it is looked at again after
    // every wake-up.
    const Clock::time_point deadline = lastActivity_ + progressTimeout_;
    if (Clock::now() >= deadline) {
      // Given up: from here on the handler leaves the connection alone.
      state_ = RequestState::GivenUp;
      return;
    }
    changed_.wait_until(lock, deadline);
  }
}

void HttpPageReader::Reset() {
  if (!kept_)
    DropConnection();
  parser_.Reset();
  state_ = RequestState::Idle;
  reused_ = false;
  mayKeep_ = false;
  pending_ = nullptr;
  pendingSize_ = 0;
  url_ = HttpUrl();
  run_ = nullptr;
}

void HttpPageReader::DropConnection() {
  kept_ = false;
  if (!socket_)
    return;
  socket_->Close();
  if (server_)
    server_->RemoveSocket(socket_);
  socket_.reset();
}

bool HttpPageReader::OnDataReceived(net::ReadWriteSocketPtr socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!socket)
    return false;
  if (socket != socket_) {
    // Left over from a request that has ended: its reader has moved on.
    socket->Close();
    return false;
  }
  if (kept_) {
    // Unused, it is readable only when the peer has closed it or sent what nobody asked
    // for: either way it can carry no response.
    DropConnection();
    return false;
  }
  if (state_ != RequestState::Pending)
    return false;

  // A kept connection that ends before the first byte of the response has been let go by
  // the peer, maybe while the request was on its way, which resets it: looked at first, so
  // that its end is not read, and logged, as a failure.
  if (reused_ && responseBytes_ == 0) {
    const Liveness liveness = Look(*socket);
    if (liveness == Liveness::Open)
      return true;
    if (liveness == Liveness::Ended)
      socket->Close();
  }
  const bool open = Receive(socket);
  if (!open && reused_ && responseBytes_ == 0) {
    ZU_INFO("NivoTV", "Kept connection closed, sending again on a new one: " + url_.GetUrl());
    state_ = RequestState::Reconnect;
    changed_.notify_all();
    return false;
  }
  if (ParseHeader() && ExtractPayload(!open)) {
    if (open && mayKeep_ && parser_.CanCarryAnother() && !parser_.GetFrame().body.empty()) {
      kept_ = true;
      keptFor_ = url_.GetHostAndPort();
      keptSince_ = Clock::now();
    } else {
      socket->Close();
    }
    state_ = RequestState::Complete;
    changed_.notify_all();
    return false;
  }
  if (open && parser_.GetFailure() == HttpResponseParser::Failure::None)
    return true;
  socket->Close();
  CancelFrame();
  return false;
}

void HttpPageReader::OnPassEnd() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (kept_ && Clock::now() - keptSince_ >= keptConnectionIdle_)
    DropConnection();
}

bool HttpPageReader::Receive(const net::ReadWriteSocketPtr& socket) {
  pending_ = scratch_.data();
  pendingSize_ = 0;
  // A kept connection closed before the first byte of the response only means that the
  // peer let it go: the request is sent again, and nothing has failed yet.
  const bool quiet = reused_ && responseBytes_ == 0;
  if (!socket->IsValid()) {
    if (!quiet)
      ZU_RUN_FAILURE(run_, "NivoTV", "Socket closed: " + url_.GetUrl());
    return false;
  }
  const size_t count = socket->ReceiveBytes(scratch_.data(), scratch_.size() - 1);
  if (!socket->IsValid()) {
    // Also the normal end of a response delimited by the close of the connection.
    if (!quiet)
      ZU_RUN_FAILURE(run_, "NivoTV", "Socket closed during reading from: " + url_.GetUrl());
    return false;
  }
  pendingSize_ = count;
  responseBytes_ += count;
  bytesSinceProgress_ += count;
  if (bytesSinceProgress_ >= kProgressBytes) {
    lastActivity_ = Clock::now();
    bytesSinceProgress_ = 0;
  }
  return true;
}

bool HttpPageReader::ParseHeader() {
  size_t used = 0;
  const HttpResponseParser::Status status = parser_.ParseHeader(pending_, pendingSize_, used);
  return TakeStep(status, used);
}

bool HttpPageReader::ExtractPayload(bool connectionClosed) {
  size_t used = 0;
  const HttpResponseParser::Status status =
      parser_.ExtractPayload(pending_, pendingSize_, used, connectionClosed);
  return TakeStep(status, used);
}

bool HttpPageReader::TakeStep(HttpResponseParser::Status status, size_t used) {
  pending_ += used;
  pendingSize_ -= used;
  if (status == HttpResponseParser::Status::Failed) {
    const std::string text = HttpResponseParser::FailureText(parser_.GetFailure());
    if (!text.empty())
      ZU_RUN_FAILURE(run_, "NivoTV", text + url_.GetUrl());
  }
  return status == HttpResponseParser::Status::Complete;
}

void HttpPageReader::CancelFrame() {
  ZU_RUN_FAILURE(run_, "NivoTV", "Cancel due to error: " + url_.GetUrl());
  if (state_ == RequestState::Pending)
    state_ = RequestState::Cancelled;
  changed_.notify_all();
}

void HttpPageReader::CancelRequest() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ != RequestState::Pending)
    return;
  // The waiting caller finds the request no longer pending and cleans up; from here on the
  // handler leaves the connection alone.
  state_ = RequestState::Cancelled;
  changed_.notify_all();
}

}  // namespace nivo
}  // namespace zu

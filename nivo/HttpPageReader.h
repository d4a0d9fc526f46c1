#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "base/SharedPtr.h"
#include "multi_threading/Time.h"
#include "net/ReadWriteSocket.h"
#include "net/SocketServer.h"
#include "nivo/HttpFrame.h"
#include "nivo/HttpResponseParser.h"
#include "nivo/HttpUrl.h"

namespace zu {
namespace nivo {

class FailureRun;

// The add-on's HTTP/1.1 client: GET requests whose responses are received on the thread of a
// socket server and parsed there (see HttpResponseParser: only "HTTP/1.1 200 OK" is accepted,
// the payload is de-chunked and inflated).
//
// Connections: by default every request connects anew and asks for "Connection: close". With
// keep-alive, a response that leaves its connection able to carry another one (HTTP/1.1,
// framed by length or chunks, no "Connection: close") keeps it for the next request to the
// same host and port. A kept connection stays registered with the server, so its close by
// the peer drops it at once; a request on a kept connection that is closed before the first
// byte of the response is sent once more on a new one, with nothing logged above Info. Kept
// connections are closed after Options::keptConnectionIdle and by StopServer.
//
// Threads: GetHttpPage, CancelRequest and StopServer may be called from any thread except the
// server's; a reader serves one request at a time (an overlapping call waits for the running
// one), and several readers may share one server. Both sides meet under the reader's mutex,
// so a response that arrives after its request was given up never touches the next request.
class HttpPageReader : public net::SocketServer::DataReceiver,
                       public SharedPtrFromThis<HttpPageReader> {
 public:
  struct Options {
    // How long a request may go without progress before it is given up: the time from
    // sending the request, and from then on between two points at which another KiB has
    // arrived, so a peer that answers nothing and one that trickles a few bytes now and then
    // are given up alike. A response that completes never waits for the KiB.
    // zu::Time::Infinite() (or anything beyond a century) never gives up.
    zu::Time progressTimeout = zu::Time::FromSeconds(30);
    // Upper bound of the bytes buffered for one response and of its inflated payload; a
    // response beyond it is given up.
    size_t sizeLimit = HttpResponseParser::kDefaultSizeLimit;
    // Whether connections are kept for further requests (see above).
    bool keepAlive = false;
    // How long a kept connection may go unused before it is closed: less than the five
    // seconds after which servers commonly close theirs, so that the close is usually ours.
    zu::Time keptConnectionIdle = zu::Time::FromSeconds(4);
  };

  // A reader with default options and a socket server of its own, already running (a failed
  // start is logged as "failed starting socket server"; the reader's requests then fail with
  // "failed connecting ").
  static SharedPtr<HttpPageReader> Create();
  // The same with options.
  static SharedPtr<HttpPageReader> Create(const Options& options);
  // A reader on server, which other readers may share: its owner starts and stops it. With
  // no server the reader's requests fail with "failed connecting ".
  static SharedPtr<HttpPageReader> Create(const Options& options, net::SocketServerPtr server);
  // A socket server for readers, already running; empty when it cannot be started (logged as
  // "failed starting socket server").
  static net::SocketServerPtr StartSocketServer();
  // Closes the reader's connection; a server of its own is stopped by its release.
  ~HttpPageReader() override;

  HttpPageReader(const HttpPageReader&) = delete;
  HttpPageReader& operator=(const HttpPageReader&) = delete;

  // Gives up the running request, closes the reader's connection and lets go of the socket
  // server: one of the reader's own is stopped (waiting for its thread to end) and released,
  // and with it every registration that still refers to the reader. Requests fail with
  // "failed connecting " afterwards.
  void StopServer();

  // Sends a GET for url with the default headers changed by headers (see
  // ComposeRequestHeaders) and blocks until the response is complete or has failed. Returns
  // the response, or an empty frame after an error was logged: "failed connecting ",
  // "failed sending command " or "failed reading data of " (also for an empty body). Never
  // throws for network failures.
  HttpFrame GetHttpPage(const HttpUrl& url, const HeaderMap& headers);
  // The same, with every failure of the request logged through failures (see FailureRun):
  // an Error only when it starts a run of failures, a Warning otherwise. The caller ends the
  // run (FailureRun::Succeed) when its work succeeded. failures must outlive the call.
  HttpFrame GetHttpPage(const HttpUrl& url, const HeaderMap& headers, FailureRun* failures);

  // Gives up the request under way, if any, from any thread: its GetHttpPage returns at once
  // as for a failed read ("failed reading data of " + URL, empty frame), and its connection is
  // closed and unregistered. Does nothing while no request is running.
  void CancelRequest();

  // Called on the server thread when one of the reader's connections is readable: for the
  // running request one read, then header and payload as far as the bytes allow; when the
  // response is complete or given up, the waiting request is woken. A kept connection
  // that is readable while unused is dropped; any other connection is closed untouched. True
  // while more data is expected.
  bool OnDataReceived(net::ReadWriteSocketPtr socket) override;
  // Called on the server thread after every pass: closes a kept connection unused for too
  // long.
  void OnPassEnd() override;

 private:
  typedef std::chrono::steady_clock Clock;
  enum class RequestState { Idle, Pending, Complete, Cancelled, GivenUp, Reconnect };

  HttpPageReader(const Options& options, net::SocketServerPtr server);

  // The steps of a request, called with the mutex held.
  // Sends the request on a kept connection to url's host and port, or on a new one, and
  // waits for the response. False (logged) when no connection could be made or the request
  // not sent.
  bool Exchange(std::unique_lock<std::mutex>& lock, const HttpUrl& url, const std::string& text);
  // Waits for the running request to end, giving it up after the progress bound.
  void WaitForResponse(std::unique_lock<std::mutex>& lock);
  // One read from socket into the scratch area, whose bytes are then pending; false
  // (logged) when the connection is closed, before or by the read.
  bool Receive(const net::ReadWriteSocketPtr& socket);
  // Gives the pending bytes to the parser's header step; true once the header is in and
  // accepted. A failure is logged.
  bool ParseHeader();
  // Gives the pending bytes to the parser's payload step; true once the payload is complete.
  // A failure is logged.
  bool ExtractPayload(bool connectionClosed);
  // After a parser step that took used of the pending bytes: logs its failure, if any; true
  // when the step is complete.
  bool TakeStep(HttpResponseParser::Status status, size_t used);
  // Gives the response up: "Cancel due to error: " + URL, and wakes the request.
  void CancelFrame();
  // Back to idle after a request: the parser is cleared, and the connection is closed and
  // unregistered unless it is kept for the next request.
  void Reset();
  // Closes and unregisters the reader's connection, kept or not.
  void DropConnection();

  // Guards everything below; the server thread takes it for every call, so it is never held
  // while connecting or waiting.
  std::mutex mutex_;
  // Signals a change of state_ or busy_.
  std::condition_variable changed_;

  const Options options_;
  // Whether options_.progressTimeout bounds anything, and as a duration.
  bool progressBounded_ = true;
  Clock::duration progressTimeout_;
  Clock::duration keptConnectionIdle_;

  net::SocketServerPtr server_;
  // Whether server_ is the reader's own, to be stopped with it.
  bool ownServer_ = false;
  // Registered with the server in the reader's place: a connection kept open must not keep
  // its reader alive.
  net::SocketServer::DataReceiverPtr forwarder_;

  // A GetHttpPage is running.
  bool busy_ = false;
  RequestState state_ = RequestState::Idle;
  // The running request, for the log; where its failures are reported (null: as Errors).
  HttpUrl url_;
  FailureRun* run_ = nullptr;

  // The connection of the running request, or the kept one.
  net::ReadWriteSocketPtr socket_;
  // socket_ is kept, unused, for the next request to keptFor_ (host and port) since
  // keptSince_.
  bool kept_ = false;
  std::string keptFor_;
  Clock::time_point keptSince_;
  // The running request went out on a kept connection.
  bool reused_ = false;
  // The running request may leave its connection kept.
  bool mayKeep_ = false;

  // When the running request was sent or last made progress, and the bytes it received
  // since; all the bytes of its response so far.
  Clock::time_point lastActivity_;
  size_t bytesSinceProgress_ = 0;
  size_t responseBytes_ = 0;

  HttpResponseParser parser_;
  // Scratch area of one read, reused; only the server thread reads into it. The bytes of
  // the last read not yet taken by the parser are pending.
  std::vector<char> scratch_;
  const char* pending_ = nullptr;
  size_t pendingSize_ = 0;
};

}  // namespace nivo
}  // namespace zu

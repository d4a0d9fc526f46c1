#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/SharedPtr.h"
#include "multi_threading/Event.h"
#include "multi_threading/Time.h"
#include "net/ReadWriteSocket.h"
#include "net/SocketServer.h"
#include "nivo/HttpFrame.h"
#include "nivo/HttpUrl.h"

namespace zu {
namespace nivo {

class FailureRun;

// The add-on's HTTP/1.1 client: one GET per new connection, the response received on the
// thread of the reader's own socket server, where it is parsed, de-chunked and inflated.
// Only "HTTP/1.1 200 OK" is accepted; the payload ends by chunked coding, "Content-Length"
// or the peer's close, and a "Content-Encoding: gzip" payload is inflated.
//
// Threads: GetHttpPage, Reset, StartServer, StopServer and the setters run on requesting
// threads; requests are served one at a time (an overlapping call waits for the running
// one). OnDataReceived and the steps it is made of run on the server thread. Both sides meet
// under the reader's mutex, so a response that arrives after its request was given up never
// touches the next request.
class HttpPageReader : public net::SocketServer::DataReceiver,
                       public SharedPtrFromThis<HttpPageReader> {
 public:
  // Bytes a response may buffer, and its payload may inflate to, unless set otherwise.
  static constexpr size_t kDefaultSizeLimit = 256u * 1024u * 1024u;
  // Longest time a request may go without progress (see SetIdleTimeout) before it is given
  // up, unless set otherwise.
  static constexpr unsigned long kDefaultIdleSeconds = 30;

  // A reader whose socket server is already running (a failed start is logged; the reader's
  // requests then fail with "failed connecting ").
  static SharedPtr<HttpPageReader> Create();
  // Releases the server; a server still running is stopped by its own destruction.
  ~HttpPageReader() override;

  HttpPageReader(const HttpPageReader&) = delete;
  HttpPageReader& operator=(const HttpPageReader&) = delete;

  // Creates and starts the socket server unless the reader has one. True when it runs;
  // false, with "failed starting socket server" logged and no server kept, otherwise.
  bool StartServer();
  // Stops the socket server, waiting for its thread to end, and releases it, and with it
  // every registration that still refers to this reader. Requests fail afterwards until
  // StartServer. Must not be called on the server thread.
  void StopServer();

  // How long a request may go without progress before it is given up: the time from sending
  // the request, and from then on between two points at which another KiB has arrived, so a
  // peer that answers nothing and one that trickles a few bytes now and then are given up
  // alike. A response that completes never waits for the KiB. zu::Time::Infinite() (or
  // anything beyond a century) never gives up. Applies from the next request on.
  void SetIdleTimeout(const zu::Time& timeout);
  // Upper bound of the bytes buffered for one response and of its inflated payload; a
  // response beyond it is given up. Applies from the next request on.
  void SetSizeLimit(size_t bytes);

  // Sends a GET for url with the default headers changed by headers (see
  // ComposeRequestHeaders) and blocks until the response is complete or has failed. Returns
  // the response, or an empty frame after an error was logged: "failed connecting ",
  // "failed sending command " or "failed reading data of " (also for an empty body). Never
  // throws for network failures; the reader is reset on every return.
  HttpFrame GetHttpPage(const HttpUrl& url, const HeaderMap& headers);
  // The same, with every failure of the request logged through failures (see FailureRun):
  // an Error only when it starts a run of failures, a Warning otherwise. The caller ends the
  // run (FailureRun::Succeed) when its work succeeded. failures must outlive the call.
  HttpFrame GetHttpPage(const HttpUrl& url, const HeaderMap& headers, FailureRun* failures);

  // Back to idle: closes and unregisters the connection, clears buffer, frame and the
  // completion event, and the stored URL becomes empty host, empty path, port 80.
  void Reset();

  // Called by the server when the request's connection is readable: one read, then header
  // and payload are taken as far as the bytes allow. Closes the connection and signals the
  // waiting request once the response is complete or given up. A connection that is not the
  // one of the running request is closed untouched. True while more data is expected.
  bool OnDataReceived(net::ReadWriteSocketPtr socket) override;

  // The steps of OnDataReceived, usable on their own for bytes from elsewhere:
  // One read from socket into the buffer; false (logged) when the connection is closed,
  // before or by that read.
  bool Receive(net::ReadWriteSocketPtr socket);
  // Appends bytes to the buffer as a read would.
  void AppendReceived(const char* data, size_t size);
  // Recognises the response header once its empty line is buffered and stores its lines in
  // the frame. True only when it is there and its status line is "HTTP/1.1 200 OK".
  bool ParseHeader();
  // Takes the payload from the buffered bytes, keeping its progress across calls, so every
  // byte is looked at once whatever the split of the reads. True once the payload is
  // complete and stored in the frame (inflated, for gzip). False while more bytes are
  // needed (connectionClosed: none will come) or when the response is broken (logged).
  bool ExtractPayload(bool connectionClosed);
  // Gives the response up: "Cancel due to error: " + URL, empty frame, event set.
  void CancelFrame();
  // Gives up the request under way, if any, from any thread: its GetHttpPage returns at once
  // as for a failed read ("failed reading data of " + URL, empty frame), and its connection is
  // closed and unregistered. Does nothing while no request is running.
  void CancelRequest();
  // A copy of the frame as it stands.
  HttpFrame GetFrame() const;

 private:
  HttpPageReader();

  enum class RequestState { Idle, Pending, Complete, Cancelled, GivenUp };
  enum class Framing { Close, Length, Chunked };
  enum class ChunkState { SizeLine, Data, DataCR, DataLF, Done };

  // Waits for the running request to end, giving it up after the idle time-out.
  void WaitForResponse(const SharedPtr<net::SocketServer>& server, const zu::Time& idle);
  // One read from socket into the scratch area: count bytes, and true; false (logged) when
  // the connection is closed, before or by the read.
  bool ReadOnce(const net::ReadWriteSocketPtr& socket, size_t& count);
  // Keeps the count bytes of the last read: into the payload as far as it takes them, the
  // rest into the buffer.
  void StoreReceived(size_t count);
  // Takes what the payload of a Length or Chunked response needs of the size bytes at data;
  // consumed says how many it used (the rest belongs after it). True once the payload is
  // complete.
  bool TakePayload(const char* data, size_t size, size_t& consumed);
  // Chunked coding over the size bytes at data, as TakePayload; true at the last chunk.
  bool DecodeChunks(const char* data, size_t size, size_t& consumed);
  // Parsing state back to "nothing received".
  void ClearResponse();
  // Empties the payload; the area of a chunked one is kept for the next (up to a bound).
  void ReleasePayload();

  // Serialises whole requests.
  std::mutex requestMutex_;
  // Guards everything below that both threads touch (recursive: the public steps lock
  // themselves and also run inside OnDataReceived).
  mutable std::recursive_mutex mutex_;

  HttpUrl url_;
  // Where the failures of the running request are reported; null: as Errors.
  FailureRun* run_ = nullptr;
  SharedPtr<net::SocketServer> server_;
  net::ReadWriteSocketPtr socket_;
  // Bytes received and not yet consumed.
  std::string buffer_;
  HttpFrame frame_;
  // Completion signal: auto-reset, initially clear. Created once, never replaced.
  multi_threading::EventPtr event_;

  RequestState state_ = RequestState::Idle;
  // When the running request was sent or last made progress (monotonic clock), and the bytes
  // it received since.
  zu::Time lastActivity_;
  size_t bytesSinceProgress_ = 0;
  zu::Time idleTimeout_ = zu::Time::FromSeconds(kDefaultIdleSeconds);
  size_t sizeLimit_ = kDefaultSizeLimit;

  // Response progress.
  bool headerParsed_ = false;
  bool accepted_ = false;
  bool complete_ = false;
  bool broken_ = false;
  // Buffer offset up to which no header end was found.
  size_t headerScan_ = 0;
  Framing framing_ = Framing::Close;
  bool gzip_ = false;
  ChunkState chunkState_ = ChunkState::SizeLine;
  // Bytes of the payload (Length) or of the current chunk (Chunked) still to come.
  uint64_t remaining_ = 0;
  // A chunk size line received in part.
  std::string sizeLine_;
  // The payload collected so far, before inflation.
  std::string payload_;
  // The capacity of earlier chunked payloads, empty while a chunked payload is collected.
  std::string chunkArea_;

  // Scratch area of one read, reused; only the server thread reads into it.
  std::vector<char> scratch_;
};

}  // namespace nivo
}  // namespace zu

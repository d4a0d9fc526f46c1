#include "nivo/HttpPageReader.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

#include "base/String.h"
#include "multi_threading/Factory.h"
#include "net/Address.h"
#include "net/Factory.h"
#include "nivo/FailureRun.h"
#include "nivo/HttpRequest.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

typedef std::lock_guard<std::recursive_mutex> Lock;

// One read asks for at most this much, less one byte.
const size_t kScratchSize = 262144;
// A chunk size line (size, extension) longer than this is not from a sound peer.
const size_t kMaxChunkLine = 4096;
// Never reserved ahead for a "Content-Length" claim, however large.
const size_t kMaxReserve = 16u * 1024u * 1024u;
// Idle time-outs from this on mean "wait as long as it takes".
const zu::Time kUnbounded = zu::Time::FromSeconds(100ul * 365 * 24 * 3600);
// A buffer larger than this is released instead of being kept for the next response.
const size_t kKeepCapacity = 1024u * 1024u;
// The same for the decoding area of chunked payloads.
const size_t kKeepChunkArea = 4u * 1024u * 1024u;
// Bytes a request has to receive to count as making progress. Counting every byte would let
// a peer that trickles a byte now and then hold the request, and the client mutex with it,
// for as long as it likes.
const size_t kProgressBytes = 1024;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The chunk size at the start of a size line: optional blanks, hexadecimal digits, then
// only blanks or a ";" extension. False when there are no digits, the value exceeds 32 bits,
// or anything else follows the digits (a "0x" prefix, for one, would otherwise read as the
// last chunk).
bool ParseChunkSize(const std::string& line, uint64_t& size) {
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i]))
    ++i;
  uint64_t value = 0;
  size_t digits = 0;
  for (; i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])); ++i, ++digits) {
    const char c = line[i];
    const unsigned int digit = c <= '9' ? c - '0' : (std::tolower(c) - 'a' + 10);
    value = value * 16 + digit;
    if (value > 0xFFFFFFFFull)
      return false;
  }
  if (digits == 0)
    return false;
  while (i < line.size() && IsBlank(line[i]))
    ++i;
  if (i < line.size() && line[i] != ';')
    return false;
  size = value;
  return true;
}

enum class InflateResult { Ok, Failed, TooLarge };

// Inflates a whole gzip payload (one member or several in a row) into out. Failed when the
// data is not gzip, is corrupt or ends before the end of its stream; TooLarge when the
// output would exceed limit. The output area doubles whenever it is full.
InflateResult InflateGzip(const std::string& in, size_t limit, std::string& out) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 16) != Z_OK)
    return InflateResult::Failed;
  struct End {
    z_stream* stream;
    ~End() { inflateEnd(stream); }
  } end{&stream};

  const size_t ceiling = limit < SIZE_MAX ? limit + 1 : limit;
  size_t capacity = in.size() < SIZE_MAX / 8 ? in.size() * 4 : SIZE_MAX / 2;
  // A gzip member ends with the size of its data (modulo 2^32): taken as the first guess, a
  // response inflates without regrowing and copying its output. The guess is the sender's
  // word, so it never exceeds what deflate can produce from the input at all (1032 to 1),
  // and the output still grows by doubling when it is wrong.
  if (in.size() >= 18) {
    const unsigned char* tail = reinterpret_cast<const unsigned char*>(in.data()) + in.size() - 4;
    const size_t stated = static_cast<size_t>(tail[0]) | static_cast<size_t>(tail[1]) << 8 |
                          static_cast<size_t>(tail[2]) << 16 | static_cast<size_t>(tail[3]) << 24;
    if (in.size() < SIZE_MAX / 1032 && stated <= in.size() * 1032)
      capacity = stated;
  }
  capacity = std::min(std::max<size_t>(capacity, 4096), ceiling);
  out.resize(capacity);

  const unsigned char* next = reinterpret_cast<const unsigned char*>(in.data());
  size_t inLeft = in.size();
  size_t produced = 0;
  for (;;) {
    if (produced == out.size()) {
      if (out.size() >= ceiling)
        return InflateResult::TooLarge;
      out.resize(std::min(out.size() * 2, ceiling));
    }
    const uInt givenIn = static_cast<uInt>(std::min<size_t>(inLeft, UINT_MAX));
    const uInt givenOut = static_cast<uInt>(std::min<size_t>(out.size() - produced, UINT_MAX));
    stream.next_in = const_cast<Bytef*>(next);
    stream.avail_in = givenIn;
    stream.next_out = reinterpret_cast<Bytef*>(&out[produced]);
    stream.avail_out = givenOut;
    const int result = inflate(&stream, Z_NO_FLUSH);
    const size_t usedIn = givenIn - stream.avail_in;
    const size_t usedOut = givenOut - stream.avail_out;
    next += usedIn;
    inLeft -= usedIn;
    produced += usedOut;
    if (result == Z_STREAM_END) {
      // Concatenated members make one payload; anything else after the end is ignored.
      if (inLeft >= 2 && next[0] == 0x1f && next[1] == 0x8b && inflateReset(&stream) == Z_OK)
        continue;
      break;
    }
    if (result != Z_OK && result != Z_BUF_ERROR)
      return InflateResult::Failed;
    // No progress with room left for output: the input ended inside the stream.
    if (usedIn == 0 && usedOut == 0 && produced < out.size())
      return InflateResult::Failed;
  }
  if (produced > limit)
    return InflateResult::TooLarge;
  out.resize(produced);
  return InflateResult::Ok;
}

}  // namespace

SharedPtr<HttpPageReader> HttpPageReader::Create() {
  return SharedPtr<HttpPageReader>(new HttpPageReader());
}

HttpPageReader::HttpPageReader()
    : url_(), event_(multi_threading::factory::CreateEvent(false, false)), scratch_(kScratchSize) {
  StartServer();
}

HttpPageReader::~HttpPageReader() = default;

bool HttpPageReader::StartServer() {
  {
    Lock lock(mutex_);
    if (server_)
      return true;
  }
  SharedPtr<net::SocketServer> server = net::factory::CreateSocketServer();
  if (!server || !server->Start(true)) {
    ZU_ERROR("NivoTV", "failed starting socket server");
    return false;
  }
  Lock lock(mutex_);
  if (!server_)
    server_ = server;
  return true;
}

void HttpPageReader::StopServer() {
  SharedPtr<net::SocketServer> server;
  {
    Lock lock(mutex_);
    server.swap(server_);
  }
  if (server)
    server->Stop(true);
}

void HttpPageReader::SetIdleTimeout(const zu::Time& timeout) {
  Lock lock(mutex_);
  idleTimeout_ = timeout;
}

void HttpPageReader::SetSizeLimit(size_t bytes) {
  Lock lock(mutex_);
  sizeLimit_ = bytes;
}

HttpFrame HttpPageReader::GetHttpPage(const HttpUrl& url, const HeaderMap& headers) {
  return GetHttpPage(url, headers, nullptr);
}

HttpFrame HttpPageReader::GetHttpPage(const HttpUrl& url, const HeaderMap& headers,
                                      FailureRun* failures) {
  std::lock_guard<std::mutex> request(requestMutex_);
  Reset();
  {
    Lock lock(mutex_);
    run_ = failures;
  }
  const std::string urlText = url.GetUrl();
  SharedPtr<net::SocketServer> server;
  zu::Time idle;
  {
    Lock lock(mutex_);
    url_ = url;
    server = server_;
    idle = idleTimeout_;
  }

  if (!IsSafeRequest(url, headers)) {
    ZU_RUN_FAILURE(run_, "NivoTV",
                   "Refusing a request with a line break in its URL or headers: " + urlText);
    Reset();
    return HttpFrame();
  }

  // Every request connects anew; the server thread must run to deliver the response.
  const SharedPtr<HttpPageReader> self = weak_from_this().lock();
  net::ReadWriteSocketPtr socket;
  if (server && event_ && self && !url.host.empty()) {
    net::Address address;
    if (address.SetHostName(url.host))
      socket = net::factory::Connect(address, url.port, net::TCP);
  }
  if (!socket) {
    ZU_RUN_FAILURE(run_, "NivoTV", "failed connecting " + urlText);
    Reset();
    return HttpFrame();
  }

  {
    Lock lock(mutex_);
    socket_ = socket;
    state_ = RequestState::Pending;
  }
  // Sent before the connection is registered, so the server thread never reads or closes
  // it while this thread writes to it.
  const std::string requestText = ComposeRequest(url, headers);
  if (socket->SendBytes(requestText.data(), requestText.size()) != requestText.size()) {
    ZU_RUN_FAILURE(run_, "NivoTV", "failed sending command " + requestText);
    Reset();
    return HttpFrame();
  }
  {
    Lock lock(mutex_);
    lastActivity_ = zu::Time::NowMonotonic();
    bytesSinceProgress_ = 0;
  }
  if (!server->AddSocket(socket, self)) {
    ZU_RUN_FAILURE(run_, "NivoTV", "failed connecting " + urlText);
    Reset();
    return HttpFrame();
  }

  WaitForResponse(server, idle);

  HttpFrame result;
  {
    Lock lock(mutex_);
    if (state_ == RequestState::Complete)
      result = std::move(frame_);
  }
  if (result.body.empty()) {
    ZU_RUN_FAILURE(run_, "NivoTV", "failed reading data of " + urlText);
    Reset();
    return HttpFrame();
  }
  Reset();
  return result;
}

void HttpPageReader::WaitForResponse(const SharedPtr<net::SocketServer>& server,
                                     const zu::Time& idle) {
  net::ReadWriteSocketPtr abandoned;
  for (;;) {
    zu::Time wait = zu::Time::Infinite();
    {
      Lock lock(mutex_);
      if (state_ != RequestState::Pending)
        return;
      if (idle < kUnbounded) {
        const zu::Time now = zu::Time::NowMonotonic();
        const zu::Time deadline = lastActivity_ + idle;
        if (!(now < deadline)) {
          // Given up: from here on the handler leaves this connection alone.
          state_ = RequestState::GivenUp;
          abandoned.swap(socket_);
          if (abandoned)
            abandoned->Close();
          break;
        }
        wait = deadline - now;
      }
    }
    // Woken by the handler, or at the deadline, which bytes received meanwhile may have
    // moved on: the loop looks again either way.
    event_->TryWait(wait);
  }
  if (abandoned)
    server->RemoveSocket(abandoned);
}

void HttpPageReader::Reset() {
  net::ReadWriteSocketPtr socket;
  SharedPtr<net::SocketServer> server;
  {
    Lock lock(mutex_);
    socket.swap(socket_);
    server = server_;
    if (socket)
      socket->Close();
    ClearResponse();
    state_ = RequestState::Idle;
    if (event_)
      event_->Reset();
    url_ = HttpUrl();
    run_ = nullptr;
  }
  if (socket && server)
    server->RemoveSocket(socket);
}

void HttpPageReader::ClearResponse() {
  frame_.Clear();
  if (buffer_.capacity() > kKeepCapacity)
    std::string().swap(buffer_);
  else
    buffer_.clear();
  ReleasePayload();
  sizeLine_.clear();
  headerParsed_ = false;
  accepted_ = false;
  complete_ = false;
  broken_ = false;
  headerScan_ = 0;
  framing_ = Framing::Close;
  gzip_ = false;
  chunkState_ = ChunkState::SizeLine;
  remaining_ = 0;
}

bool HttpPageReader::OnDataReceived(net::ReadWriteSocketPtr socket) {
  Lock lock(mutex_);
  if (!socket || socket != socket_ || state_ != RequestState::Pending) {
    // Left over from a request that has ended: its reader has moved on.
    if (socket && socket != socket_)
      socket->Close();
    return false;
  }
  size_t count = 0;
  const bool open = ReadOnce(socket, count);
  if (open)
    StoreReceived(count);
  if (ParseHeader() && ExtractPayload(!open)) {
    socket->Close();
    state_ = RequestState::Complete;
    event_->Set();
    return false;
  }
  const bool refused = headerParsed_ && !accepted_;
  if (open && !broken_ && !refused)
    return true;
  socket->Close();
  CancelFrame();
  return false;
}

bool HttpPageReader::Receive(net::ReadWriteSocketPtr socket) {
  Lock lock(mutex_);
  size_t count = 0;
  if (!ReadOnce(socket, count))
    return false;
  buffer_.append(scratch_.data(), count);
  return true;
}

bool HttpPageReader::ReadOnce(const net::ReadWriteSocketPtr& socket, size_t& count) {
  count = 0;
  if (!socket || !socket->IsValid()) {
    ZU_RUN_FAILURE(run_, "NivoTV", "Socket closed: " + url_.GetUrl());
    return false;
  }
  count = socket->ReceiveBytes(scratch_.data(), scratch_.size() - 1);
  if (!socket->IsValid()) {
    // Also the normal end of a response delimited by the close of the connection.
    ZU_RUN_FAILURE(run_, "NivoTV", "Socket closed during reading from: " + url_.GetUrl());
    count = 0;
    return false;
  }
  bytesSinceProgress_ += count;
  if (bytesSinceProgress_ >= kProgressBytes) {
    lastActivity_ = zu::Time::NowMonotonic();
    bytesSinceProgress_ = 0;
  }
  return true;
}

void HttpPageReader::StoreReceived(size_t count) {
  const char* data = scratch_.data();
  // With the header in and nothing left over in the buffer, the payload bytes of a read go
  // from the scratch area straight into the payload instead of through the buffer: a large
  // body is copied once less. Only what the payload does not take is buffered.
  if (buffer_.empty() && headerParsed_ && accepted_ && !broken_ && !complete_ &&
      framing_ != Framing::Close) {
    size_t consumed = 0;
    TakePayload(data, count, consumed);
    data += consumed;
    count -= consumed;
  }
  buffer_.append(data, count);
}

void HttpPageReader::AppendReceived(const char* data, size_t size) {
  Lock lock(mutex_);
  buffer_.append(data, size);
}

bool HttpPageReader::ParseHeader() {
  Lock lock(mutex_);
  if (headerParsed_)
    return accepted_;
  if (broken_)
    return false;
  // The end may straddle the previous look: search again from three bytes before it.
  const size_t from = headerScan_ > 3 ? headerScan_ - 3 : 0;
  const size_t end = buffer_.find("\r\n\r\n", from);
  if (end == std::string::npos) {
    headerScan_ = buffer_.size();
    if (buffer_.size() > sizeLimit_) {
      ZU_RUN_FAILURE(run_, "NivoTV", "Response exceeds the size limit: " + url_.GetUrl());
      broken_ = true;
    }
    return false;
  }

  if (end + 4 > sizeLimit_) {
    // Also when the whole header came in one read: without a header end the limit applies to
    // the buffer, so a header over it must fail however the reads fell.
    ZU_RUN_FAILURE(run_, "NivoTV", "Response exceeds the size limit: " + url_.GetUrl());
    broken_ = true;
    return false;
  }

  std::vector<std::string> lines;
  zu::string::Split(buffer_.substr(0, end + 3), "\r\n", lines);
  buffer_.erase(0, end + 4);
  headerScan_ = 0;

  HeaderMap headers;
  for (const std::string& line : lines) {
    std::string name = line;
    std::string value;
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
      name = line.substr(0, colon);
      value = line.substr(colon + 1);
    }
    name = zu::string::TrimmSpaces(name);
    if (name.empty())
      continue;
    // The first occurrence of a name wins.
    headers.emplace(name, zu::string::TrimmSpaces(value));
  }
  // The status line is the first line; a later line of the same text does not count.
  accepted_ = !lines.empty() && zu::string::TrimmSpaces(lines.front()) == "HTTP/1.1 200 OK";
  headerParsed_ = true;
  frame_.headers = std::move(headers);
  frame_.body.clear();

  const auto transfer = frame_.headers.find("Transfer-Encoding");
  const auto length = frame_.headers.find("Content-Length");
  const auto encoding = frame_.headers.find("Content-Encoding");
  gzip_ = encoding != frame_.headers.end() && encoding->second == "gzip";
  if (transfer != frame_.headers.end() && transfer->second == "chunked") {
    framing_ = Framing::Chunked;
    // The size of a chunked payload is known only at its end: it is collected in the area
    // kept from earlier chunked responses instead of a string that regrows every time.
    payload_.swap(chunkArea_);
    payload_.clear();
  } else if (length != frame_.headers.end()) {
    framing_ = Framing::Length;
    remaining_ = zu::string::ToUint32(length->second);
    if (accepted_) {
      if (remaining_ > sizeLimit_) {
        ZU_RUN_FAILURE(run_, "NivoTV", "Response exceeds the size limit: " + url_.GetUrl());
        broken_ = true;
      } else {
        payload_.reserve(static_cast<size_t>(std::min<uint64_t>(remaining_, kMaxReserve)));
      }
    }
  } else {
    framing_ = Framing::Close;
  }
  return accepted_ && !broken_;
}

bool HttpPageReader::ExtractPayload(bool connectionClosed) {
  Lock lock(mutex_);
  if (complete_)
    return true;
  if (broken_ || !headerParsed_ || !accepted_)
    return false;

  switch (framing_) {
    case Framing::Chunked:
    case Framing::Length: {
      size_t consumed = 0;
      const bool done = TakePayload(buffer_.data(), buffer_.size(), consumed);
      buffer_.erase(0, consumed);
      if (!done)
        return false;
      break;
    }
    case Framing::Close:
      if (buffer_.size() > sizeLimit_ - std::min(sizeLimit_, payload_.size())) {
        ZU_RUN_FAILURE(run_, "NivoTV", "Response exceeds the size limit: " + url_.GetUrl());
        broken_ = true;
        return false;
      }
      if (payload_.empty())
        payload_.swap(buffer_);
      else
        payload_.append(buffer_);
      buffer_.clear();
      if (!connectionClosed)
        return false;
      break;
  }

  if (gzip_ && !payload_.empty()) {
    std::string inflated;
    switch (InflateGzip(payload_, sizeLimit_, inflated)) {
      case InflateResult::Ok:
        ReleasePayload();
        payload_.swap(inflated);
        frame_.body = std::move(payload_);
        payload_.clear();
        complete_ = true;
        return true;
      case InflateResult::Failed:
        ZU_RUN_FAILURE(run_, "NivoTV", "Failed uncompressing data: " + url_.GetUrl());
        broken_ = true;
        return false;
      case InflateResult::TooLarge:
        ZU_RUN_FAILURE(run_, "NivoTV", "Response exceeds the size limit: " + url_.GetUrl());
        broken_ = true;
        return false;
    }
  }
  if (framing_ == Framing::Chunked) {
    // The caller gets a string of the payload's size; the area stays for the next response.
    frame_.body.assign(payload_);
    ReleasePayload();
  } else {
    frame_.body = std::move(payload_);
    payload_.clear();
  }
  complete_ = true;
  return true;
}

void HttpPageReader::ReleasePayload() {
  if (framing_ == Framing::Chunked && payload_.capacity() <= kKeepChunkArea &&
      payload_.capacity() > chunkArea_.capacity()) {
    payload_.clear();
    chunkArea_.swap(payload_);
  }
  std::string().swap(payload_);
}

bool HttpPageReader::TakePayload(const char* data, size_t size, size_t& consumed) {
  if (framing_ == Framing::Chunked)
    return DecodeChunks(data, size, consumed);
  const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining_, size));
  payload_.append(data, take);
  consumed = take;
  remaining_ -= take;
  return remaining_ == 0;
}

bool HttpPageReader::DecodeChunks(const char* data, size_t size, size_t& consumed) {
  size_t pos = 0;
  while (pos < size && chunkState_ != ChunkState::Done && !broken_) {
    switch (chunkState_) {
      case ChunkState::SizeLine: {
        const void* found = std::memchr(data + pos, '\n', size - pos);
        const size_t lineEnd =
            found == nullptr ? std::string::npos : static_cast<const char*>(found) - data;
        const size_t stop = lineEnd == std::string::npos ? size : lineEnd;
        if (sizeLine_.size() + (stop - pos) > kMaxChunkLine) {
          ZU_RUN_FAILURE(run_, "NivoTV",
                         "Broken chunked coding in the response of " + url_.GetUrl());
          broken_ = true;
          break;
        }
        sizeLine_.append(data + pos, stop - pos);
        if (lineEnd == std::string::npos) {
          pos = size;
          break;
        }
        pos = lineEnd + 1;
        uint64_t chunkSize = 0;
        if (sizeLine_.empty() || sizeLine_.back() != '\r' ||
            !ParseChunkSize(sizeLine_.substr(0, sizeLine_.size() - 1), chunkSize)) {
          ZU_RUN_FAILURE(run_, "NivoTV",
                         "Broken chunked coding in the response of " + url_.GetUrl());
          broken_ = true;
          break;
        }
        sizeLine_.clear();
        if (chunkSize == 0) {
          chunkState_ = ChunkState::Done;
        } else if (chunkSize > sizeLimit_ - std::min(sizeLimit_, payload_.size())) {
          ZU_RUN_FAILURE(run_, "NivoTV", "Response exceeds the size limit: " + url_.GetUrl());
          broken_ = true;
        } else {
          remaining_ = chunkSize;
          chunkState_ = ChunkState::Data;
        }
        break;
      }
      case ChunkState::Data: {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining_, size - pos));
        payload_.append(data + pos, take);
        pos += take;
        remaining_ -= take;
        if (remaining_ == 0)
          chunkState_ = ChunkState::DataCR;
        break;
      }
      case ChunkState::DataCR:
      case ChunkState::DataLF: {
        const char expected = chunkState_ == ChunkState::DataCR ? '\r' : '\n';
        if (data[pos] != expected) {
          ZU_RUN_FAILURE(run_, "NivoTV",
                         "Broken chunked coding in the response of " + url_.GetUrl());
          broken_ = true;
          break;
        }
        ++pos;
        chunkState_ = chunkState_ == ChunkState::DataCR ? ChunkState::DataLF : ChunkState::SizeLine;
        break;
      }
      case ChunkState::Done:
        break;
    }
  }
  // What follows the last chunk (trailer lines) is not consumed: it stays in the buffer,
  // unused.
  consumed = pos;
  return chunkState_ == ChunkState::Done && !broken_;
}

void HttpPageReader::CancelFrame() {
  Lock lock(mutex_);
  ZU_RUN_FAILURE(run_, "NivoTV", "Cancel due to error: " + url_.GetUrl());
  frame_.Clear();
  ReleasePayload();
  if (state_ == RequestState::Pending)
    state_ = RequestState::Cancelled;
  if (event_)
    event_->Set();
}

void HttpPageReader::CancelRequest() {
  Lock lock(mutex_);
  if (state_ != RequestState::Pending)
    return;
  // The waiting caller finds the request no longer pending and cleans up; from here on the
  // handler leaves the connection alone.
  state_ = RequestState::Cancelled;
  if (event_)
    event_->Set();
}

HttpFrame HttpPageReader::GetFrame() const {
  Lock lock(mutex_);
  return frame_;
}

}  // namespace nivo
}  // namespace zu

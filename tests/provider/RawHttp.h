#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "provider/Codec.h"

namespace provider_test {

// A response as it came off the wire, and what a careful client makes of it.
struct RawResponse {
  bool connected = false;
  int connectError = 0;
  int endError = 0;  // 0: the server closed the connection; else the errno that ended reading
  std::string raw;   // every byte received
  int status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;                            // de-chunked, not inflated
  bool complete = false;   // the framing's end was reached (length, last chunk or close)
  std::size_t chunks = 0;  // data chunks seen in a chunked body
  std::size_t smallestChunk = 0;

  std::string Header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  }
  // The body after content decoding; empty (and false) when the gzip data is broken.
  bool Decoded(std::string& out) const {
    if (Header("content-encoding") == "gzip") {
      return zu::provider::Codec::Gunzip(body, out);
    }
    out = body;
    return true;
  }
  std::string Text() const {
    std::string out;
    Decoded(out);
    return out;
  }
};

inline int ConnectTo(std::uint16_t port, int& error, int timeoutSeconds = 60) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    error = errno;
    close(fd);
    return -1;
  }
  timeval limit{timeoutSeconds, 0};  // a bound for a broken provider
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
  return fd;
}

inline void ParseResponse(RawResponse& response) {
  std::size_t headerEnd = response.raw.find("\r\n\r\n");
  if (headerEnd == std::string::npos || response.raw.compare(0, 9, "HTTP/1.1 ") != 0) {
    return;
  }
  response.status = std::atoi(response.raw.c_str() + 9);
  std::size_t line = response.raw.find("\r\n") + 2;
  while (line < headerEnd) {
    std::size_t next = response.raw.find("\r\n", line);
    std::string header = response.raw.substr(line, next - line);
    std::size_t colon = header.find(':');
    std::string name = header.substr(0, colon);
    for (char& c : name) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::size_t value = header.find_first_not_of(' ', colon + 1);
    response.headers[name] = value == std::string::npos ? "" : header.substr(value);
    line = next + 2;
  }
  std::string rest = response.raw.substr(headerEnd + 4);
  if (response.Header("transfer-encoding") == "chunked") {
    std::size_t pos = 0;
    for (;;) {
      std::size_t sizeEnd = rest.find("\r\n", pos);
      if (sizeEnd == std::string::npos) {
        return;
      }
      std::size_t size = std::strtoul(rest.c_str() + pos, nullptr, 16);
      pos = sizeEnd + 2;
      if (size == 0) {
        response.complete = rest.compare(pos, 2, "\r\n") == 0;
        return;
      }
      if (pos + size + 2 > rest.size()) {
        response.body += rest.substr(pos);
        return;
      }
      response.body += rest.substr(pos, size);
      response.smallestChunk = response.chunks == 0 ? size : std::min(response.smallestChunk, size);
      ++response.chunks;
      pos += size + 2;
    }
  }
  if (!response.Header("content-length").empty()) {
    std::size_t length = std::strtoul(response.Header("content-length").c_str(), nullptr, 10);
    response.body = rest.substr(0, length);
    response.complete = rest.size() >= length;
    return;
  }
  response.body = rest;
  response.complete = response.endError == 0;
}

// Sends the bytes as they are and reads until the server closes the connection.
inline RawResponse Exchange(std::uint16_t port, const std::string& request,
                            int timeoutSeconds = 60) {
  RawResponse response;
  int fd = ConnectTo(port, response.connectError, timeoutSeconds);
  if (fd < 0) {
    return response;
  }
  response.connected = true;
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  char buffer[65536];
  for (;;) {
    ssize_t received = recv(fd, buffer, sizeof(buffer), 0);
    if (received > 0) {
      response.raw.append(buffer, static_cast<std::size_t>(received));
    } else {
      response.endError = received == 0 ? 0 : errno;
      break;
    }
  }
  close(fd);
  ParseResponse(response);
  return response;
}

// Sends one GET with the given extra header lines ("Name: value\r\n" each).
inline RawResponse Get(std::uint16_t port, const std::string& target,
                       const std::string& extraHeaders = std::string()) {
  return Exchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                            "\r\nConnection: close\r\n" + extraHeaders + "\r\n");
}

inline RawResponse Post(std::uint16_t port, const std::string& target) {
  RawResponse response;
  int fd = ConnectTo(port, response.connectError);
  if (fd < 0) {
    return response;
  }
  response.connected = true;
  std::string request = "POST " + target +
                        " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                        "Content-Length: 0\r\n\r\n";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  char buffer[4096];
  ssize_t received;
  while ((received = recv(fd, buffer, sizeof(buffer), 0)) > 0) {
    response.raw.append(buffer, static_cast<std::size_t>(received));
  }
  close(fd);
  ParseResponse(response);
  return response;
}

}  // namespace provider_test

#pragma once

#include <cstdint>
#include <string>

namespace httplib {
struct Request;
}

namespace zu {
namespace provider {

// Socket-level help for the HTTP library's connections, which it does not hand to handlers.

// The dotted address of a loopback host ("localhost" or 127.0.0.0/8); false for any other.
bool ResolveLoopback(const std::string& host, std::string& address);

// The descriptor of the connection a request arrived on, found by its two endpoints; -1 when
// none matches. It stays valid until the handler returns.
int FindConnection(const httplib::Request& request);

// True when the client has closed or reset its side.
bool PeerClosed(int fd);

// Aborts the connection with a TCP reset while leaving the descriptor to its owner.
void ResetConnection(int fd);

// Half-closes the connection after a body whose end is the connection's end; fd may be -1.
void EndBody(int fd);

// Waits (bounded) until everything written to fd has been acknowledged, so that a reset that
// follows does not swallow the bytes the client is meant to see first.
void WaitUntilSent(int fd);

// A bound, never listening TCP socket on host:port (0: any free port) that keeps the port
// while listeners come and go beside it (SO_REUSEPORT); -1 with error set on failure.
int ReservePort(const std::string& host, std::uint16_t port, std::uint16_t& bound,
                std::string& error);

// Sets SIGPIPE to ignored if it has its default action: a client that goes away mid-body must
// cost a failed write, not the process.
void IgnoreBrokenPipes();

}  // namespace provider
}  // namespace zu

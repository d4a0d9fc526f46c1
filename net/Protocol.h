#pragma once

namespace zu {
namespace net {

// Transport of a socket; the names given to the protocol lookup are "udp" and "tcp".
enum Protocol { UDP = 0, TCP = 1 };

}  // namespace net
}  // namespace zu

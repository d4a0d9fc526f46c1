#pragma once

#include <string>

namespace zu {
namespace nivo {

// A mobile browser's user-agent text whose device number (0..999) is drawn anew on every
// call from one generator per process, never reseeded: the numbers of a process always run
// 0, 131, 755, 458, 532, 218, 47, 678, ... Any thread may call it.
std::string GetMobileUserAgent();

}  // namespace nivo
}  // namespace zu

#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "stream/Stream.h"

namespace zu {
namespace imp {

// Moves an in-memory position by offset from origin (start, current position or end of
// length bytes). False, with position unchanged, for an unknown origin or a result before the
// start or beyond what a size_t can hold.
inline bool MovePosition(size_t& position, size_t length, int64_t offset, int origin) {
  uint64_t base = 0;
  switch (origin) {
    case Stream::FromStart:
      base = 0;
      break;
    case Stream::FromCurrent:
      base = position;
      break;
    case Stream::FromEnd:
      base = length;
      break;
    default:
      return false;
  }
  uint64_t result = 0;
  if (offset < 0) {
    uint64_t back = static_cast<uint64_t>(-(offset + 1)) + 1;
    if (back > base)
      return false;
    result = base - back;
  } else {
    result = base + static_cast<uint64_t>(offset);
    if (result < base)
      return false;
  }
  if (result > std::numeric_limits<size_t>::max())
    return false;
  position = static_cast<size_t>(result);
  return true;
}

}  // namespace imp
}  // namespace zu

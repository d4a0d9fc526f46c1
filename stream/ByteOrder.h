#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace zu {

// Byte-order policies of the binary codecs. Convert turns a value between the machine's order
// and the order on the stream; the same call works in both directions.

namespace byte_order {

template <class T>
T Swap(T value) {
  static_assert(std::is_trivially_copyable<T>::value, "only plain values can be swapped");
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  for (size_t i = 0; i < sizeof(T) / 2; ++i) {
    unsigned char b = bytes[i];
    bytes[i] = bytes[sizeof(T) - 1 - i];
    bytes[sizeof(T) - 1 - i] = b;
  }
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

constexpr bool kMachineIsBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

}  // namespace byte_order

// The machine's own order.
struct Value {
  template <class T>
  static T Convert(T value) {
    return value;
  }
};

// Least significant byte first.
struct LittleEndianValue {
  template <class T>
  static T Convert(T value) {
    return byte_order::kMachineIsBigEndian ? byte_order::Swap(value) : value;
  }
};

// Most significant byte first.
struct BigEndianValue {
  template <class T>
  static T Convert(T value) {
    return byte_order::kMachineIsBigEndian ? value : byte_order::Swap(value);
  }
};

}  // namespace zu

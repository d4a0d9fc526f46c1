#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zu {
namespace provider {

// Byte encodings the provider produces on the fly (no image library, only zlib).
class Codec {
 public:
  // A complete gzip member (RFC 1952) holding data.
  static std::string Gzip(const std::string& data);
  // Inflates one gzip or zlib stream; false when the data is not a complete, valid stream.
  static bool Gunzip(const std::string& data, std::string& out);
  // UTF-8 text in Windows-1252: ASCII and U+00A0..U+00FF as their own byte, the printables
  // of 0x80..0x9F ("€", "’", ...) as theirs, every other character as "?". Bytes that are
  // not UTF-8 are copied as they are.
  static std::string Windows1252(const std::string& utf8);
  // An 8-bit RGB PNG; rgb holds width * height * 3 bytes, row by row.
  static std::string Png(unsigned width, unsigned height, const std::vector<std::uint8_t>& rgb);
  // A logo-like picture: a background of colour (0xRRGGBB), a darker frame and a lighter band,
  // varied by seed so neighbouring stations do not look alike.
  static std::string Badge(unsigned width, unsigned height, std::uint32_t colour,
                           std::uint32_t seed);
};

}  // namespace provider
}  // namespace zu

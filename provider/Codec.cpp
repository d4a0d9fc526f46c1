#include "provider/Codec.h"

#include <zlib.h>

#include <cstring>

namespace zu {
namespace provider {
namespace {

void PutBigEndian32(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value >> 24));
  out.push_back(static_cast<char>(value >> 16));
  out.push_back(static_cast<char>(value >> 8));
  out.push_back(static_cast<char>(value));
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
  PutBigEndian32(png, static_cast<std::uint32_t>(data.size()));
  std::string typed(type, 4);
  typed += data;
  png += typed;
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
  PutBigEndian32(png, static_cast<std::uint32_t>(crc));
}

// Deflates with the given window bits (15 + 16 = gzip wrapper, 15 = zlib wrapper).
std::string Deflate(const std::string& data, int windowBits) {
  z_stream stream;
  std::memset(&stream, 0, sizeof(stream));
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    return std::string();
  }
  std::string out;
  out.resize(deflateBound(&stream, static_cast<uLong>(data.size())) + 32);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END ? out : std::string();
}

std::uint8_t Scale(std::uint32_t channel, unsigned percent) {
  std::uint32_t value = channel * percent / 100;
  return static_cast<std::uint8_t>(value > 255 ? 255 : value);
}

// The code points of Windows-1252's bytes 0x80..0x9F; 0 where the byte is undefined.
const std::uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The length of the UTF-8 sequence at text[at] and its code point; 0 when none starts there.
std::size_t DecodeUtf8(const std::string& text, std::size_t at, std::uint32_t& code) {
  unsigned char lead = static_cast<unsigned char>(text[at]);
  std::size_t length = lead < 0x80                   ? 1
                       : lead >= 0xC2 && lead < 0xE0 ? 2
                       : lead >= 0xE0 && lead < 0xF0 ? 3
                       : lead >= 0xF0 && lead < 0xF5 ? 4
                                                     : 0;
  if (length == 0 || at + length > text.size()) {
    return 0;
  }
  code = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    unsigned char next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      return 0;
    }
    code = code << 6 | (next & 0x3F);
  }
  bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  return overlong || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000) ? 0 : length;
}

}  // namespace

std::string Codec::Windows1252(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    std::uint32_t code = 0;
    std::size_t length = DecodeUtf8(utf8, at, code);
    if (length == 0) {
      out.push_back(utf8[at++]);
      continue;
    }
    at += length;
    char byte = '?';
    if (code < 0x80 || (code >= 0xA0 && code < 0x100)) {
      byte = static_cast<char>(code);
    } else {
      for (std::size_t i = 0; i < 32; ++i) {
        if (kHighControls[i] == code) {
          byte = static_cast<char>(0x80 + i);
        }
      }
    }
    out.push_back(byte);
  }
  return out;
}

std::string Codec::Gzip(const std::string& data) {
  return Deflate(data, 15 + 16);
}

bool Codec::Gunzip(const std::string& data, std::string& out) {
  z_stream stream;
  std::memset(&stream, 0, sizeof(stream));
  if (inflateInit2(&stream, 15 + 32) != Z_OK) {
    return false;
  }
  out.clear();
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  char buffer[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof(buffer);
    result = inflate(&stream, Z_NO_FLUSH);
    if (result == Z_OK || result == Z_STREAM_END) {
      out.append(buffer, sizeof(buffer) - stream.avail_out);
    }
    if (result == Z_OK && stream.avail_in == 0 && stream.avail_out != 0) {
      break;  // input ended before the stream did
    }
  }
  inflateEnd(&stream);
  return result == Z_STREAM_END;
}

std::string Codec::Png(unsigned width, unsigned height, const std::vector<std::uint8_t>& rgb) {
  if (width == 0 || height == 0 || rgb.size() != static_cast<std::size_t>(width) * height * 3) {
    return std::string();
  }
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  PutBigEndian32(header, width);
  PutBigEndian32(header, height);
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  PutChunk(png, "IHDR", header);
  std::string raw;
  raw.reserve((static_cast<std::size_t>(width) * 3 + 1) * height);
  for (unsigned y = 0; y < height; ++y) {
    raw.push_back('\0');  // filter type none
    raw.append(reinterpret_cast<const char*>(&rgb[static_cast<std::size_t>(y) * width * 3]),
               static_cast<std::size_t>(width) * 3);
  }
  PutChunk(png, "IDAT", Deflate(raw, 15));
  PutChunk(png, "IEND", std::string());
  return png;
}

std::string Codec::Badge(unsigned width, unsigned height, std::uint32_t colour,
                         std::uint32_t seed) {
  std::uint32_t red = colour >> 16 & 0xFF, green = colour >> 8 & 0xFF, blue = colour & 0xFF;
  unsigned frame = height / 16 + 1;
  unsigned bandTop = height / 3 + seed % (height / 6 + 1);
  unsigned bandBottom = bandTop + height / 4 + 1;
  unsigned stripe = 4 + seed % 7;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) {
      unsigned percent = 100;
      if (x < frame || y < frame || x >= width - frame || y >= height - frame) {
        percent = 55;
      } else if (y >= bandTop && y < bandBottom) {
        percent = (x + y) / stripe % 2 == 0 ? 160 : 140;
      }
      std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      pixel[0] = Scale(red + 20, percent);
      pixel[1] = Scale(green + 20, percent);
      pixel[2] = Scale(blue + 20, percent);
    }
  }
  return Png(width, height, rgb);
}

}  // namespace provider
}  // namespace zu

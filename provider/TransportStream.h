#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zu {
namespace provider {

// An MPEG transport stream file, served as a live stream: its packets over and over without
// end, at the pace its own programme clock gives.
class TransportStream {
 public:
  static constexpr std::size_t kPacketSize = 188;

  // Reads the file. A trailing part packet is left out. False with error set when the file
  // cannot be read, holds no whole packet, or a packet does not begin with the sync byte 0x47.
  static bool Load(const std::string& path, TransportStream& out, std::string& error);

  // The whole packets of the file.
  std::size_t Size() const { return data_.size(); }
  // Bytes per second at the stream's own pace, from the first and last programme clock
  // reference of one stream in the file; 0 when the file has fewer than two of them.
  double BytesPerSecond() const { return bytesPerSecond_; }
  // `count` bytes of the endless loop from `offset` on.
  void Read(std::uint64_t offset, std::size_t count, std::string& out) const;

 private:
  std::string data_;
  double bytesPerSecond_ = 0;
};

}  // namespace provider
}  // namespace zu

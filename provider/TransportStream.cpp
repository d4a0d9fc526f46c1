#include "provider/TransportStream.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace zu {
namespace provider {
namespace {

const std::uint64_t kClockHz = 27000000;  // the programme clock's rate

// The programme clock reference of the packet at `at`, when it carries one.
bool ReadClock(const std::string& data, std::size_t at, unsigned& pid, std::uint64_t& clock) {
  const unsigned char* packet = reinterpret_cast<const unsigned char*>(data.data() + at);
  bool adaptation = (packet[3] & 0x20) != 0;
  if (!adaptation || packet[4] < 7 || (packet[5] & 0x10) == 0) {
    return false;
  }
  pid = static_cast<unsigned>(packet[1] & 0x1F) << 8 | packet[2];
  std::uint64_t base = static_cast<std::uint64_t>(packet[6]) << 25 |
                       static_cast<std::uint64_t>(packet[7]) << 17 |
                       static_cast<std::uint64_t>(packet[8]) << 9 |
                       static_cast<std::uint64_t>(packet[9]) << 1 | packet[10] >> 7;
  clock = base * 300 + ((static_cast<std::uint64_t>(packet[10]) & 1) << 8 | packet[11]);
  return true;
}

}  // namespace

bool TransportStream::Load(const std::string& path, TransportStream& out, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read the stream file '" + path + "'";
    return false;
  }
  std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  data.resize(data.size() - data.size() % kPacketSize);
  if (data.empty()) {
    error = "the stream file '" + path + "' holds no whole transport stream packet";
    return false;
  }
  unsigned clockPid = 0x2000;  // none yet
  std::size_t firstAt = 0, lastAt = 0;
  std::uint64_t firstClock = 0, lastClock = 0;
  for (std::size_t at = 0; at < data.size(); at += kPacketSize) {
    if (data[at] != 0x47) {
      error = "the stream file '" + path + "' is not an MPEG transport stream (no sync byte at " +
              std::to_string(at) + ")";
      return false;
    }
    unsigned pid = 0;
    std::uint64_t clock = 0;
    if (ReadClock(data, at, pid, clock) && (clockPid == 0x2000 || pid == clockPid)) {
      if (clockPid == 0x2000) {
        clockPid = pid;
        firstAt = at;
        firstClock = clock;
      }
      lastAt = at;
      lastClock = clock;
    }
  }
  out.bytesPerSecond_ = lastClock > firstClock ? static_cast<double>(lastAt - firstAt) * kClockHz /
                                                     static_cast<double>(lastClock - firstClock)
                                               : 0;
  out.data_ = std::move(data);
  return true;
}

void TransportStream::Read(std::uint64_t offset, std::size_t count, std::string& out) const {
  out.clear();
  out.reserve(count);
  std::size_t at = static_cast<std::size_t>(offset % data_.size());
  while (out.size() < count) {
    std::size_t piece = std::min(count - out.size(), data_.size() - at);
    out.append(data_, at, piece);
    at = 0;
  }
}

}  // namespace provider
}  // namespace zu

#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct z_stream_s;

namespace zu {
namespace nivo {

// Inflates a gzip-encoded response payload in one go, once all of it is there: the last
// member's trailer states the size of the data, so the output is sized once instead of being
// regrown. One member or several in a row make one payload. Keeps its zlib state from one
// payload to the next. No lock; one payload at a time.
class GzipInflater {
 public:
  enum class Result {
    Ok,
    // Not gzip, corrupt, or ending before the end of its stream.
    Failed,
    // The output would exceed the limit given.
    TooLarge,
  };

  GzipInflater();
  ~GzipInflater();
  GzipInflater(const GzipInflater&) = delete;
  GzipInflater& operator=(const GzipInflater&) = delete;

  // Inflates in into out (replaced), which may grow to at most limit bytes. Ok with out
  // holding the data; otherwise out holds nothing of use.
  Result Inflate(const std::string& in, size_t limit, std::string& out);

 private:
  // Made on first use; null when zlib could not set it up.
  std::unique_ptr<z_stream_s> stream_;
  bool ready_ = false;
};

}  // namespace nivo
}  // namespace zu

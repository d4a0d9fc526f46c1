#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zu {
namespace fuzz {

// One entry per fuzz target. Each takes arbitrary bytes, runs them through one reader of the
// add-on and checks what the reader promises about its result. A broken promise is reported
// on standard error and ends the process with abort(), which libFuzzer records as a finding
// and a test run as a failure. Exceptions the reader documents are part of its contract and
// are caught; any other exception leaves the entry.
//
// Every entry may be called any number of times, in any order, from one thread at a time.
using FuzzEntry = void (*)(const std::uint8_t* data, std::size_t size);

// Response handling of the page reader. Byte 0 chooses whether the peer closes the
// connection after the last byte (bit 0) and the response size limit (bits 1-2); bytes 1 and 2
// seed the split into reads; the rest is the response. The result of every split must equal
// the result of one read of the whole response.
void FuzzHttpResponse(const std::uint8_t* data, std::size_t size);
// The playlist reader over a string stream with the text codec.
void FuzzM3U(const std::uint8_t* data, std::size_t size);
// The station list, show list and show details readers.
void FuzzStationList(const std::uint8_t* data, std::size_t size);
void FuzzShowList(const std::uint8_t* data, std::size_t size);
void FuzzShowDetails(const std::uint8_t* data, std::size_t size);
// Re-encoding of texts to UTF-8, and the repair of strings in JSON documents: checked against
// nlohmann's own reading where it reads the text as it is.
void FuzzTextEncoding(const std::uint8_t* data, std::size_t size);
// Character reference decoding of show texts.
void FuzzDecodeEntities(const std::uint8_t* data, std::size_t size);
// The channel cache and guide cache readers.
void FuzzChannelCache(const std::uint8_t* data, std::size_t size);
void FuzzGuideCache(const std::uint8_t* data, std::size_t size);
// Typed reads of the text codec and of the binary codecs. Byte 0 (binary: also the codec's
// byte order) and the next bytes choose the types read; the rest is the stream's content.
void FuzzAsciiCodec(const std::uint8_t* data, std::size_t size);
void FuzzBinaryCodec(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
  // Also the name of the fuzzer program ("fuzz_" + name) and of its corpus folders.
  const char* name;
  FuzzEntry entry;
};

// Every target, in a fixed order.
const std::vector<FuzzTarget>& FuzzTargets();

}  // namespace fuzz
}  // namespace zu

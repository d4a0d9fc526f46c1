// Typed reads of the text codec over a string stream and of the binary codecs over a memory
// stream, in an order the input chooses. A read reports the bytes it took, leaves its target
// alone when it fails, and a value read is written and read back the same.

#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzEntries.h"
#include "fuzz/FuzzSupport.h"
#include "stream/Factory.h"
#include "stream/Stream.h"

namespace zu {
namespace fuzz {

namespace {

// Reads per input at most. The reads end at the first one that fails: a memory stream stays
// good past its end.
const size_t kMaxReads = 4096;
// Types a program step may choose.
const size_t kTypeCount = 14;

// Values no failed read may leave behind other than untouched.
template <class T>
T Sentinel() {
  return static_cast<T>(91);
}
template <>
std::string Sentinel<std::string>() {
  return "sentinel";
}
template <>
std::wstring Sentinel<std::wstring>() {
  return L"sentinel";
}

template <class T>
bool Same(const T& a, const T& b) {
  return a == b;
}
// Bit for bit, so that NaN equals itself.
bool Same(float a, float b) {
  return std::memcmp(&a, &b, sizeof(a)) == 0;
}
bool Same(double a, double b) {
  return std::memcmp(&a, &b, sizeof(a)) == 0;
}

struct Run {
  const char* target;
  bool text;
  CodecPtr codec;
};

// A fresh stream of the run's kind over bytes.
StreamPtr MakeStream(const Run& run, std::string& text, std::vector<unsigned char>& bytes) {
  if (run.text)
    return factory::CreateStringStream(text);
  return factory::CreateMemoryStream(run.codec->Clone(), bytes);
}

template <class T>
void WriteAndReadBack(const Run& run, const T& value, const char* type) {
  std::string text;
  std::vector<unsigned char> bytes;
  const StreamPtr stream = MakeStream(run, text, bytes);
  const size_t written = stream->Write(value);
  Check(stream->SetPosition(0, Stream::FromStart), run.target, "cannot rewind a stream");
  T back = Sentinel<T>();
  const size_t read = stream->Read(back);
  Check(read == written && Same(back, value), run.target,
        std::string("a ") + type + " read, written and read again came back different (" +
            std::to_string(written) + " bytes written, " + std::to_string(read) + " read)");
}

// One typed read: its count matches the bytes the stream moved on, and a failed read leaves
// the target as it was. roundTrip: the value survives being written and read again.
template <class T>
bool ReadOne(const Run& run, Stream& stream, const char* type, bool failureClears, bool roundTrip) {
  T value = Sentinel<T>();
  const uint64_t before = stream.GetPosition();
  const size_t count = stream.Read(value);
  const uint64_t after = stream.GetPosition();
  if (count == 0) {
    Check(failureClears || Same(value, Sentinel<T>()), run.target,
          std::string("a failed read of a ") + type + " changed its target");
    return false;
  }
  Check(after - before == count, run.target,
        std::string("a read of a ") + type + " reported " + std::to_string(count) +
            " bytes but the stream moved " + std::to_string(after - before));
  if (roundTrip)
    WriteAndReadBack(run, value, type);
  return true;
}

void ReadProgram(const Run& run, const std::uint8_t* program, size_t steps, Stream& stream) {
  // The text codec writes floating point values with %g, which rounds; its line read ends at
  // the end of the data with an empty line, as documented.
  const bool exact = !run.text;
  bool read = true;
  for (size_t i = 0; i < kMaxReads && read && stream.IsGood(); ++i) {
    switch (program[i % steps] % kTypeCount) {
      case 0:
        read = ReadOne<signed char>(run, stream, "signed char", false, true);
        break;
      case 1:
        read = ReadOne<unsigned char>(run, stream, "unsigned char", false, true);
        break;
      case 2:
        read = ReadOne<short>(run, stream, "short", false, true);
        break;
      case 3:
        read = ReadOne<unsigned short>(run, stream, "unsigned short", false, true);
        break;
      case 4:
        read = ReadOne<int>(run, stream, "int", false, true);
        break;
      case 5:
        read = ReadOne<unsigned int>(run, stream, "unsigned int", false, true);
        break;
      case 6:
        read = ReadOne<long>(run, stream, "long", false, true);
        break;
      case 7:
        read = ReadOne<unsigned long>(run, stream, "unsigned long", false, true);
        break;
      case 8:
        read = ReadOne<float>(run, stream, "float", false, exact);
        break;
      case 9:
        read = ReadOne<double>(run, stream, "double", false, exact);
        break;
      case 10:
        read = ReadOne<std::string>(run, stream, "string", run.text, true);
        break;
      case 11:
        // Wide text goes through a conversion that need not keep malformed UTF-8.
        read = ReadOne<std::wstring>(run, stream, "wstring", run.text, false);
        break;
      case 12:
        read = ReadOne<char>(run, stream, "char", false, true);
        break;
      default:
        read = ReadOne<bool>(run, stream, "bool", false, true);
        break;
    }
  }
}

}  // namespace

void FuzzAsciiCodec(const std::uint8_t* data, std::size_t size) {
  QuietOutput();
  if (size < 1)
    return;
  const size_t steps = 1 + (data[0] & 7);
  if (size < 1 + steps)
    return;
  const Run run{"ascii_codec", true, factory::CreateAsciiCodec()};
  std::string text(reinterpret_cast<const char*>(data + 1 + steps), size - 1 - steps);
  const StreamPtr stream = factory::CreateStringStream(text);
  ReadProgram(run, data + 1, steps, *stream);
}

void FuzzBinaryCodec(const std::uint8_t* data, std::size_t size) {
  QuietOutput();
  if (size < 1)
    return;
  const size_t steps = 1 + (data[0] & 7);
  if (size < 1 + steps)
    return;
  CodecPtr codec;
  switch ((data[0] >> 3) & 3) {
    case 1:
      codec = factory::CreateLittleEndianBinaryCodec();
      break;
    case 2:
      codec = factory::CreateBigEndianBinaryCodec();
      break;
    default:
      codec = factory::CreateBinaryCodec();
      break;
  }
  const Run run{"binary_codec", false, codec};
  std::vector<unsigned char> bytes(data + 1 + steps, data + size);
  const StreamPtr stream = factory::CreateMemoryStream(codec, bytes);
  ReadProgram(run, data + 1, steps, *stream);
}

}  // namespace fuzz
}  // namespace zu

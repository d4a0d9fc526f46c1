#include "stream/Factory.h"

#include <memory>

#include "stream/imp/AsciiCodec.h"
#include "stream/imp/BinaryCodec.h"
#include "stream/imp/Bz2FileStream.h"
#include "stream/imp/FileStream.h"
#include "stream/imp/GzFileStream.h"
#include "stream/imp/MemoryMappedFilePosix.h"
#include "stream/imp/MemoryStream.h"
#include "stream/imp/StringStream.h"

namespace zu {
namespace factory {

StreamPtr CreateStringStream(std::string& target) {
  return std::make_shared<imp::StringStream>(target, CreateAsciiCodec());
}

StreamPtr CreateMemoryStream(CodecPtr codec, std::vector<unsigned char>& target) {
  return std::make_shared<imp::MemoryStream>(target, std::move(codec));
}

StreamPtr CreateFileStream(FILE* file, Stream::Direction direction, CodecPtr codec) {
  return std::make_shared<imp::FileStream>(file, direction, std::move(codec));
}

StreamPtr CreateFileStream(const std::string& name, Stream::Direction direction, CodecPtr codec) {
  return std::make_shared<imp::FileStream>(name, direction, std::move(codec));
}

StreamPtr CreateGzFileStream(const std::string& name, Stream::Direction direction, CodecPtr codec) {
  return std::make_shared<imp::GzFileStream>(name, direction, std::move(codec));
}

StreamPtr CreateBz2FileStream(const std::string& name, Stream::Direction direction,
                              CodecPtr codec) {
  return std::make_shared<imp::Bz2FileStream>(name, direction, std::move(codec));
}

StreamPtr CreateStdErrorStream() {
  return std::make_shared<imp::FileStream>(stderr, Stream::WriteOnly, CreateAsciiCodec());
}

StreamPtr CreateStdOutStream() {
  return std::make_shared<imp::FileStream>(stdout, Stream::WriteOnly, CreateAsciiCodec());
}

MemoryMappedFilePtr CreateMemoryMappedFile(const std::string& name, bool writable,
                                           unsigned int size) {
  auto file = std::make_shared<MemoryMappedFilePosix>(name, writable, size);
  if (!file->Map())
    return MemoryMappedFilePtr();
  return file;
}

CodecPtr CreateAsciiCodec() {
  return std::make_shared<imp::AsciiCodec>();
}

CodecPtr CreateBinaryCodec() {
  return std::make_shared<imp::BinaryCodec<Value>>();
}

CodecPtr CreateLittleEndianBinaryCodec() {
  return std::make_shared<imp::BinaryCodec<LittleEndianValue>>();
}

CodecPtr CreateBigEndianBinaryCodec() {
  return std::make_shared<imp::BinaryCodec<BigEndianValue>>();
}

}  // namespace factory
}  // namespace zu

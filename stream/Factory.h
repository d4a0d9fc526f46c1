#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "stream/Codec.h"
#include "stream/MemoryMappedFile.h"
#include "stream/Stream.h"

namespace zu {
namespace factory {

// Every stream factory returns a stream (never an empty pointer); a stream whose target could
// not be opened carries OpenError and has logged why. A stream made with an empty codec moves
// bytes only.

// A text stream (ASCII codec) over the caller's string, ReadWrite at position 0. The string
// must outlive the stream.
StreamPtr CreateStringStream(std::string& target);
// A stream over the caller's byte vector, ReadWrite at position 0. The vector must outlive
// the stream.
StreamPtr CreateMemoryStream(CodecPtr codec, std::vector<unsigned char>& target);
// A stream over the caller's FILE, which the stream never closes.
StreamPtr CreateFileStream(FILE* file, Stream::Direction direction, CodecPtr codec);
// A stream over the named file: "rb" for ReadOnly, "wb" for WriteOnly, "wb+" for ReadWrite
// (the last two create the file or empty it).
StreamPtr CreateFileStream(const std::string& name, Stream::Direction direction, CodecPtr codec);
// A gzip-compressed file, ReadOnly or WriteOnly (ReadWrite gives OpenError).
StreamPtr CreateGzFileStream(const std::string& name, Stream::Direction direction, CodecPtr codec);
// A bzip2-compressed file, ReadOnly or WriteOnly (ReadWrite gives OpenError).
StreamPtr CreateBz2FileStream(const std::string& name, Stream::Direction direction, CodecPtr codec);
// The process's standard error and standard output as WriteOnly text streams.
StreamPtr CreateStdErrorStream();
StreamPtr CreateStdOutStream();

// The named file mapped into memory (see MemoryMappedFilePosix for writable and size); an
// empty pointer when it cannot be mapped (the reason is logged).
MemoryMappedFilePtr CreateMemoryMappedFile(const std::string& name, bool writable,
                                           unsigned int size);

// Codecs: text, and binary in the machine's, little-endian and big-endian byte order.
CodecPtr CreateAsciiCodec();
CodecPtr CreateBinaryCodec();
CodecPtr CreateLittleEndianBinaryCodec();
CodecPtr CreateBigEndianBinaryCodec();

}  // namespace factory
}  // namespace zu

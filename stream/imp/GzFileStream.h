#pragma once

#include <zlib.h>

#include <string>

#include "stream/imp/StreamBase.h"

namespace zu {
namespace imp {

// A stream over a gzip file, through zlib's gz file functions: writes compress, reads
// decompress (a file that is not compressed reads as it is). zlib cannot read and write one
// file at once, so ReadWrite is refused with OpenError. The position is the uncompressed
// offset; moving it from the end is not supported (PositionNotSupported), and moving a writing
// stream backwards fails.
class GzFileStream : public StreamBase {
 public:
  // Opens the named file with "rb" (ReadOnly) or "wb" (WriteOnly). On failure logs "Error
  // opening file '" + name + "'" and sets OpenError; the direction is recorded either way.
  GzFileStream(const std::string& name, Direction direction, CodecPtr codec);
  ~GzFileStream() override;

  // Opens the file again by name with the same direction (a writing clone empties it).
  StreamPtr Clone() override;
  bool SetPosition(int64_t offset, int origin) override;
  uint64_t GetPosition() override;
  // Reads until size bytes are there; the end of the data sets EndOfStream, damaged or cut
  // data ReadError (with zlib's reason in the log).
  size_t ReadBytes(size_t size, void* buffer) override;
  size_t WriteBytes(size_t size, const void* buffer) override;
  // Completes the compressed data written so far (a sync flush), so that a reader sees it.
  bool Flush() override;
  // Writes the end of the compressed data and closes the file; CloseError when that fails.
  bool Close() override;

 private:
  // Sets status after a failed gz call, logging zlib's reason when it is not a system error.
  void SetZlibStatus(Error status);
  bool CloseFile();

  gzFile file_ = nullptr;
  std::string name_;
  Direction openDirection_ = Closed;
};

}  // namespace imp
}  // namespace zu

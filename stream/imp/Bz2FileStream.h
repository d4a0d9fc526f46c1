#pragma once

#include <bzlib.h>

#include <cstdio>
#include <string>

#include "stream/imp/StreamBase.h"

namespace zu {
namespace imp {

// A stream over a bzip2 file, through libbz2's file functions: writes compress, reads
// decompress (several compressed streams one after the other read as one). libbz2 reads or writes a
// file, never both, so ReadWrite is refused with OpenError rather than opening a stream whose reads
// would all fail. bzip2 data has no position: SetPosition sets PositionNotSupported and returns
// false; GetPosition logs that status without setting it and returns 0.
class Bz2FileStream : public StreamBase {
 public:
  // Opens the named file with "rb" (ReadOnly) or "wb" (WriteOnly). On failure logs "Error
  // opening file '" + name + "'" and sets OpenError; the direction is recorded either way.
  Bz2FileStream(const std::string& name, Direction direction, CodecPtr codec);
  ~Bz2FileStream() override;

  // Opens the file again by name with the same direction (a writing clone empties it).
  StreamPtr Clone() override;
  bool SetPosition(int64_t offset, int origin) override;
  uint64_t GetPosition() override;
  // Reads until size bytes are there; the end of the compressed data sets EndOfStream, damaged
  // or cut data ReadError (with the reason in the log).
  size_t ReadBytes(size_t size, void* buffer) override;
  size_t WriteBytes(size_t size, const void* buffer) override;
  // bzip2 cannot complete its data before the end, so there is nothing to push; true on a
  // stream that may write.
  bool Flush() override;
  // Writes the end of the compressed data and closes the file; CloseError when that fails.
  bool Close() override;

 private:
  // At the end of one compressed stream: files from parallel compressors hold several streams
  // one after the other, which together are the data. True when another stream follows and
  // is open for reading.
  bool OpenNextStream();
  // Sets status after a failed libbz2 call with code, logging the reason.
  void SetBzStatus(Error status, int code);
  bool CloseFile();

  FILE* file_ = nullptr;
  BZFILE* bz_ = nullptr;
  bool writing_ = false;
  bool ended_ = false;
  bool inNextStream_ = false;
  std::string name_;
  Direction openDirection_ = Closed;
};

}  // namespace imp
}  // namespace zu

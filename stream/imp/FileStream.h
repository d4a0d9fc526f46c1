#pragma once

#include <cstdio>
#include <string>

#include "stream/imp/StreamBase.h"

namespace zu {
namespace imp {

// A stream over a C FILE: either one the caller gives (never closed by the stream; the caller
// keeps it open for the stream's life) or one the stream opens by name and closes in Close or
// at destruction. Opening by name uses "rb" for ReadOnly, "wb" for WriteOnly and "wb+" for
// ReadWrite, so that WriteOnly and ReadWrite create the file or empty an existing one.
class FileStream : public StreamBase {
 public:
  // On the caller's FILE with the given direction; a null FILE gives OpenError.
  FileStream(FILE* file, Direction direction, CodecPtr codec);
  // Opens the named file (see SetStream).
  FileStream(const std::string& name, Direction direction, CodecPtr codec);
  ~FileStream() override;

  // Opens the named file for the direction, closing what the stream held before. On failure
  // (or with a direction that is none of the three open ones) logs "Error opening file '" +
  // name + "'", sets OpenError and returns false. The direction is recorded in both cases.
  bool SetStream(const std::string& name, Direction direction);

  // Named files are opened again by name with the direction they were opened with (a
  // writing clone therefore empties the file); a caller's FILE is shared.
  StreamPtr Clone() override;
  bool SetPosition(int64_t offset, int origin) override;
  // ftell; 0 when the FILE has no position (a pipe or a terminal), logged as
  // PositionNotSupported without setting the status: transfers go on.
  uint64_t GetPosition() override;
  // Reads until size bytes are there; the end of the file sets EndOfStream, a failure
  // ReadError; returns the bytes read before that.
  size_t ReadBytes(size_t size, void* buffer) override;
  // Writes all bytes; a failure sets WriteError and returns the bytes written before it.
  size_t WriteBytes(size_t size, const void* buffer) override;
  bool Flush() override;
  bool Close() override;

 private:
  // A FILE opened for reading and writing needs a flush or seek between the two.
  enum LastTransfer { NoTransfer, Reading, Writing };

  bool CloseFile();

  FILE* file_ = nullptr;
  bool ownsFile_ = false;
  std::string name_;
  Direction openDirection_ = Closed;
  LastTransfer last_ = NoTransfer;
};

}  // namespace imp
}  // namespace zu

#include "stream/imp/FileStream.h"

#include <cerrno>
#include <memory>

#include "output/Output.h"

namespace zu {
namespace imp {

FileStream::FileStream(FILE* file, Direction direction, CodecPtr codec)
    : StreamBase(std::move(codec)), file_(file), openDirection_(direction) {
  SetDirection(direction);
  if (file_ == nullptr) {
    ZU_ERROR("ZUBASE", "File stream created without a FILE");
    SetStatus(OpenError, 0);
  }
}

FileStream::FileStream(const std::string& name, Direction direction, CodecPtr codec)
    : StreamBase(std::move(codec)) {
  SetStream(name, direction);
}

FileStream::~FileStream() {
  // fclose writes what is still buffered; a failure there would otherwise lose data unnoticed.
  if (!CloseFile())
    SetStatus(CloseError);
}

bool FileStream::SetStream(const std::string& name, Direction direction) {
  CloseFile();
  ClearStatus();
  name_ = name;
  openDirection_ = direction;
  SetDirection(direction);
  last_ = NoTransfer;

  const char* mode = nullptr;
  switch (direction) {
    case ReadOnly:
      mode = "rb";
      break;
    case WriteOnly:
      mode = "wb";
      break;
    case ReadWrite:
      mode = "wb+";
      break;
    default:
      break;
  }
  int error = 0;
  if (mode != nullptr && !name.empty()) {
    errno = 0;
    file_ = std::fopen(name.c_str(), mode);
    error = errno;
  }
  if (file_ == nullptr) {
    ZU_ERROR("ZUBASE", "Error opening file '" + name + "'");
    SetStatus(OpenError, error);
    return false;
  }
  ownsFile_ = true;
  return true;
}

StreamPtr FileStream::Clone() {
  if (ownsFile_ || !name_.empty())
    return std::make_shared<FileStream>(name_, openDirection_, CloneCodec());
  return std::make_shared<FileStream>(file_, openDirection_, CloneCodec());
}

bool FileStream::SetPosition(int64_t offset, int origin) {
  int whence = 0;
  switch (origin) {
    case FromStart:
      whence = SEEK_SET;
      break;
    case FromCurrent:
      whence = SEEK_CUR;
      break;
    case FromEnd:
      whence = SEEK_END;
      break;
    default:
      return false;
  }
  if (file_ == nullptr)
    return false;
  last_ = NoTransfer;
  return ::fseeko(file_, static_cast<off_t>(offset), whence) == 0;
}

uint64_t FileStream::GetPosition() {
  if (file_ == nullptr)
    return 0;
  off_t position = ::ftello(file_);
  if (position < 0) {
    ReportFailure(PositionNotSupported);
    return 0;
  }
  return static_cast<uint64_t>(position);
}

size_t FileStream::ReadBytes(size_t size, void* buffer) {
  if (!CanRead() || size == 0)
    return 0;
  if (file_ == nullptr) {
    SetStatus(ReadError, 0);
    return 0;
  }
  if (last_ == Writing)
    std::fflush(file_);
  last_ = Reading;
  unsigned char* bytes = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < size) {
    errno = 0;
    size_t count = std::fread(bytes + done, 1, size - done, file_);
    if (count == 0) {
      if (std::feof(file_))
        SetStatus(EndOfStream, 0);
      else
        SetStatus(ReadError);
      break;
    }
    done += count;
  }
  return done;
}

size_t FileStream::WriteBytes(size_t size, const void* buffer) {
  if (!CanWrite() || size == 0)
    return 0;
  if (file_ == nullptr) {
    SetStatus(WriteError, 0);
    return 0;
  }
  if (last_ == Reading)
    ::fseeko(file_, 0, SEEK_CUR);
  last_ = Writing;
  const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
  size_t done = 0;
  while (done < size) {
    errno = 0;
    size_t count = std::fwrite(bytes + done, 1, size - done, file_);
    if (count == 0) {
      SetStatus(WriteError);
      break;
    }
    done += count;
  }
  return done;
}

bool FileStream::Flush() {
  if (!CanWrite())
    return false;
  if (file_ == nullptr) {
    SetStatus(WriteError, 0);
    return false;
  }
  errno = 0;
  if (std::fflush(file_) != 0) {
    SetStatus(WriteError);
    return false;
  }
  return true;
}

bool FileStream::Close() {
  bool closed = CloseFile();
  SetDirection(Closed);
  if (!closed)
    SetStatus(CloseError);
  return closed;
}

bool FileStream::CloseFile() {
  bool closed = true;
  if (file_ != nullptr && ownsFile_) {
    errno = 0;
    closed = std::fclose(file_) == 0;
  }
  file_ = nullptr;
  ownsFile_ = false;
  last_ = NoTransfer;
  return closed;
}

}  // namespace imp
}  // namespace zu

#include "stream/imp/GzFileStream.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

#include "output/Output.h"

namespace zu {
namespace imp {

namespace {

// gzread and gzwrite take an unsigned int and report through an int.
constexpr size_t kMaxChunk = 1u << 30;

}  // namespace

GzFileStream::GzFileStream(const std::string& name, Direction direction, CodecPtr codec)
    : StreamBase(std::move(codec)), name_(name), openDirection_(direction) {
  SetDirection(direction);
  const char* mode = nullptr;
  if (direction == ReadOnly)
    mode = "rb";
  else if (direction == WriteOnly)
    mode = "wb";
  else if (direction == ReadWrite)
    ZU_ERROR("ZUBASE", "A gzip file cannot be read and written at once: '" + name + "'");
  int error = 0;
  if (mode != nullptr && !name.empty()) {
    errno = 0;
    file_ = ::gzopen(name.c_str(), mode);
    error = errno;
  }
  if (file_ == nullptr) {
    ZU_ERROR("ZUBASE", "Error opening file '" + name + "'");
    SetStatus(OpenError, error);
  }
}

GzFileStream::~GzFileStream() {
  // Closing completes a written file; a failure there would otherwise lose data unnoticed.
  if (!CloseFile())
    SetStatus(CloseError);
}

StreamPtr GzFileStream::Clone() {
  return std::make_shared<GzFileStream>(name_, openDirection_, CloneCodec());
}

bool GzFileStream::SetPosition(int64_t offset, int origin) {
  if (file_ == nullptr)
    return false;
  if (origin == FromEnd) {
    SetStatus(PositionNotSupported, 0);
    return false;
  }
  if (origin != FromStart && origin != FromCurrent)
    return false;
  return ::gzseek(file_, static_cast<z_off_t>(offset), origin == FromStart ? SEEK_SET : SEEK_CUR) >=
         0;
}

uint64_t GzFileStream::GetPosition() {
  if (file_ == nullptr)
    return 0;
  z_off_t position = ::gztell(file_);
  if (position < 0) {
    ReportFailure(PositionNotSupported);
    return 0;
  }
  return static_cast<uint64_t>(position);
}

size_t GzFileStream::ReadBytes(size_t size, void* buffer) {
  if (!CanRead() || size == 0)
    return 0;
  if (file_ == nullptr) {
    SetStatus(ReadError, 0);
    return 0;
  }
  unsigned char* bytes = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < size) {
    size_t chunk = std::min(size - done, kMaxChunk);
    errno = 0;
    int count = ::gzread(file_, bytes + done, static_cast<unsigned int>(chunk));
    if (count <= 0) {
      int code = Z_OK;
      ::gzerror(file_, &code);
      if (count == 0 && code == Z_OK)
        SetStatus(EndOfStream, 0);
      else
        SetZlibStatus(ReadError);
      break;
    }
    done += static_cast<size_t>(count);
  }
  return done;
}

size_t GzFileStream::WriteBytes(size_t size, const void* buffer) {
  if (!CanWrite() || size == 0)
    return 0;
  if (file_ == nullptr) {
    SetStatus(WriteError, 0);
    return 0;
  }
  const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
  size_t done = 0;
  while (done < size) {
    size_t chunk = std::min(size - done, kMaxChunk);
    errno = 0;
    int count = ::gzwrite(file_, bytes + done, static_cast<unsigned int>(chunk));
    if (count <= 0) {
      SetZlibStatus(WriteError);
      break;
    }
    done += static_cast<size_t>(count);
  }
  return done;
}

bool GzFileStream::Flush() {
  if (!CanWrite())
    return false;
  if (file_ == nullptr) {
    SetStatus(WriteError, 0);
    return false;
  }
  errno = 0;
  if (::gzflush(file_, Z_SYNC_FLUSH) != Z_OK) {
    SetZlibStatus(WriteError);
    return false;
  }
  return true;
}

bool GzFileStream::Close() {
  bool closed = CloseFile();
  SetDirection(Closed);
  if (!closed)
    SetStatus(CloseError);
  return closed;
}

void GzFileStream::SetZlibStatus(Error status) {
  int code = Z_OK;
  const char* reason = ::gzerror(file_, &code);
  if (code == Z_ERRNO) {
    SetStatus(status);
    return;
  }
  if (GetReportErrors() && reason != nullptr && *reason != '\0')
    ZU_ERROR("ZUBASE", std::string("gzip: ") + reason);
  SetStatus(status, 0);
}

bool GzFileStream::CloseFile() {
  if (file_ == nullptr)
    return true;
  errno = 0;
  int result = ::gzclose(file_);
  file_ = nullptr;
  // A reader of cut data has had its ReadError already; zlib repeats it here.
  if (result == Z_BUF_ERROR && openDirection_ == ReadOnly)
    return true;
  return result == Z_OK;
}

}  // namespace imp
}  // namespace zu

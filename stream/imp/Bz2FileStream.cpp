#include "stream/imp/Bz2FileStream.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "output/Output.h"

namespace zu {
namespace imp {

namespace {

// BZ2_bzRead and BZ2_bzWrite take an int length.
constexpr size_t kMaxChunk = 1u << 30;

const char* BzReason(int code) {
  switch (code) {
    case BZ_SEQUENCE_ERROR:
      return "call out of sequence";
    case BZ_PARAM_ERROR:
      return "bad parameter";
    case BZ_MEM_ERROR:
      return "out of memory";
    case BZ_DATA_ERROR:
      return "damaged compressed data";
    case BZ_DATA_ERROR_MAGIC:
      return "not bzip2 data";
    case BZ_IO_ERROR:
      return "input/output error";
    case BZ_UNEXPECTED_EOF:
      return "compressed data ends early";
    case BZ_OUTBUFF_FULL:
      return "output buffer full";
    case BZ_CONFIG_ERROR:
      return "library configuration error";
    default:
      return "unknown error";
  }
}

}  // namespace

Bz2FileStream::Bz2FileStream(const std::string& name, Direction direction, CodecPtr codec)
    : StreamBase(std::move(codec)), name_(name), openDirection_(direction) {
  SetDirection(direction);
  if (direction == ReadWrite)
    ZU_ERROR("ZUBASE", "A bzip2 file cannot be read and written at once: '" + name + "'");
  int error = 0;
  if ((direction == ReadOnly || direction == WriteOnly) && !name.empty()) {
    writing_ = direction == WriteOnly;
    errno = 0;
    file_ = std::fopen(name.c_str(), writing_ ? "wb" : "rb");
    error = errno;
    if (file_ != nullptr) {
      int code = BZ_OK;
      if (writing_)
        bz_ = ::BZ2_bzWriteOpen(&code, file_, 9, 0, 0);
      else
        bz_ = ::BZ2_bzReadOpen(&code, file_, 0, 0, nullptr, 0);
      if (code != BZ_OK || bz_ == nullptr) {
        // The open functions release what they allocated when they fail.
        bz_ = nullptr;
        std::fclose(file_);
        file_ = nullptr;
        error = 0;
      }
    }
  }
  if (bz_ == nullptr) {
    ZU_ERROR("ZUBASE", "Error opening file '" + name + "'");
    SetStatus(OpenError, error);
  }
}

Bz2FileStream::~Bz2FileStream() {
  // Closing completes a written file; a failure there would otherwise lose data unnoticed.
  if (!CloseFile())
    SetStatus(CloseError);
}

StreamPtr Bz2FileStream::Clone() {
  return std::make_shared<Bz2FileStream>(name_, openDirection_, CloneCodec());
}

bool Bz2FileStream::SetPosition(int64_t, int) {
  SetStatus(PositionNotSupported, 0);
  return false;
}

uint64_t Bz2FileStream::GetPosition() {
  ReportFailure(PositionNotSupported);
  return 0;
}

size_t Bz2FileStream::ReadBytes(size_t size, void* buffer) {
  if (!CanRead() || size == 0)
    return 0;
  if (ended_) {
    SetStatus(EndOfStream, 0);
    return 0;
  }
  if (bz_ == nullptr || writing_) {
    SetStatus(ReadError, 0);
    return 0;
  }
  char* bytes = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    size_t chunk = std::min(size - done, kMaxChunk);
    int code = BZ_OK;
    errno = 0;
    int count = ::BZ2_bzRead(&code, bz_, bytes + done, static_cast<int>(chunk));
    if (code == BZ_DATA_ERROR_MAGIC && inNextStream_) {
      // Bytes after the last compressed stream that start no new one are ignored, as the
      // bzip2 tool does.
      ended_ = true;
      SetStatus(EndOfStream, 0);
      break;
    }
    if (code != BZ_OK && code != BZ_STREAM_END) {
      SetBzStatus(ReadError, code);
      break;
    }
    if (count > 0) {
      done += static_cast<size_t>(count);
      inNextStream_ = false;
    }
    if (code == BZ_STREAM_END) {
      if (OpenNextStream())
        continue;
      // libbz2 refuses reads after the end instead of returning 0 again, so the end is kept.
      ended_ = true;
      if (done < size)
        SetStatus(EndOfStream, 0);
      break;
    }
    if (count <= 0) {
      // A library that makes no progress must not hold the reader forever.
      SetStatus(ReadError, 0);
      break;
    }
  }
  return done;
}

bool Bz2FileStream::OpenNextStream() {
  void* unusedData = nullptr;
  int unusedCount = 0;
  int code = BZ_OK;
  ::BZ2_bzReadGetUnused(&code, bz_, &unusedData, &unusedCount);
  if (code != BZ_OK || unusedCount < 0)
    return false;
  // The bytes libbz2 read ahead belong to the next stream; they live in the handle that is
  // about to be closed, so they are copied first.
  std::vector<char> unused(static_cast<char*>(unusedData),
                           static_cast<char*>(unusedData) + unusedCount);
  if (unused.empty()) {
    int next = std::fgetc(file_);
    if (next == EOF)
      return false;
    std::ungetc(next, file_);
  }
  ::BZ2_bzReadClose(&code, bz_);
  bz_ = ::BZ2_bzReadOpen(&code, file_, 0, 0, unused.empty() ? nullptr : unused.data(),
                         static_cast<int>(unused.size()));
  if (code != BZ_OK || bz_ == nullptr) {
    bz_ = nullptr;
    return false;
  }
  inNextStream_ = true;
  return true;
}

size_t Bz2FileStream::WriteBytes(size_t size, const void* buffer) {
  if (!CanWrite() || size == 0)
    return 0;
  if (bz_ == nullptr || !writing_) {
    SetStatus(WriteError, 0);
    return 0;
  }
  const char* bytes = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < size) {
    size_t chunk = std::min(size - done, kMaxChunk);
    int code = BZ_OK;
    errno = 0;
    ::BZ2_bzWrite(&code, bz_, const_cast<char*>(bytes + done), static_cast<int>(chunk));
    if (code != BZ_OK) {
      SetBzStatus(WriteError, code);
      break;
    }
    done += chunk;
  }
  return done;
}

bool Bz2FileStream::Flush() {
  return CanWrite();
}

bool Bz2FileStream::Close() {
  bool closed = CloseFile();
  SetDirection(Closed);
  if (!closed)
    SetStatus(CloseError);
  return closed;
}

void Bz2FileStream::SetBzStatus(Error status, int code) {
  if (code == BZ_IO_ERROR) {
    SetStatus(status);
    return;
  }
  if (GetReportErrors())
    ZU_ERROR("ZUBASE", "bzip2 file '" + name_ + "': " + BzReason(code));
  SetStatus(status, 0);
}

bool Bz2FileStream::CloseFile() {
  bool closed = true;
  if (bz_ != nullptr) {
    int code = BZ_OK;
    errno = 0;
    if (writing_) {
      ::BZ2_bzWriteClose(&code, bz_, 0, nullptr, nullptr);
      if (code != BZ_OK) {
        closed = false;
        // libbz2 keeps its state when the FILE reports an error; abandon it to release it.
        std::clearerr(file_);
        ::BZ2_bzWriteClose(&code, bz_, 1, nullptr, nullptr);
      }
    } else {
      ::BZ2_bzReadClose(&code, bz_);
    }
    bz_ = nullptr;
  }
  if (file_ != nullptr) {
    if (std::fclose(file_) != 0 && writing_)
      closed = false;
    file_ = nullptr;
  }
  ended_ = false;
  inNextStream_ = false;
  return closed;
}

}  // namespace imp
}  // namespace zu

#include "stream/imp/MemoryMappedFilePosix.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/System.h"
#include "output/Output.h"

namespace zu {

namespace {

// Closes the descriptor on every way out of Map; the mapping outlives it.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

MemoryMappedFilePosix::MemoryMappedFilePosix(std::string name, bool writable, size_t size)
    : name_(std::move(name)), writable_(writable), requestedSize_(size) {}

MemoryMappedFilePosix::~MemoryMappedFilePosix() {
  Unmap();
}

bool MemoryMappedFilePosix::Fail(const std::string& what, int error) {
  ZU_ERROR("ZUBASE", "Error mapping file '" + name_ + "': " + what + ": " +
                         zu::system::GetErrorMessage(error));
  return false;
}

bool MemoryMappedFilePosix::Map() {
  if (mapped_)
    return true;
  Descriptor fd(::open(name_.c_str(), writable_ ? (O_RDWR | O_CREAT) : O_RDONLY, 0644));
  if (fd.Get() < 0)
    return Fail("open", errno);
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0)
    return Fail("fstat", errno);
  if (!S_ISREG(info.st_mode))
    return Fail("not a regular file", EINVAL);
  size_t fileSize = static_cast<size_t>(info.st_size);
  size_t size = requestedSize_ == 0 ? fileSize : requestedSize_;
  if (writable_) {
    if (fileSize < size && ::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0)
      return Fail("ftruncate", errno);
  } else if (size > fileSize) {
    // Bytes beyond the end of the file cannot be touched without a bus error.
    size = fileSize;
  }
  if (size == 0) {
    data_ = nullptr;
    size_ = 0;
    mapped_ = true;
    return true;
  }
  int protection = writable_ ? (PROT_READ | PROT_WRITE) : PROT_READ;
  void* data = ::mmap(nullptr, size, protection, MAP_SHARED, fd.Get(), 0);
  if (data == MAP_FAILED)
    return Fail("mmap", errno);
  data_ = static_cast<unsigned char*>(data);
  size_ = size;
  mapped_ = true;
  return true;
}

void MemoryMappedFilePosix::Unmap() {
  if (!mapped_)
    return;
  if (data_ != nullptr) {
    if (writable_ && ::msync(data_, size_, MS_SYNC) != 0)
      Fail("msync", errno);
    ::munmap(data_, size_);
  }
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

bool MemoryMappedFilePosix::Flush() {
  if (!mapped_ || !writable_)
    return false;
  if (data_ == nullptr)
    return true;
  if (::msync(data_, size_, MS_SYNC) != 0)
    return Fail("msync", errno);
  return true;
}

}  // namespace zu

#pragma once

#include <string>

#include "stream/MemoryMappedFile.h"

namespace zu {

// mmap of a file. Read-only: the file must exist; a size of 0 maps the whole file, a larger
// size than the file maps only what the file holds (GetSize tells). Read-write: the file is
// created when missing and extended with zero bytes to size when shorter; a size of 0 maps the
// whole file. The mapping is shared, so writes reach the file.
class MemoryMappedFilePosix : public MemoryMappedFile {
 public:
  // Does not map yet; call Map.
  MemoryMappedFilePosix(std::string name, bool writable, size_t size);
  ~MemoryMappedFilePosix() override;
  MemoryMappedFilePosix(const MemoryMappedFilePosix&) = delete;
  MemoryMappedFilePosix& operator=(const MemoryMappedFilePosix&) = delete;

  bool Map() override;
  void Unmap() override;
  bool IsMapped() const override { return mapped_; }
  unsigned char* GetData() override { return data_; }
  const unsigned char* GetData() const override { return data_; }
  size_t GetSize() const override { return size_; }
  bool IsWritable() const override { return writable_; }
  bool Flush() override;

 private:
  bool Fail(const std::string& what, int error);

  std::string name_;
  bool writable_;
  size_t requestedSize_;
  unsigned char* data_ = nullptr;
  size_t size_ = 0;
  bool mapped_ = false;
};

}  // namespace zu

#pragma once

#include <cstddef>

#include "base/SharedPtr.h"

namespace zu {

// A file mapped into memory, read-only or read-write. The bytes stay valid until Unmap or the
// object's destruction; writes through a writable mapping reach the file. The object has no
// lock: one thread maps and unmaps it, though several may read the mapped bytes.
class MemoryMappedFile {
 public:
  // Maps the file (again, after Unmap); true when mapped. A failure logs an Error ("ZUBASE").
  virtual bool Map() = 0;
  // Writes back a writable mapping and releases it; does nothing when not mapped.
  virtual void Unmap() = 0;
  // True between a successful Map and Unmap.
  virtual bool IsMapped() const = 0;
  // The first mapped byte; nullptr when not mapped or when the mapping is empty.
  virtual unsigned char* GetData() = 0;
  virtual const unsigned char* GetData() const = 0;
  // The number of mapped bytes; 0 when not mapped.
  virtual size_t GetSize() const = 0;
  // True when the mapping was asked for writing.
  virtual bool IsWritable() const = 0;
  // Writes the changed bytes of a writable mapping to the file now; false on failure, when not
  // mapped or when the mapping is read-only.
  virtual bool Flush() = 0;
  virtual ~MemoryMappedFile() = default;
};

using MemoryMappedFilePtr = SharedPtr<MemoryMappedFile>;

}  // namespace zu

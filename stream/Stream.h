#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/SharedPtr.h"

namespace zu {

class Stream;
using StreamPtr = SharedPtr<Stream>;

// A byte stream over a string, memory, a file or a compressed file. The stream moves raw bytes
// itself and hands every typed value to the codec it was created with, so the same calls write
// text or binary data.
//
// Status: the first failure (or the end of the data) is kept until ClearStatus; while it is
// set, every ReadBytes, WriteBytes and Flush does nothing and returns 0. Failures are logged
// (module "ZUBASE") unless EnableErrorMessages(false) was called. No operation throws.
//
// A stream has no lock: one thread uses it at a time. Clone gives another thread its own
// stream (own position and codec) on the same target.
class Stream {
 public:
  // The access mode. Reads need ReadOnly or ReadWrite, writes WriteOnly or ReadWrite.
  enum Direction { Closed = 0, ReadOnly = 1, WriteOnly = 2, ReadWrite = 3 };

  // The status; EndOfStream marks the end of the data and is not reported as a failure.
  enum Error {
    NoError = 0,
    OpenError = 1,
    CloseError = 2,
    WrongDirection = 3,
    EndOfStream = 4,
    ReadError = 5,
    WriteError = 6,
    PositionNotSupported = 7
  };

  // Origins of SetPosition.
  enum Origin { FromStart = 0, FromCurrent = 1, FromEnd = 2 };

  // A new stream of the same class on the same target with a clone of the codec and a good
  // status. Never empty; a clone whose target cannot be opened again carries OpenError.
  virtual StreamPtr Clone() = 0;
  // The current status.
  virtual Error GetStatus() const = 0;
  // Sets the status back to NoError, so that transfers work again.
  virtual void ClearStatus() = 0;
  // True when the status is not NoError (EndOfStream included).
  virtual bool HasError() const = 0;
  // True when the status is NoError.
  virtual bool IsGood() const = 0;
  // Turns the logging of failures on (the default) or off; the status is kept either way.
  virtual void EnableErrorMessages(bool enable) = 0;
  // Moves the byte position by offset from the given Origin; false when the stream cannot
  // move there (the position is then unchanged).
  virtual bool SetPosition(int64_t offset, int origin) = 0;
  // The current byte position; 0 when the stream has none. A stream without a position
  // logs that (unless messages are off) but keeps its status, so transfers go on.
  virtual uint64_t GetPosition() = 0;
  // Reads up to size bytes into buffer; returns the number read (0 on failure or at the end).
  virtual size_t ReadBytes(size_t size, void* buffer) = 0;
  // Writes size bytes from buffer; returns the number written (fewer on failure).
  virtual size_t WriteBytes(size_t size, const void* buffer) = 0;

  // Typed values, converted by the codec. Each returns the number of bytes taken from or
  // given to the stream; a read that cannot obtain its value returns 0 and leaves the target
  // unchanged (the text line read of the ASCII codec gives an empty line at the end).
  // char is the raw byte; signed char and unsigned char are small numbers.
  virtual size_t Read(signed char& value) = 0;
  virtual size_t Read(unsigned char& value) = 0;
  virtual size_t Read(short& value) = 0;
  virtual size_t Read(unsigned short& value) = 0;
  virtual size_t Read(int& value) = 0;
  virtual size_t Read(unsigned int& value) = 0;
  virtual size_t Read(long& value) = 0;
  virtual size_t Read(unsigned long& value) = 0;
  virtual size_t Read(float& value) = 0;
  virtual size_t Read(double& value) = 0;
  virtual size_t Read(std::string& value) = 0;
  virtual size_t Read(std::wstring& value) = 0;
  virtual size_t Read(char& value) = 0;
  virtual size_t Read(bool& value) = 0;
  virtual size_t Write(signed char value) = 0;
  virtual size_t Write(unsigned char value) = 0;
  virtual size_t Write(short value) = 0;
  virtual size_t Write(unsigned short value) = 0;
  virtual size_t Write(int value) = 0;
  virtual size_t Write(unsigned int value) = 0;
  virtual size_t Write(long value) = 0;
  virtual size_t Write(unsigned long value) = 0;
  virtual size_t Write(float value) = 0;
  virtual size_t Write(double value) = 0;
  // A null pointer writes like an empty string.
  virtual size_t Write(const char* value) = 0;
  virtual size_t Write(const std::string& value) = 0;
  virtual size_t Write(const std::wstring& value) = 0;
  virtual size_t Write(char value) = 0;
  virtual size_t Write(bool value) = 0;
  // The codec's line end ("\n" for text, nothing for binary).
  virtual size_t WriteEndOfLine() = 0;
  // The codec's value separator (" " for text, nothing for binary).
  virtual size_t WriteSeparator() = 0;

  // Pushes buffered output to the target; false on failure or on a stream that cannot write.
  virtual bool Flush() = 0;
  // Releases the target (a FILE given by the caller stays open) and sets the direction to
  // Closed; false when the target reported a failure (status CloseError).
  virtual bool Close() = 0;
  // Releases the target as Close does, and the codec.
  virtual ~Stream() = default;

  // A wide literal would otherwise convert to bool.
  size_t Write(const wchar_t* value) = delete;
};

}  // namespace zu

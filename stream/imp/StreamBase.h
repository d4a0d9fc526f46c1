#pragma once

#include "stream/Codec.h"
#include "stream/Stream.h"

namespace zu {
namespace imp {

// What every stream shares: the codec that converts typed values, the direction, the sticky
// status and the report-errors flag. Concrete streams implement the byte transfer, the
// position, Flush, Close and Clone, and start every transfer with CanRead or CanWrite.
class StreamBase : public Stream {
 public:
  // A stream without a codec (empty pointer) still moves bytes; its typed operations log an
  // error and return 0.
  explicit StreamBase(CodecPtr codec);
  ~StreamBase() override;

  Error GetStatus() const final;
  void ClearStatus() final;
  bool HasError() const final;
  bool IsGood() const final;
  void EnableErrorMessages(bool enable) final;

  size_t Read(signed char& value) final;
  size_t Read(unsigned char& value) final;
  size_t Read(short& value) final;
  size_t Read(unsigned short& value) final;
  size_t Read(int& value) final;
  size_t Read(unsigned int& value) final;
  size_t Read(long& value) final;
  size_t Read(unsigned long& value) final;
  size_t Read(float& value) final;
  size_t Read(double& value) final;
  size_t Read(std::string& value) final;
  size_t Read(std::wstring& value) final;
  size_t Read(char& value) final;
  size_t Read(bool& value) final;
  size_t Write(signed char value) final;
  size_t Write(unsigned char value) final;
  size_t Write(short value) final;
  size_t Write(unsigned short value) final;
  size_t Write(int value) final;
  size_t Write(unsigned int value) final;
  size_t Write(long value) final;
  size_t Write(unsigned long value) final;
  size_t Write(float value) final;
  size_t Write(double value) final;
  size_t Write(const char* value) final;
  size_t Write(const std::string& value) final;
  size_t Write(const std::wstring& value) final;
  size_t Write(char value) final;
  size_t Write(bool value) final;
  size_t WriteEndOfLine() final;
  size_t WriteSeparator() final;
  using Stream::Write;

  // Logs the message of the current status as an Error ("ZUBASE"); statuses without a
  // message (NoError, EndOfStream) log nothing.
  virtual void DisplayErrorMessage();

 protected:
  // Records the status and, unless reporting is off, logs its message followed by the text
  // of systemError when the status is not NoError and systemError is not 0.
  void SetStatus(Error status, int systemError);
  // SetStatus with the calling thread's errno: for failures of a C library call. Callers
  // clear errno before that call, so that a number left over from an earlier call is not
  // reported as the cause.
  void SetStatus(Error status);
  // Logs the message of status, unless reporting is off, without recording it: for a failure
  // that the call's result reports and after which the stream goes on working (a position
  // query on a pipe, for example).
  void ReportFailure(Error status);

  // True when a read may go ahead: the status is good and the direction allows reading.
  // Sets WrongDirection (and returns false) when it does not.
  bool CanRead();
  // The same for writes and Flush.
  bool CanWrite();

  Direction GetDirection() const { return direction_; }
  void SetDirection(Direction direction) { direction_ = direction; }
  bool GetReportErrors() const { return reportErrors_; }
  // A clone of this stream's codec (empty when it has none).
  CodecPtr CloneCodec() const;

 private:
  size_t NoCodec();

  CodecPtr codec_;
  Direction direction_ = Closed;
  Error status_ = NoError;
  bool reportErrors_ = true;
};

}  // namespace imp
}  // namespace zu

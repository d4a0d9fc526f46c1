#include "stream/imp/StreamBase.h"

#include "base/System.h"
#include "output/Output.h"

namespace zu {
namespace imp {

StreamBase::StreamBase(CodecPtr codec) : codec_(std::move(codec)) {}

StreamBase::~StreamBase() = default;

Stream::Error StreamBase::GetStatus() const {
  return status_;
}

void StreamBase::ClearStatus() {
  status_ = NoError;
}

bool StreamBase::HasError() const {
  return status_ != NoError;
}

bool StreamBase::IsGood() const {
  return status_ == NoError;
}

void StreamBase::EnableErrorMessages(bool enable) {
  reportErrors_ = enable;
}

namespace {

// The message logged for a status; null for those that have none.
const char* MessageOf(Stream::Error status) {
  switch (status) {
    case Stream::OpenError:
      return "Error opening stream";
    case Stream::CloseError:
      return "Error closing stream";
    case Stream::WrongDirection:
      return "Error wrong stream direction";
    case Stream::ReadError:
      return "Error during read from stream";
    case Stream::WriteError:
      return "Error during write to stream";
    case Stream::PositionNotSupported:
      return "Set or get position of stream not supported";
    case Stream::NoError:
    case Stream::EndOfStream:
    default:
      return nullptr;
  }
}

}  // namespace

void StreamBase::SetStatus(Error status, int systemError) {
  status_ = status;
  if (!reportErrors_)
    return;
  DisplayErrorMessage();
  if (status != NoError && systemError != 0)
    ZU_ERROR("ZUBASE", zu::system::GetErrorMessage(systemError));
}

void StreamBase::SetStatus(Error status) {
  SetStatus(status, zu::system::GetLastError());
}

void StreamBase::ReportFailure(Error status) {
  if (!reportErrors_)
    return;
  if (const char* message = MessageOf(status))
    ZU_ERROR("ZUBASE", message);
}

void StreamBase::DisplayErrorMessage() {
  if (const char* message = MessageOf(status_))
    ZU_ERROR("ZUBASE", message);
}

bool StreamBase::CanRead() {
  if (status_ != NoError)
    return false;
  if (direction_ != ReadOnly && direction_ != ReadWrite) {
    SetStatus(WrongDirection, 0);
    return false;
  }
  return true;
}

bool StreamBase::CanWrite() {
  if (status_ != NoError)
    return false;
  if (direction_ != WriteOnly && direction_ != ReadWrite) {
    SetStatus(WrongDirection, 0);
    return false;
  }
  return true;
}

CodecPtr StreamBase::CloneCodec() const {
  return codec_ ? codec_->Clone() : CodecPtr();
}

size_t StreamBase::NoCodec() {
  if (reportErrors_)
    ZU_ERROR("ZUBASE", "Stream has no codec; typed values cannot be read or written");
  return 0;
}

// Every typed operation hands the value to the codec, which calls back ReadBytes/WriteBytes.
#define ZU_STREAM_FORWARD(call) \
  if (!codec_)                  \
    return NoCodec();           \
  return codec_->call;

size_t StreamBase::Read(signed char& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(unsigned char& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(short& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(unsigned short& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(int& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(unsigned int& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(long& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(unsigned long& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(float& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(double& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(std::string& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(std::wstring& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(char& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Read(bool& value){
    ZU_STREAM_FORWARD(Read(*this, value))} size_t StreamBase::Write(signed char value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(unsigned char value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(short value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(unsigned short value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(int value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(unsigned int value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(long value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(unsigned long value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(float value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(double value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(const char* value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(const std::string& value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(const std::wstring& value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(char value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::Write(bool value){
    ZU_STREAM_FORWARD(Write(*this, value))} size_t StreamBase::WriteEndOfLine(){
    ZU_STREAM_FORWARD(WriteEndOfLine(*this))} size_t StreamBase::WriteSeparator() {
  ZU_STREAM_FORWARD(WriteSeparator(*this))
}

#undef ZU_STREAM_FORWARD

}  // namespace imp
}  // namespace zu

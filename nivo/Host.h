#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "nivo/Channel.h"
#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

// Everything the client asks of the media-centre host it runs in: the log, notifications,
// whole files in the add-on's own paths, the transfer of records during a host request and
// the update triggers. One adapter per host API implements it and fills the host's records;
// the client never sees a host record. The client calls the transfers only from the host
// thread that handed it the request handle, the other functions from any thread.
class Host {
 public:
  // Host log levels.
  enum LogLevel { LogDebug = 0, LogInfo = 1, LogNotice = 2, LogError = 3 };
  // Kinds of user notifications.
  enum NotificationKind { NotifyInfo = 0, NotifyWarning = 1, NotifyError = 2 };

  virtual ~Host() = default;

  // Writes one line to the host log; a line longer than the host takes is handed over in
  // pieces, nothing is dropped.
  virtual void Log(int level, const std::string& text) = 0;
  // Shows the text to the user; a text longer than the host takes is cut.
  virtual void Notify(int kind, const std::string& text) = 0;

  // Reads the whole file into out. False, with out unchanged, when the file cannot be opened
  // (not logged: the caller knows what the file was for) or cannot be read whole (a read
  // error or fewer bytes than the host reported; logged as an error).
  virtual bool ReadFile(const std::string& path, std::string& out) = 0;
  // What became of a WriteFile.
  enum WriteResult {
    // Every byte was written.
    WriteDone,
    // The file could not be opened for writing; it is as it was.
    WriteNotOpened,
    // Not every byte could be written. The file is deleted, so that no later read finds it cut
    // short.
    WriteCutShort
  };
  // Replaces the file with data; written receives the number of bytes written. Logs nothing:
  // the caller reports a failure, knowing what the file was for.
  virtual WriteResult WriteFile(const std::string& path, const std::string& data,
                                size_t& written) = 0;

  // Hands one record to the host request identified by handle; the host copies it before
  // the call returns. Texts too long for the host's fields are cut on a character boundary.
  virtual void TransferChannel(void* handle, const Channel& channel,
                               const std::string& iconPath) = 0;
  virtual void TransferChannelGroup(void* handle, const std::string& name, bool isRadio) = 0;
  virtual void TransferChannelGroupMember(void* handle, const std::string& group, unsigned int uid,
                                          unsigned int number) = 0;
  virtual void TransferEpgEntry(void* handle, const TVShow& show, unsigned int channelNumber) = 0;

  // Asks the host to request the guide of the channel again.
  virtual void TriggerEpgUpdate(unsigned int uid) = 0;
  // Asks the host to request the timers again.
  virtual void TriggerTimerUpdate() = 0;
};

// What ReadWholeFile got.
enum class WholeFileRead {
  // Every byte of the file.
  Done,
  // A read failed.
  Failed,
  // Fewer bytes than the host reported.
  CutShort
};

// For the hosts' ReadFile: reads a whole file into data through read, which reads at most size
// bytes into buffer and returns how many (0 at the end of the file, negative on failure).
// length is the file's length as the host reports it, negative when it does not know; the
// pieces are no larger than it and the memory reserved ahead is bounded, so a bogus length
// costs no memory. data holds what was read, also when that was not all.
WholeFileRead ReadWholeFile(int64_t length, const std::function<ssize_t(char*, size_t)>& read,
                            std::string& data);

}  // namespace nivo
}  // namespace zu

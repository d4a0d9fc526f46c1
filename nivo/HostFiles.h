#pragma once

#include <atomic>
#include <string>

#include "nivo/FailureRun.h"

namespace zu {
namespace nivo {

class Host;

// Whole files in the add-on's own paths (caches, logos, shipped files), read and written
// through the host's file functions. The user hears of the first file that cannot be written
// in the client's life as an Error; every later one is a Warning (see FailureRun). Any thread
// may call any member.
class HostFiles {
 public:
  // host is not owned and must stay usable until Release.
  explicit HostFiles(Host& host);

  HostFiles(const HostFiles&) = delete;
  HostFiles& operator=(const HostFiles&) = delete;

  // Reads the whole file into data. False, with data unchanged, when it cannot be read;
  // logs a Warning "Unable to open file '<path>'".
  bool LoadData(const std::string& path, std::string& data);
  // Replaces the file with data; false when it cannot be written, which is logged naming the
  // path. A file written in part is deleted by the host.
  bool SaveData(const std::string& path, const std::string& data);

  // Lets go of the host: from now on every read and write fails (reads with the Warning,
  // writes silently). A call running on another thread may still reach the host.
  void Release();

 private:
  std::atomic<Host*> host_;
  FailureRun writeFailures_;
};

}  // namespace nivo
}  // namespace zu

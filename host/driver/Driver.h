#pragma once

#include <ostream>

#include "host/driver/DriverOptions.h"

namespace zu {
namespace host {

// Exit codes of nivotv-host.
enum DriverExit {
  kExitSuccess = 0,
  kExitLoadFailed = 1,  // no loadable add-on, or ADDON_Create refused
  kExitUsage = 2,       // a bad command line
  kExitCallFailed = 3   // the add-on answered a call with an error, or a session missed its goal
};

// Loads the add-on as options say, runs the command, unloads, and returns the exit code. The
// result goes to out (readable tables, or one JSON document with --json); the host log path,
// failures and the add-on's notifications go to err. addonFolder and hostBase must be set.
int RunDriver(const DriverOptions& options, std::ostream& out, std::ostream& err);

}  // namespace host
}  // namespace zu

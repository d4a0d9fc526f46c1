#pragma once

#include <chrono>
#include <ctime>
#include <ostream>
#include <vector>

#include "host/StandInHost.h"
#include "host/driver/DriverOptions.h"
#include "host/driver/Formatting.h"

namespace zu {
namespace host {

// What every command of nivotv-host works with.
struct DriverContext {
  const DriverOptions& options;
  StandInHost& host;
  std::ostream& out;
  std::ostream& err;
  // The --json document; the command adds its members.
  Json document;
  // When the driver began loading the add-on, and how long the load took.
  std::chrono::steady_clock::time_point started;
  double loadSeconds = 0;
  // Set by a command that ran ADDON_Destroy itself; the driver then does not call it again.
  bool destroyed = false;
};

// Tells the user about an error answer of a call; the exit code to use.
int Answer(DriverContext& context, const char* call, int result);
// All channels, TV first, radio (also in radio) after them; false after telling the user when
// the add-on answered both lists with an error.
bool AllChannels(DriverContext& context, std::vector<Channel>& all, std::vector<Channel>& radio);
// The start of the guide window: --from, or now.
time_t WindowStart(const DriverOptions& options);

// The session command (Session.cpp).
int RunSession(DriverContext& context);

}  // namespace host
}  // namespace zu

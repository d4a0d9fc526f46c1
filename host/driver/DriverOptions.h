#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace zu {
namespace host {

// The command line of nivotv-host.
struct DriverOptions {
  std::string command;  // status, channels, groups, members, guide, timers, signal, session
  std::vector<std::string> arguments;  // the command's positional arguments
  std::string addonFolder;             // --addon
  std::string userPath;                // --user; empty: a fresh temporary directory
  std::string hostBase;                // --hostbase
  std::string logPath;                 // --log; empty: inside the user path
  bool json = false;                   // --json
  bool radio = false;                  // --radio
  bool haveFrom = false;               // --from given
  time_t from = 0;                     // --from <epoch seconds>
  long hours = 24;                     // --hours N: the guide window
  long duration = 60;                  // --duration S: how long a session answers triggers
  long triggers = 0;  // --triggers N: a session ends after N answered (0: no limit)
};

// The usage text, one command or option per line.
std::string DriverUsage();

// Parses argv (argv[0] is the program). Options may stand anywhere after the command; "--"
// makes all further words positional. False, with a readable reason in error, for a missing
// or unknown command, an unknown option, an option without its value, a number that is not
// a whole number in range, or a command given the wrong number of arguments.
bool ParseDriverOptions(int argc, const char* const* argv, DriverOptions& options,
                        std::string& error);

}  // namespace host
}  // namespace zu

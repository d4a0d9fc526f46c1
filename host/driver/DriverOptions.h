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
  long hours = 24;                     // --hours N, or --days N as 24 * N: the guide window
  long days = 0;                       // --days N given (0: not given)
  long duration = 60;  // --duration S: how long a session answers triggers (0: it does not)
  long triggers = 0;   // --triggers N: a session ends after N answered (0: no limit)
  // --guide-channels N: a session asks for the guide of the first N TV channels only (by
  // number), for measurements of a session of that size; 0: every channel, as the host does.
  long guideChannels = 0;
  // --channel <uid or name>, repeatable: the channels a session shows (all when empty). The
  // session still asks for the guide of every channel, as the host does.
  std::vector<std::string> channels;
  // --provider <host:port>: the sample provider (a loopback address), asked for the requests
  // it received; empty: the session counts requests from the host log.
  std::string provider;
  // --json-out <file>: a session also writes its JSON document there (with readable output).
  std::string jsonOut;
  // Not an option: set by the program when standard output is a terminal, so that progress
  // is one line redrawn in place instead of plain lines.
  bool terminal = false;
  // Not an option: the terminal's width in columns, 0 when unknown.
  int columns = 0;
};

// The usage text, one command or option per line.
std::string DriverUsage();

// Splits "host:port" of --provider; false unless host is a loopback address (127.0.0.0/8 or
// "localhost") and port a number from 1 to 65535.
bool SplitProviderAddress(const std::string& text, std::string& host, unsigned short& port);

// Parses argv (argv[0] is the program). Options may stand anywhere after the command; "--"
// makes all further words positional. False, with a readable reason in error, for a missing
// or unknown command, an unknown option, an option without its value, a number that is not
// a whole number in range, or a command given the wrong number of arguments.
bool ParseDriverOptions(int argc, const char* const* argv, DriverOptions& options,
                        std::string& error);

}  // namespace host
}  // namespace zu

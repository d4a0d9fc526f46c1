#include "host/driver/DriverOptions.h"

#include <cerrno>
#include <cstdlib>
#include <set>

namespace zu {
namespace host {
namespace {

// A whole decimal number within [minimum, maximum], nothing else around it.
bool ToNumber(const std::string& text, long long minimum, long long maximum, long long& value) {
  if (text.empty() || text.size() > 20)
    return false;
  errno = 0;
  char* rest = nullptr;
  long long parsed = strtoll(text.c_str(), &rest, 10);
  if (errno != 0 || *rest != '\0' || parsed < minimum || parsed > maximum)
    return false;
  value = parsed;
  return true;
}

bool CheckTimerSteps(const std::vector<std::string>& words, std::string& error) {
  long long number = 0;
  for (size_t i = 0; i < words.size();) {
    const std::string& step = words[i];
    size_t needed = step == "add" || step == "update" ? 2 : step == "delete" ? 1 : 0;
    if (step != "add" && step != "update" && step != "delete" && step != "list") {
      error = "timers: unknown step \"" + step + "\" (add, delete, update, list)";
      return false;
    }
    if (needed > 0 && i + needed >= words.size()) {
      error = "timers: " + step + " needs " + std::to_string(needed) + " argument" +
              (needed == 1 ? "" : "s");
      return false;
    }
    if (needed > 0) {
      const std::string& numberText = step == "add" ? words[i + 2] : words[i + 1];
      if (!ToNumber(numberText, 0, 4294967295LL, number)) {
        error = "timers: " + step + ": \"" + numberText + "\" is not a " +
                (step == "add" ? "channel uid" : "timer index");
        return false;
      }
    }
    i += needed + 1;
  }
  return true;
}

}  // namespace

std::string DriverUsage() {
  return "usage: nivotv-host <command> [arguments] [options]\n"
         "commands:\n"
         "  status                          add-on status, capabilities and backend texts\n"
         "  channels [--radio]              the TV (or radio) channels\n"
         "  groups [--radio]                the TV (or radio) channel groups\n"
         "  members <group> [--radio]       the channels of a group\n"
         "  guide <channel-uid> [--from <epoch>] [--hours N | --days N]\n"
         "                                  the guide of a channel for a window\n"
         "  timers <step>...                timer steps in order, in one session:\n"
         "                                  add <title> <channel-uid>, delete <index>,\n"
         "                                  update <index> <title>, list (the default)\n"
         "  signal                          the signal status\n"
         "  session [--days N | --hours N] [--from <epoch>] [--duration S] [--triggers N]\n"
         "          [--channel <uid or name>]... [--provider <host:port>]\n"
         "                                  behave like the host: load the channels, show\n"
         "                                  them with what is on now and next, ask for every\n"
         "                                  guide, answer guide refresh triggers for S seconds\n"
         "                                  (0: none) or until N were answered, show a coming\n"
         "                                  show's details, shut down and sum up\n"
         "options:\n"
         "  --addon <folder>    the add-on folder (default: the built package)\n"
         "  --user <dir>        the user data path (default: a fresh temporary directory)\n"
         "  --hostbase <dir>    the helper library base directory (default: the built one)\n"
         "  --log <file>        the host log (default: host.log in the user data path)\n"
         "  --days N            the guide window: N days from --from (or now)\n"
         "  --channel <c>       session: show only this channel (uid or name; repeatable)\n"
         "  --provider <h:p>    session: the sample provider to ask for the requests it got\n"
         "  --json-out <file>   session: also write the JSON document to the file\n"
         "  --guide-channels N  session: ask for the guide of the first N TV channels only\n"
         "  --json              JSON output instead of tables\n";
}

bool SplitProviderAddress(const std::string& text, std::string& host, unsigned short& port) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0)
    return false;
  std::string name = text.substr(0, colon);
  long long number = 0;
  if (!ToNumber(text.substr(colon + 1), 1, 65535, number))
    return false;
  if (name != "localhost") {
    // A dotted IPv4 address of the loopback network, four numbers from 0 to 255.
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t dot = name.find('.');; dot = name.find('.', start)) {
      parts.push_back(
          name.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
      if (dot == std::string::npos)
        break;
      start = dot + 1;
    }
    long long part = 0;
    if (parts.size() != 4 || parts[0] != "127")
      return false;
    for (const std::string& each : parts) {
      if (each.empty() || each.find_first_not_of("0123456789") != std::string::npos ||
          !ToNumber(each, 0, 255, part))
        return false;
    }
  }
  host = name;
  port = static_cast<unsigned short>(number);
  return true;
}

bool ParseDriverOptions(int argc, const char* const* argv, DriverOptions& options,
                        std::string& error) {
  static const std::set<std::string> commands = {"status", "channels", "groups", "members",
                                                 "guide",  "timers",   "signal", "session"};
  error.clear();
  bool positionalOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i] != nullptr ? argv[i] : "";
    if (positionalOnly || word.size() < 2 || word.compare(0, 2, "--") != 0) {
      if (options.command.empty())
        options.command = word;
      else
        options.arguments.push_back(word);
      continue;
    }
    if (word == "--") {
      positionalOnly = true;
      continue;
    }
    if (word == "--json") {
      options.json = true;
      continue;
    }
    if (word == "--radio") {
      options.radio = true;
      continue;
    }
    static const std::set<std::string> valued = {
        "--addon",    "--user",     "--hostbase",      "--log",  "--from",
        "--hours",    "--duration", "--triggers",      "--days", "--channel",
        "--provider", "--json-out", "--guide-channels"};
    if (valued.count(word) == 0) {
      error = "unknown option " + word;
      return false;
    }
    if (i + 1 >= argc || argv[i + 1] == nullptr) {
      error = "the option " + word + " needs a value";
      return false;
    }
    std::string value = argv[++i];
    if (value.size() > 2 && value.compare(0, 2, "--") == 0) {
      error = "the option " + word + " needs a value, not the option " + value;
      return false;
    }
    long long number = 0;
    if (word == "--addon") {
      options.addonFolder = value;
    } else if (word == "--user") {
      options.userPath = value;
    } else if (word == "--hostbase") {
      options.hostBase = value;
    } else if (word == "--log") {
      options.logPath = value;
    } else if (word == "--from") {
      if (!ToNumber(value, 0, 253402300799LL, number)) {
        error = "--from needs seconds since 1970, not \"" + value + "\"";
        return false;
      }
      options.haveFrom = true;
      options.from = static_cast<time_t>(number);
    } else if (word == "--hours") {
      if (!ToNumber(value, 1, 24 * 366, number)) {
        error = "--hours needs a whole number from 1 to 8784, not \"" + value + "\"";
        return false;
      }
      options.hours = static_cast<long>(number);
      options.days = 0;
    } else if (word == "--days") {
      if (!ToNumber(value, 1, 366, number)) {
        error = "--days needs a whole number from 1 to 366, not \"" + value + "\"";
        return false;
      }
      options.days = static_cast<long>(number);
      options.hours = static_cast<long>(number) * 24;
    } else if (word == "--channel") {
      if (value.empty()) {
        error = "the option --channel needs a channel uid or name";
        return false;
      }
      options.channels.push_back(value);
    } else if (word == "--provider") {
      std::string host;
      unsigned short port = 0;
      if (!SplitProviderAddress(value, host, port)) {
        error = "--provider needs a loopback address and port such as 127.0.0.1:8080, not \"" +
                value + "\"";
        return false;
      }
      options.provider = value;
    } else if (word == "--json-out") {
      if (value.empty()) {
        error = "the option --json-out needs a file name";
        return false;
      }
      options.jsonOut = value;
    } else if (word == "--duration") {
      if (!ToNumber(value, 0, 7 * 24 * 3600, number)) {
        error = "--duration needs whole seconds from 0 to 604800, not \"" + value + "\"";
        return false;
      }
      options.duration = static_cast<long>(number);
    } else if (word == "--guide-channels") {
      if (!ToNumber(value, 1, 1000000, number)) {
        error = "--guide-channels needs a whole number from 1 to 1000000, not \"" + value + "\"";
        return false;
      }
      options.guideChannels = static_cast<long>(number);
    } else if (word == "--triggers") {
      if (!ToNumber(value, 1, 1000000, number)) {
        error = "--triggers needs a whole number from 1 to 1000000, not \"" + value + "\"";
        return false;
      }
      options.triggers = static_cast<long>(number);
    }
    if (value.empty() && (word == "--addon" || word == "--hostbase" || word == "--log")) {
      error = "the option " + word + " needs a non-empty value";
      return false;
    }
  }

  if (options.command.empty()) {
    error = "no command given";
    return false;
  }
  if (commands.count(options.command) == 0) {
    error = "unknown command \"" + options.command + "\"";
    return false;
  }
  if (options.command != "session" &&
      (!options.channels.empty() || !options.provider.empty() || !options.jsonOut.empty())) {
    error = std::string(!options.channels.empty()   ? "--channel"
                        : !options.provider.empty() ? "--provider"
                                                    : "--json-out") +
            " is an option of the session command";
    return false;
  }
  const std::vector<std::string>& arguments = options.arguments;
  long long number = 0;
  if (options.command == "members") {
    if (arguments.size() != 1) {
      error = "members needs exactly one group name";
      return false;
    }
  } else if (options.command == "guide") {
    if (arguments.size() != 1 || !ToNumber(arguments[0], 0, 4294967295LL, number)) {
      error = "guide needs one channel uid (a whole number)";
      return false;
    }
  } else if (options.command == "timers") {
    return CheckTimerSteps(arguments, error);
  } else if (!arguments.empty()) {
    error = options.command + " takes no arguments (\"" + arguments[0] + "\" given)";
    return false;
  }
  return true;
}

}  // namespace host
}  // namespace zu

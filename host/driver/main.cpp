// nivotv-host: loads a PVR add-on in the stand-in host and runs one command against it.

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <sstream>

#include "host/driver/Driver.h"
#include "host/driver/DriverOptions.h"

int main(int argc, char** argv) {
  zu::host::DriverOptions options;
  std::string error;
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << zu::host::DriverUsage();
    return zu::host::kExitSuccess;
  }
  if (!zu::host::ParseDriverOptions(argc, argv, options, error)) {
    std::cerr << "nivotv-host: " << error << "\n" << zu::host::DriverUsage();
    return zu::host::kExitUsage;
  }
  // The build places the add-on package and the helper libraries next to this program.
  if (options.addonFolder.empty())
    options.addonFolder = ZU_DEFAULT_ADDON_FOLDER;
  if (options.hostBase.empty())
    options.hostBase = ZU_DEFAULT_HOST_BASE;
  options.terminal = isatty(STDOUT_FILENO) == 1;
  struct winsize size {};
  if (options.terminal && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0)
    options.columns = size.ws_col;
  if (!options.json)
    return zu::host::RunDriver(options, std::cout, std::cerr);

  // The add-on writes to standard output itself while it is not bound to the host (at its
  // creation and destruction); so that standard output holds the JSON document alone, whatever
  // reaches it during the run goes to standard error, and the document follows at the end.
  std::cout.flush();
  fflush(stdout);
  int document = dup(STDOUT_FILENO);
  if (document < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
    return zu::host::RunDriver(options, std::cout, std::cerr);
  std::ostringstream out;
  int exit = zu::host::RunDriver(options, out, std::cerr);
  std::cout.flush();
  fflush(stdout);
  const std::string text = out.str();
  for (size_t written = 0; written < text.size();) {
    ssize_t n = write(document, text.data() + written, text.size() - written);
    if (n <= 0)
      break;
    written += static_cast<size_t>(n);
  }
  close(document);
  return exit;
}

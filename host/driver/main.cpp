// nivotv-host: loads a PVR add-on in the stand-in host and runs one command against it.

#include <iostream>

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
  return zu::host::RunDriver(options, std::cout, std::cerr);
}

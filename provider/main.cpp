// nivotv-provider: serves the sample NivoTV documents on a loopback address until SIGINT or
// SIGTERM. The first line on standard output is "listening HOST:PORT".

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "provider/Catalogue.h"
#include "provider/Faults.h"
#include "provider/SampleProvider.h"

namespace {

using zu::provider::Catalogue;
using zu::provider::Endpoint;
using zu::provider::FaultRule;
using zu::provider::SampleProvider;
using zu::provider::Transfer;

const char kUsage[] =
    "usage: nivotv-provider [options]\n"
    "  --host ADDRESS        loopback address to bind (default 127.0.0.1)\n"
    "  --port N              port, 0 for any free one (default 0)\n"
    "  --catalogue DIR       directory holding catalogue.json (default: the source tree's\n"
    "                        data/sample-provider, found from the executable's location)\n"
    "  --stations N          serve N generated TV stations instead of the catalogue\n"
    "  --radio N             also serve N generated radio stations at /radio.m3u\n"
    "  --fault RULE          ENDPOINT=KIND[:STATUS][,skip=N][,times=N][,bytes=N][,interval=MS]\n"
    "                        kinds: hang http empty malformed wrong-types drip reset\n"
    "                        truncated-gzip corrupt-gzip huge; ENDPOINT may be *\n"
    "  --transfer FORM       ENDPOINT=length|chunked|close[{+|-}MODIFIER...], modifiers:\n"
    "                        gzip, latin1 (text documents in Windows-1252),\n"
    "                        lower-case-headers (response header names in lower case)\n"
    "  --quirk NAME          documents as real services send them: control-characters\n"
    "                        (a TAB or 0x01 in some station names and show titles),\n"
    "                        unusable-show-ids (the first six shows of a list have ids\n"
    "                        \"abc\" \"x-1\" \"\" \"-5\" \"0\" and 25 digits), moved-show (one\n"
    "                        show a day ends 10 minutes later, its successor starts then)\n"
    "  --stream-file FILE    an MPEG transport stream every stream URL serves without end\n"
    "  --offline             start with the listener closed (see POST /_control/offline)\n"
    "  --log-requests        log every request on standard error\n"
    "endpoints: headerinfo stations playlist-fta playlist-plus playlist-all shows details\n"
    "           logos streams images radio\n"
    "exports (GET): /export/playlist.m3u  /export/xmltv.xml[?days=N&past=N] (M3U and XMLTV\n"
    "               of the catalogue for IPTV clients; guide from past days before now to\n"
    "               days after it, defaults 1 and 3)\n"
    "control (POST): /_control/fault?endpoint=E&kind=K[&status=&skip=&times=&bytes=&interval=]\n"
    "                /_control/clear  /_control/transfer?endpoint=E&framing=F[&gzip=on|off]\n"
    "                [&latin1=on|off][&lower-case-headers=on|off]\n"
    "                /_control/quirk?name=NAME[&state=on|off]\n"
    "                /_control/offline?seconds=N  /_control/requests/clear\n"
    "         (GET)  /_control/requests\n";

bool ParseCount(const std::string& text, unsigned long max, unsigned long& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
      text.size() > 9) {
    return false;
  }
  value = std::strtoul(text.c_str(), nullptr, 10);
  return value <= max;
}

std::string ExecutableDirectory() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) {
    return ".";
  }
  std::string text(path, static_cast<std::size_t>(length));
  std::size_t slash = text.rfind('/');
  return slash == std::string::npos ? "." : text.substr(0, slash);
}

// The sample catalogue next to the executable or in a parent directory (build trees live
// inside or beside the source tree), else the source tree this program was built from.
std::string FindCatalogueDirectory() {
  std::string directory = ExecutableDirectory();
  for (int level = 0; level < 6; ++level) {
    std::string candidate = directory + "/data/sample-provider";
    if (access((candidate + "/catalogue.json").c_str(), R_OK) == 0) {
      return candidate;
    }
    std::size_t slash = directory.rfind('/');
    if (slash == std::string::npos || slash == 0) {
      break;
    }
    directory.erase(slash);
  }
  return Catalogue::SourceDirectory();
}

int Fail(const std::string& text) {
  std::cerr << "nivotv-provider: " << text << std::endl;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  SampleProvider::Options options;
  std::string catalogueDirectory;
  unsigned long stations = 0, radio = 0;
  bool offline = false;
  std::vector<std::pair<std::vector<Endpoint>, FaultRule>> faults;
  std::vector<std::pair<std::vector<Endpoint>, Transfer>> transfers;
  std::vector<zu::provider::Quirk> quirks;

  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    bool hasValue = i + 1 < argc;
    std::string value = hasValue ? argv[i + 1] : std::string();
    unsigned long number = 0;
    std::string error;
    if (option == "--help" || option == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (option == "--offline") {
      offline = true;
      continue;
    } else if (option == "--log-requests") {
      options.logRequests = true;
      continue;
    } else if (!hasValue) {
      return Fail("option '" + option + "' needs a value or is unknown\n" + kUsage);
    } else if (option == "--host") {
      options.host = value;
    } else if (option == "--port") {
      if (!ParseCount(value, 65535, number)) {
        return Fail("bad port '" + value + "'");
      }
      options.port = static_cast<std::uint16_t>(number);
    } else if (option == "--catalogue") {
      catalogueDirectory = value;
    } else if (option == "--stations") {
      if (!ParseCount(value, Catalogue::kMaxStations, number) || number == 0) {
        return Fail("--stations takes 1.." + std::to_string(Catalogue::kMaxStations));
      }
      stations = number;
    } else if (option == "--radio") {
      if (!ParseCount(value, 100000, number)) {
        return Fail("--radio takes 0..100000");
      }
      radio = number;
    } else if (option == "--fault") {
      std::vector<Endpoint> endpoints;
      FaultRule rule;
      if (!zu::provider::ParseFaultOption(value, endpoints, rule, error)) {
        return Fail(error);
      }
      faults.emplace_back(endpoints, rule);
    } else if (option == "--transfer") {
      std::vector<Endpoint> endpoints;
      Transfer transfer;
      if (!zu::provider::ParseTransferOption(value, endpoints, transfer, error)) {
        return Fail(error);
      }
      transfers.emplace_back(endpoints, transfer);
    } else if (option == "--quirk") {
      zu::provider::Quirk quirk;
      if (!zu::provider::ParseQuirk(value, quirk)) {
        return Fail("unknown quirk '" + value + "'");
      }
      quirks.push_back(quirk);
    } else if (option == "--stream-file") {
      options.streamFile = value;
    } else {
      return Fail("unknown option '" + option + "'\n" + kUsage);
    }
    ++i;
  }

  Catalogue catalogue;
  std::string error;
  if (stations > 0) {
    if (!Catalogue::Generate(stations, radio, catalogue, error)) {
      return Fail(error);
    }
  } else {
    if (catalogueDirectory.empty()) {
      catalogueDirectory = FindCatalogueDirectory();
    }
    if (!Catalogue::Load(catalogueDirectory, catalogue, error) ||
        !catalogue.GenerateRadio(radio, error)) {
      return Fail(error);
    }
  }

  // Signals are taken synchronously by this thread; the server threads inherit the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  SampleProvider provider(std::move(catalogue), options);
  for (const auto& fault : faults) {
    for (Endpoint endpoint : fault.first) {
      provider.SetFault(endpoint, fault.second);
    }
  }
  for (const auto& transfer : transfers) {
    for (Endpoint endpoint : transfer.first) {
      provider.SetTransfer(endpoint, transfer.second);
    }
  }
  for (zu::provider::Quirk quirk : quirks) {
    provider.SetQuirk(quirk, true);
  }
  if (!provider.Start()) {
    return 1;
  }
  if (offline) {
    provider.SetOffline(true);
  }
  std::string host = options.host == "localhost" ? "127.0.0.1" : options.host;
  std::printf("listening %s:%u\n", host.c_str(), static_cast<unsigned>(provider.Port()));
  std::fflush(stdout);

  int received = 0;
  sigwait(&signals, &received);
  provider.Stop();
  return 0;
}

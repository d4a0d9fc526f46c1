#include "nivo/Endpoints.h"

#include <cstdlib>

#include "nivo/FailureRun.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

// The provider's hosts as shipped. Development and tests point the add-on elsewhere through
// the environment.
const char* const kServiceHost = "service.nivotv.example";
const char* const kGuideHost = "gateway.nivotv.example";

// The variables are read at every request; a bad value is an Error once in the process (the
// run never ends), a Warning at every later request.
Endpoint FromEnvironment(const char* variable, const char* fallback, FailureRun& badValue) {
  Endpoint endpoint;
  endpoint.host = fallback;
  const char* value = std::getenv(variable);
  if (value != nullptr && *value != '\0' && !ParseEndpoint(value, endpoint)) {
    ZU_RUN_FAILURE(
        &badValue, "NivoTV",
        std::string("Ignoring ") + variable + "='" + value + "': expected host or host:port");
  }
  return endpoint;
}

}  // namespace

bool ParseEndpoint(const std::string& text, Endpoint& endpoint) {
  const std::string::size_type colon = text.rfind(':');
  std::string host = text;
  unsigned long port = 80;
  if (colon != std::string::npos) {
    host = text.substr(0, colon);
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    port = std::strtoul(digits.c_str(), nullptr, 10);
    if (port == 0 || port > 65535)
      return false;
  }
  if (host.empty())
    return false;
  endpoint.host = host;
  endpoint.port = static_cast<unsigned short>(port);
  return true;
}

Endpoint GetServiceEndpoint() {
  static FailureRun badValue;
  return FromEnvironment("NIVOTV_SERVICE_HOST", kServiceHost, badValue);
}

Endpoint GetGuideEndpoint() {
  static FailureRun badValue;
  return FromEnvironment("NIVOTV_GUIDE_HOST", kGuideHost, badValue);
}

}  // namespace nivo
}  // namespace zu

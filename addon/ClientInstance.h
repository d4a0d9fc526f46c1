#pragma once

#include <cxxabi.h>

#include <exception>
#include <string>

#include "output/Output.h"

namespace zu {
namespace nivo {

class NivoTVClient;

// The one client of the process, read first by every exported and PVR function; null
// without one. Set only at the end of ADDON_Create and cleared by ADDON_Stop and
// ADDON_Destroy; the host calls nothing concurrently with those three.
NivoTVClient* GetClientInstance();
void SetClientInstance(NivoTVClient* client);

// Runs work at the boundary to the host, which must never see an exception: one that
// escapes is logged as an Error of module "NivoTV" under the given function signature, and
// failure is answered instead. A thread cancellation still unwinds.
template <class Result, class Work>
Result CallGuarded(const char* signature, Result failure, Work work) {
  try {
    return work();
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (const std::exception& exception) {
    output::Error("NivoTV", signature, __LINE__, "%s",
                  (std::string("Received exception: ") + exception.what()).c_str());
  } catch (...) {
    output::Error("NivoTV", signature, __LINE__, "%s", "Received unknown exception");
  }
  return failure;
}

}  // namespace nivo
}  // namespace zu

#pragma once

#include <cxxabi.h>

#include <exception>
#include <string>

#include "output/Output.h"

namespace zu {
namespace nivo {

// Runs work at a boundary to the host, which must never see an exception: one that escapes
// is logged as an Error of module "NivoTV" under the given function name ("Received
// exception: " and its text, or "Received unknown exception"), and failure is answered
// instead. A thread cancellation still unwinds. Both add-ons guard every entry point that
// reaches the client with it.
template <class Result, class Work>
Result CallGuarded(const char* function, Result failure, Work work) {
  try {
    return work();
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (const std::exception& exception) {
    output::Error("NivoTV", function, __LINE__, "%s",
                  (std::string("Received exception: ") + exception.what()).c_str());
  } catch (...) {
    output::Error("NivoTV", function, __LINE__, "%s", "Received unknown exception");
  }
  return failure;
}

}  // namespace nivo
}  // namespace zu

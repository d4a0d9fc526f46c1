#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "output/Output.h"

namespace zu {
namespace fuzz {

namespace {

class NoTarget : public output::PrintTarget {
 public:
  void Print(const char*) override {}
};

}  // namespace

void QuietOutput() {
  static const bool quiet = [] {
    output::SetOuputTarget(std::make_shared<NoTarget>());
    return true;
  }();
  (void)quiet;
}

void Fail(const char* target, const std::string& what) {
  std::fprintf(stderr, "fuzz target %s: %s\n", target, what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz
}  // namespace zu

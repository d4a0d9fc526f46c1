#include "addon/imp/HelperLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "addon/HostApi.h"

namespace zu {
namespace nivo {
namespace imp {

namespace {

const char* LoaderError(const char* fallback) {
  const char* reason = dlerror();
  return reason != nullptr ? reason : fallback;
}

}  // namespace

void* OpenHelperLibrary(void* addonHandle, const char* relativePath) {
  const AddonCB* callbacks = static_cast<const AddonCB*>(addonHandle);
  if (callbacks == nullptr || callbacks->libBasePath == nullptr) {
    fprintf(stderr, "Unable to load %s\n", "the host gave no helper library base path");
    return nullptr;
  }
  const std::string path = std::string(callbacks->libBasePath) + relativePath;
  dlerror();
  void* library = dlopen(path.c_str(), RTLD_LAZY);
  if (library == nullptr)
    fprintf(stderr, "Unable to load %s\n", LoaderError(path.c_str()));
  return library;
}

bool ResolveHelperFunction(void* library, const char* name, void*& address) {
  dlerror();
  address = dlsym(library, name);
  if (address == nullptr) {
    fprintf(stderr, "Unable to assign function %s\n", LoaderError(name));
    return false;
  }
  return true;
}

void CloseHelperLibrary(void* library) {
  if (library != nullptr)
    dlclose(library);
}

}  // namespace imp
}  // namespace nivo
}  // namespace zu

#pragma once

namespace zu {
namespace nivo {
namespace imp {

// Loading of the host's helper libraries, shared by the two bindings. Failures are printed
// to standard error as the host expects, since the log may not be routed anywhere yet.

// Opens (lazy binding) the helper library at the base path of the add-on handle (an AddonCB*)
// followed by relativePath. Null, after "Unable to load <reason>\n", when it cannot be opened.
void* OpenHelperLibrary(void* addonHandle, const char* relativePath);

// Looks the function up; false, after "Unable to assign function <reason>\n", when missing.
bool ResolveHelperFunction(void* library, const char* name, void*& address);

template <class Function>
bool ResolveHelperFunction(void* library, const char* name, Function& function) {
  void* address = nullptr;
  if (!ResolveHelperFunction(library, name, address))
    return false;
  function = reinterpret_cast<Function>(address);
  return true;
}

// Closes a library opened by OpenHelperLibrary; null is ignored.
void CloseHelperLibrary(void* library);

}  // namespace imp
}  // namespace nivo
}  // namespace zu

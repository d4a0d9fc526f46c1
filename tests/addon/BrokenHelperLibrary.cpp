// An add-on helper library that lacks most of the host interface: it has the registration
// functions but no XBMC_log, the third function an add-on resolves.

#define BROKEN_EXPORT extern "C" __attribute__((visibility("default")))

BROKEN_EXPORT void* XBMC_register_me(void*) {
  static int callbacks;
  return &callbacks;
}

BROKEN_EXPORT void XBMC_unregister_me(void*, void*) {}

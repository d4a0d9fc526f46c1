// The entry of the Kodi 20 add-on: Kodi loads the library, creates the add-on object through
// ADDONCREATOR and asks it for the PVR instance.

#include <atomic>

#include <kodi/AddonBase.h>
#include <kodi/addon-instance/PVR.h>

#include "kodi20/Kodi20Client.h"

namespace zu {
namespace kodi20 {

namespace {

// The client core routes the process's diagnostics output to its host, so one instance at a
// time is all the library can serve.
std::atomic<bool> instanceAlive{false};

class CountedClient : public Kodi20Client {
 public:
  using Kodi20Client::Kodi20Client;
  ~CountedClient() override { instanceAlive = false; }
};

}  // namespace

class Kodi20Addon : public kodi::addon::CAddonBase {
 public:
  Kodi20Addon() = default;

  ADDON_STATUS CreateInstance(const kodi::addon::IInstanceInfo& instance,
                              KODI_ADDON_INSTANCE_HDL& handle) override {
    if (!instance.IsType(ADDON_INSTANCE_PVR))
      return ADDON_STATUS_UNKNOWN;
    if (instanceAlive.exchange(true)) {
      kodi::Log(ADDON_LOG_ERROR, "NivoTV serves one PVR instance only; another one is refused");
      return ADDON_STATUS_PERMANENT_FAILURE;
    }
    try {
      // Kodi owns the instance from here and deletes it when it is done with it.
      handle = new CountedClient(instance);
      return ADDON_STATUS_OK;
    } catch (const std::exception& e) {
      instanceAlive = false;
      kodi::Log(ADDON_LOG_ERROR, "Received exception: %s", e.what());
      return ADDON_STATUS_PERMANENT_FAILURE;
    }
  }
};

}  // namespace kodi20
}  // namespace zu

ADDONCREATOR(zu::kodi20::Kodi20Addon)

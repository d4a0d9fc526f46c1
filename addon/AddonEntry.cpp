// The add-on's exported entry points: creation and destruction of the one client, its
// status, and the settings functions of an add-on that has no settings.

#include <atomic>

#include "addon/ClientInstance.h"
#include "addon/HostApi.h"
#include "addon/NivoTVClient.h"
#include "nivo/HostBoundary.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

std::atomic<NivoTVClient*> clientInstance{nullptr};

// DeInit, then destruction; the pointer is cleared even when DeInit fails.
void DestroyClient(const char* signature) {
  NivoTVClient* client = clientInstance.load();
  if (client == nullptr)
    return;
  CallGuarded(signature, 0, [client] {
    client->DeInit();
    return 0;
  });
  CallGuarded(signature, 0, [client] {
    delete client;
    return 0;
  });
  clientInstance.store(nullptr);
}

}  // namespace

NivoTVClient* GetClientInstance() {
  return clientInstance.load();
}

void SetClientInstance(NivoTVClient* client) {
  clientInstance.store(client);
}

}  // namespace nivo
}  // namespace zu

using zu::nivo::CallGuarded;
using zu::nivo::GetClientInstance;
using zu::nivo::NivoTVClient;

extern "C" {

ADDON_STATUS ADDON_Create(void* addonHandle, void* properties) {
  static const char* const kSignature = "ADDON_STATUS ADDON_Create(void*, void*)";
  zu::output::Info("NivoTV", kSignature, __LINE__, "%s", "");
  if (GetClientInstance() != nullptr) {
    // The host does not create twice without a destroy; should it, the running client would
    // otherwise keep its threads and host registrations forever.
    zu::output::Warning("NivoTV", kSignature, __LINE__, "%s",
                        "A client exists already; it is destroyed first");
    zu::nivo::DestroyClient(kSignature);
  }
  NivoTVClient* client = nullptr;
  int result = CallGuarded(kSignature, static_cast<int>(ADDON_STATUS_PERMANENT_FAILURE), [&] {
    client = new NivoTVClient;
    if (addonHandle == nullptr || properties == nullptr)
      return client->Core().GetStatus();
    return client->Init(addonHandle, properties);
  });
  if (result != ADDON_STATUS_OK && client != nullptr) {
    CallGuarded(kSignature, 0, [client] {
      delete client;
      return 0;
    });
    client = nullptr;
  }
  zu::nivo::SetClientInstance(client);
  return static_cast<ADDON_STATUS>(result);
}

ADDON_STATUS ADDON_GetStatus() {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return ADDON_STATUS_UNKNOWN;
  return static_cast<ADDON_STATUS>(CallGuarded("ADDON_STATUS ADDON_GetStatus()",
                                               static_cast<int>(ADDON_STATUS_UNKNOWN),
                                               [client] { return client->Core().GetStatus(); }));
}

void ADDON_Stop() {
  static const char* const kSignature = "void ADDON_Stop()";
  zu::output::Info("NivoTV", kSignature, __LINE__, "%s", kSignature);
  zu::nivo::DestroyClient(kSignature);
}

void ADDON_Destroy() {
  static const char* const kSignature = "void ADDON_Destroy()";
  zu::output::Info("NivoTV", kSignature, __LINE__, "%s", kSignature);
  zu::nivo::DestroyClient(kSignature);
}

void ADDON_ReadSettings() {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return;
  CallGuarded("void ADDON_ReadSettings()", 0, [client] {
    client->Core().EnsureChannelsLoaded();
    return 0;
  });
}

ADDON_STATUS ADDON_SetSetting(const char*, const void*) {
  return ADDON_STATUS_OK;
}

unsigned int ADDON_GetSettings(void***) {
  return 0;
}

bool ADDON_HasSettings() {
  return true;
}

void ADDON_FreeSettings() {}

void ADDON_Announce(const char*, const char*, const char*, const void*) {}

}  // extern "C"

#pragma once

namespace zu {
namespace nivo {

class NivoTVClient;

// The one client of the process, read first by every exported and PVR function; null
// without one. Set only at the end of ADDON_Create and cleared by ADDON_Stop and
// ADDON_Destroy; the host calls nothing concurrently with those three.
NivoTVClient* GetClientInstance();
void SetClientInstance(NivoTVClient* client);

}  // namespace nivo
}  // namespace zu

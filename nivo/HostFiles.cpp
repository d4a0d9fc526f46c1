#include "nivo/HostFiles.h"

#include "base/String.h"
#include "nivo/Host.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

HostFiles::HostFiles(Host& host) : host_(&host) {}

bool HostFiles::LoadData(const std::string& path, std::string& data) {
  Host* host = host_.load();
  if (host == nullptr || !host->ReadFile(path, data)) {
    ZU_WARNING("NivoTV", "Unable to open file '" + path + "'");
    return false;
  }
  return true;
}

bool HostFiles::SaveData(const std::string& path, const std::string& data) {
  Host* host = host_.load();
  if (host == nullptr)
    return false;
  size_t written = 0;
  const Host::WriteResult result = host->WriteFile(path, data, written);
  // A full disk or a folder that cannot be written fails every write from then on; the user
  // hears of the first, the log has them all.
  if (result == Host::WriteNotOpened) {
    ZU_RUN_FAILURE(&writeFailures_, "NivoTV", "Failed opening file '" + path + "' for writing");
  } else if (result == Host::WriteCutShort) {
    ZU_RUN_FAILURE(&writeFailures_, "NivoTV",
                   "Failed writing file '" + path + "': wrote " +
                       string::ToString(static_cast<unsigned long>(written)) + " of " +
                       string::ToString(static_cast<unsigned long>(data.size())) + " bytes");
  }
  return result == Host::WriteDone;
}

void HostFiles::Release() {
  host_ = nullptr;
}

}  // namespace nivo
}  // namespace zu

#include "bench/BenchProvider.h"

#include <cstdlib>
#include <filesystem>

#include "bench/BenchSupport.h"
#include "provider/Catalogue.h"

namespace zu_bench {

std::unique_ptr<zu::provider::SampleProvider> StartProvider(std::size_t stations, std::size_t radio,
                                                            std::string& error) {
  zu::provider::Catalogue catalogue;
  if (!zu::provider::Catalogue::Generate(stations, radio, catalogue, error))
    return nullptr;
  zu::provider::SampleProvider::Options options;
  options.log = [](const std::string&) {};
  // Plenty for every benchmark; later requests are only counted.
  options.maxRecords = 1000;
  std::unique_ptr<zu::provider::SampleProvider> provider(
      new zu::provider::SampleProvider(std::move(catalogue), options));
  if (!provider->Start()) {
    error = "the sample provider did not start";
    return nullptr;
  }
  PointAddOnAt(*provider);
  return provider;
}

void PointAddOnAt(const zu::provider::SampleProvider& provider) {
  const std::string endpoint = "127.0.0.1:" + std::to_string(provider.Port());
  setenv("NIVOTV_SERVICE_HOST", endpoint.c_str(), 1);
  setenv("NIVOTV_GUIDE_HOST", endpoint.c_str(), 1);
}

bool LayPackage(const std::string& folder, const zu::provider::SampleProvider& provider,
                std::string& error) {
  namespace fs = std::filesystem;
  const fs::path built(ZU_ADDON_PACKAGE_DIR);
  std::error_code failed;
  fs::create_directories(folder, failed);
  // The library is linked, not copied, so that profilers find its symbols after the run.
  fs::create_symlink(built / "libZUNivoTVKodiPlugin.so",
                     fs::path(folder) / "libZUNivoTVKodiPlugin.so", failed);
  if (failed) {
    error = "cannot link the add-on library: " + failed.message();
    return false;
  }
  for (const char* name : {"addon.xml", "tv.zug"}) {
    if (fs::exists(built / name))
      fs::copy_file(built / name, fs::path(folder) / name, failed);
    if (failed) {
      error = std::string("cannot copy the package file ") + name + ": " + failed.message();
      return false;
    }
  }
  if (!WriteWholeFile(folder + "/radio.m3u", provider.RadioPlaylist())) {
    error = "cannot write radio.m3u";
    return false;
  }
  return true;
}

}  // namespace zu_bench

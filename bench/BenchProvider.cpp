#include "bench/BenchProvider.h"

#include <cstdlib>
#include <filesystem>

#include "provider/Catalogue.h"

namespace zu_bench {

BenchProvider::BenchProvider(std::size_t stations, std::size_t radio, const std::string& workBase)
    : dir_(workBase) {
  zu::provider::Catalogue catalogue;
  if (!zu::provider::Catalogue::Generate(stations, radio, catalogue, error_))
    return;
  zu::provider::SampleProvider::Options options;
  options.log = [](const std::string&) {};
  // Plenty for every benchmark; later requests are only counted.
  options.maxRecords = 1000;
  provider_.reset(new zu::provider::SampleProvider(std::move(catalogue), options));
  if (!provider_->Start()) {
    error_ = "the sample provider did not start";
    return;
  }
  const std::string endpoint = "127.0.0.1:" + std::to_string(provider_->Port());
  setenv("NIVOTV_SERVICE_HOST", endpoint.c_str(), 1);
  setenv("NIVOTV_GUIDE_HOST", endpoint.c_str(), 1);

  // The built package with the catalogue's radio playlist next to the shipped files.
  namespace fs = std::filesystem;
  const fs::path built(ZU_ADDON_PACKAGE_DIR);
  std::error_code failed;
  fs::create_directories(PackagePath(), failed);
  // The library is linked, not copied, so that profilers find its symbols after the run.
  fs::create_symlink(built / "libZUNivoTVKodiPlugin.so",
                     fs::path(PackagePath()) / "libZUNivoTVKodiPlugin.so", failed);
  if (failed) {
    error_ = "cannot link the add-on library: " + failed.message();
    return;
  }
  for (const char* name : {"addon.xml", "tv.zug"}) {
    if (fs::exists(built / name))
      fs::copy_file(built / name, fs::path(PackagePath()) / name, failed);
    if (failed) {
      error_ = std::string("cannot copy the package file ") + name + ": " + failed.message();
      return;
    }
  }
  if (!WriteWholeFile(PackagePath() + "/radio.m3u", provider_->RadioPlaylist())) {
    error_ = "cannot write radio.m3u";
    return;
  }
  ok_ = true;
}

BenchProvider::~BenchProvider() {
  if (provider_)
    provider_->Stop();
}

std::string BenchProvider::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(provider_->Port()) + "/";
}

}  // namespace zu_bench

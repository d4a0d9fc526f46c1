#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "provider/SampleProvider.h"

namespace zu_bench {

// The sample provider serving a generated catalogue on a loopback port, with the add-on
// pointed at it (NIVOTV_SERVICE_HOST and NIVOTV_GUIDE_HOST), and a copy of the built add-on
// package whose radio playlist lists the catalogue's radio stations.
class BenchProvider {
 public:
  // stations TV stations over the three playlists and radio radio stations; the package and
  // the work directory below workBase (see TempDir). Check Ok().
  BenchProvider(std::size_t stations, std::size_t radio,
                const std::string& workBase = std::string());
  ~BenchProvider();

  bool Ok() const { return ok_; }
  const std::string& Error() const { return error_; }
  zu::provider::SampleProvider& Provider() { return *provider_; }
  // "http://127.0.0.1:PORT/"
  std::string BaseUrl() const;
  // The add-on's installation path: addon.xml, the library, tv.zug and radio.m3u.
  std::string PackagePath() const { return dir_ / "pvr.nivotv"; }
  // A directory for user paths and logs.
  std::string WorkPath() const { return dir_.Path(); }

 private:
  TempDir dir_;
  std::unique_ptr<zu::provider::SampleProvider> provider_;
  bool ok_ = false;
  std::string error_;
};

}  // namespace zu_bench

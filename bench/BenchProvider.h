#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "provider/SampleProvider.h"

namespace zu_bench {

// The sample provider serving a generated catalogue of `stations` TV stations over the three
// playlists and `radio` radio stations on a loopback port, with the add-on pointed at it
// (NIVOTV_SERVICE_HOST and NIVOTV_GUIDE_HOST). Null, with error set, when it did not start.
std::unique_ptr<zu::provider::SampleProvider> StartProvider(std::size_t stations, std::size_t radio,
                                                            std::string& error);

// Points the add-on at the provider (NIVOTV_SERVICE_HOST and NIVOTV_GUIDE_HOST).
void PointAddOnAt(const zu::provider::SampleProvider& provider);

// Lays the built add-on package into folder (addon.xml, the library, tv.zug) with the
// provider's radio playlist as radio.m3u: the add-on's installation path. False, with error
// set, on failure.
bool LayPackage(const std::string& folder, const zu::provider::SampleProvider& provider,
                std::string& error);

}  // namespace zu_bench

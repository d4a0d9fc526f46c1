#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/StandInHost.h"

namespace zu {
namespace host {
namespace test {

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "host-test-XXXXXX").string();
    if (mkdtemp(&pattern[0]) != nullptr)
      path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty())
      std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string Sub(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
}

// Options that load the fake add-on with the built helper libraries.
inline HostOptions FakeAddonOptions(const TempDir& dir) {
  HostOptions options;
  options.addonFolder = FAKE_ADDON_FOLDER;
  options.userPath = dir.Sub("user");
  options.hostBase = ZU_HOST_BASE_DIR;
  return options;
}

}  // namespace test
}  // namespace host
}  // namespace zu

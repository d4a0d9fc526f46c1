// nivotv-make-cache-golden DIR: writes the golden cache files of CacheGolden.h into DIR with
// boost's own text archives. The tests only read the files; run this when a table there
// changes or is added.

#include "BoostCacheArchive.h"

#include <fstream>
#include <iostream>
#include <string>

#include "CacheGolden.h"

namespace {

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out)
    std::cerr << "nivotv-make-cache-golden: cannot write '" << path << "'\n";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: nivotv-make-cache-golden DIR\n";
    return 2;
  }
  const std::string directory = argv[1];
  bool ok = true;
  for (const zu::testing::GoldenChannelTable& golden : zu::testing::GoldenChannelTables()) {
    ok = Write(directory + "/" + golden.file,
               golden.withoutRadioFlag ? zu::testing::BoostTextWithoutRadioFlag(golden.channels)
                                       : zu::testing::BoostText(golden.channels)) &&
         ok;
  }
  for (const zu::testing::GoldenShowList& golden : zu::testing::GoldenShowLists())
    ok = Write(directory + "/" + golden.file, zu::testing::BoostText(golden.shows)) && ok;
  return ok ? 0 : 1;
}

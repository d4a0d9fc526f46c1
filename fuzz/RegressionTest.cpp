// Every input a fuzzer ever found a fault with, kept in fuzz/regressions/<target>/, and the
// seed corpus written from the sample provider, run through the same entries as the fuzzers.
// The entries abort on a broken promise, which fails the test case.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "base/TempDir.h"
#include "fuzz/FuzzEntries.h"

namespace fuzz_test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs every file below folder through entry; the number of files run.
size_t RunFolder(const zu::fuzz::FuzzTarget& target, const fs::path& folder) {
  if (!fs::is_directory(folder))
    return 0;
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file())
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    const std::string bytes = ReadFile(file);
    target.entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  return files.size();
}

}  // namespace
}  // namespace fuzz_test

namespace zu {
namespace fuzz {

void PrintTo(const FuzzTarget& target, std::ostream* out) {
  *out << target.name;
}

}  // namespace fuzz
}  // namespace zu

namespace fuzz_test {
namespace {

class FuzzRegression : public ::testing::TestWithParam<zu::fuzz::FuzzTarget> {};

TEST_P(FuzzRegression, KeptFindingsAndSeedsPass) {
  const zu::fuzz::FuzzTarget& target = GetParam();
  RunFolder(target, fs::path(ZU_FUZZ_DIR) / "regressions" / target.name);

  zu_test::TempDir dir;
  ASSERT_FALSE(dir.Path().empty());
  const std::string command = std::string(ZU_FUZZ_SEEDS) + " '" + dir.Path() + "' >/dev/null";
  ASSERT_EQ(0, std::system(command.c_str()));
  EXPECT_GT(RunFolder(target, fs::path(dir.Path()) / target.name), 0u)
      << "the seed writer wrote no seeds for " << target.name;
}

// Inputs the entries must take without a word, whatever they are.
TEST_P(FuzzRegression, TinyInputsPass) {
  const zu::fuzz::FuzzTarget& target = GetParam();
  const std::uint8_t bytes[] = {0xFF, 0x00, 0x7F, '&', '#', '\r', '\n', '{'};
  target.entry(bytes, 0);
  for (size_t size = 1; size <= sizeof(bytes); ++size)
    target.entry(bytes, size);
}

std::string Name(const ::testing::TestParamInfo<zu::fuzz::FuzzTarget>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression, ::testing::ValuesIn(zu::fuzz::FuzzTargets()),
                         Name);

}  // namespace
}  // namespace fuzz_test

// nivotv-host as a program with the built add-on: its JSON output stays one document although
// the add-on writes to standard output itself, and a readable session on a pipe shows its
// steps in order with plain progress lines, also when the provider cannot be reached.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "base/TempDir.h"
#include "provider/Catalogue.h"
#include "provider/SampleProvider.h"

namespace demo_test {
namespace {

struct ProgramRun {
  int exit = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ProgramRun RunHost(const zu_test::TempDir& dir, const std::vector<std::string>& arguments) {
  std::string command = "'" NIVOTV_HOST_PROGRAM "' --addon '" ZU_ADDON_PACKAGE_DIR
                        "' --hostbase '" ZU_HOST_BASE_DIR "' --user '" +
                        dir / "user" + "'";
  for (const std::string& argument : arguments)
    command += " '" + argument + "'";
  command += " >'" + dir / "out.txt" + "' 2>'" + dir / "err.txt" + "' </dev/null";
  ProgramRun run;
  int status = std::system(command.c_str());
  run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(dir / "out.txt");
  run.err = ReadFile(dir / "err.txt");
  return run;
}

// A loopback port that refuses connections: one the provider held and gave back.
std::string ClosedAddress() {
  zu::provider::Catalogue catalogue;
  std::string error;
  EXPECT_TRUE(zu::provider::Catalogue::Generate(1, 0, catalogue, error)) << error;
  zu::provider::SampleProvider::Options options;
  options.log = [](const std::string&) {};
  zu::provider::SampleProvider provider(std::move(catalogue), options);
  EXPECT_TRUE(provider.Start());
  std::string address = "127.0.0.1:" + std::to_string(provider.Port());
  provider.Stop();
  return address;
}

TEST(HostProgram, JsonOutputIsOneDocumentAlthoughTheAddonWritesToStandardOutput) {
  zu_test::TempDir dir;
  ProgramRun run = RunHost(dir, {"status", "--json"});
  ASSERT_EQ(0, run.exit) << run.err;
  nlohmann::json document = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_FALSE(document.is_discarded()) << run.out;
  EXPECT_EQ("pvr.nivotv", document["addon"]["id"]);
  EXPECT_EQ("ok", document["status"]["name"]);
}

TEST(HostProgram, ReadableSessionOnAPipeWithoutProvider) {
  zu_test::TempDir dir;
  const std::string address = ClosedAddress();
  setenv("NIVOTV_SERVICE_HOST", address.c_str(), 1);
  setenv("NIVOTV_GUIDE_HOST", address.c_str(), 1);
  ProgramRun run =
      RunHost(dir, {"session", "--days", "1", "--duration", "0", "--provider", address});
  ASSERT_EQ(0, run.exit) << run.out << run.err;

  size_t at = 0;
  for (const char* heading :
       {"== Starting the add-on", "== Loading the channels", "== Reading what is on",
        "== TV channels", "== Radio channels", "== Now and next", "== Fetching the guide",
        "== Details of a coming show", "== Shutting down", "== Summary"}) {
    size_t found = run.out.find(heading, at);
    ASSERT_NE(std::string::npos, found) << heading << " after " << at << "\n" << run.out;
    at = found;
  }
  // Not a terminal: no line redrawn in place, and the guide walk in a handful of lines.
  EXPECT_EQ(std::string::npos, run.out.find('\r'));
  size_t walk = run.out.find("== Fetching the guide");
  std::string section = run.out.substr(walk, run.out.find("== Details", walk) - walk);
  size_t steps = 0;
  for (size_t p = section.find(" channels, "); p != std::string::npos;
       p = section.find(" channels, ", p + 1))
    ++steps;
  // A line at each quarter of the walk over all channels, not one per channel.
  EXPECT_EQ(4u, steps) << section;
  // The shipped channel table still gives channels; the failures are summed up, not echoed.
  EXPECT_NE(std::string::npos, run.out.find("not reachable")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("the add-on logged")) << run.out;
  EXPECT_EQ(std::string::npos, run.err.find("ERROR:")) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("host log:  " + dir / "user/host.log")) << run.out;
}

}  // namespace
}  // namespace demo_test

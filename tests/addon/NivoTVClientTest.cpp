// The client's binding to the host helper libraries, against fake helper libraries whose
// files and registration can misbehave, and the guard at the host boundary.

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "CapturedFd.h"
#include "addon/HelperLibraryHost.h"
#include "addon/NivoTVClient.h"
#include "base/File.h"
#include "base/TempDir.h"
#include "nivo/HostBoundary.h"
#include "nivo/HostFiles.h"
#include "output/LogRecorder.h"

namespace {

using zu::nivo::NivoTVClient;
using zu_test::CapturedFd;
using zu_test::TempDir;

typedef bool (*FakeHelperEntry)(int kind, size_t index, int* level, std::string* text);

struct Entry {
  int level;
  std::string text;
};

std::string Repeat(const std::string& character, size_t bytes) {
  std::string text;
  while (text.size() < bytes)
    text += character;
  return text;
}

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Fake helper libraries below the host base path, and what they received.
class HelperLibraryTest : public ::testing::Test {
 protected:
  // Kind 0: the log lines the add-on helper library received; kind 1: its notifications.
  std::vector<Entry> Entries(int kind) {
    std::vector<Entry> entries;
    void* library = dlopen(ZU_FAKE_HOST_BASE "/library.xbmc.addon/libXBMC_addon-x86_64-linux.so",
                           RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr)
      return entries;
    auto entry = reinterpret_cast<FakeHelperEntry>(dlsym(library, "fake_helper_entry"));
    Entry next;
    for (size_t index = 0; entry != nullptr && entry(kind, index, &next.level, &next.text); ++index)
      entries.push_back(next);
    dlclose(library);
    return entries;
  }
  bool Logged(int level, const std::string& part) {
    for (const Entry& entry : Entries(0)) {
      if (entry.level == level && entry.text.find(part) != std::string::npos)
        return true;
    }
    return false;
  }
  void Write(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
  }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir dir;
  const std::string user = dir / "user";
  AddonCB handle = {ZU_FAKE_HOST_BASE, nullptr};
  PVR_PROPERTIES properties = {user.c_str(), dir.Path().c_str()};
};

class NivoTVClientTest : public HelperLibraryTest {
 protected:
  int Init() { return client.Init(&handle, &properties); }

  NivoTVClient client;
};

// The host over the helper libraries on its own, with a client core routing the log into it
// as the client does.
class HelperLibraryHostTest : public HelperLibraryTest {
 protected:
  int Init() {
    if (!host.Bind(&handle))
      return ADDON_STATUS_PERMANENT_FAILURE;
    return core.Init(host, user, dir.Path());
  }

  zu::nivo::HelperLibraryHost host;
  zu::nivo::ClientCore core;
};

TEST_F(NivoTVClientTest, InitBindsBothLibrariesAndRoutesTheLogIntoTheHost) {
  ASSERT_EQ(ADDON_STATUS_OK, Init());
  EXPECT_TRUE(Logged(ADDON_LOG_INFO, "Creating the Nivo-TV plugin"));
  EXPECT_TRUE(zu::file::IsDirectory(user + "/epg"));
  client.DeInit();
  EXPECT_EQ(ADDON_STATUS_NEED_RESTART, client.Core().GetStatus());
}

TEST_F(NivoTVClientTest, ARefusedRegistrationFailsWithoutAMessage) {
  setenv("ZU_FAKE_HELPER_REFUSE", "1", 1);
  CapturedFd standardError(2);
  const int status = Init();
  standardError.Restore();
  unsetenv("ZU_FAKE_HELPER_REFUSE");
  EXPECT_EQ(ADDON_STATUS_PERMANENT_FAILURE, status);
  EXPECT_EQ("", standardError.Text());
  EXPECT_FALSE(zu::file::IsDirectory(user + "/epg"));
}

TEST_F(NivoTVClientTest, MissingPathsFailInsteadOfUsingTheWorkingDirectory) {
  properties.strUserPath = nullptr;
  CapturedFd standardError(2);
  EXPECT_EQ(ADDON_STATUS_PERMANENT_FAILURE, Init());
  standardError.Restore();
  EXPECT_NE(std::string::npos, standardError.Text().find("no user data path"));
}

TEST_F(HelperLibraryHostTest, ReadFileReadsWholeFilesAndRefusesShortReads) {
  ASSERT_EQ(ADDON_STATUS_OK, Init());
  std::string big;
  for (size_t i = 0; i < 200000; ++i)
    big += static_cast<char>(i * 7);
  Write(dir / "big.bin", big);
  std::string out;
  EXPECT_TRUE(host.ReadFile(dir / "big.bin", out));
  EXPECT_EQ(big, out);

  Write(dir / "short.bin", "content");
  out = "kept";
  EXPECT_FALSE(host.ReadFile(dir / "short.bin", out));
  EXPECT_EQ("kept", out);
  EXPECT_TRUE(Logged(ADDON_LOG_ERROR, "Failed reading file '" + (dir / "short.bin") + "'"));

  EXPECT_FALSE(host.ReadFile(dir / "missing.bin", out));
  EXPECT_EQ("kept", out);
  EXPECT_FALSE(Logged(ADDON_LOG_ERROR, "missing.bin"));
}

// Files are written through the host; what cannot be written is said once as an error (a
// notification for the user), then as warnings, and a file written in part is not left behind.
TEST_F(HelperLibraryHostTest, FilesAreWrittenWholeOrReportedAndAPartWrittenOneIsDeleted) {
  ASSERT_EQ(ADDON_STATUS_OK, Init());
  zu::nivo::HostFiles files(host);
  const std::string data = Repeat("0123456789", 100);
  EXPECT_TRUE(files.SaveData(dir / "partial.txt", data));
  EXPECT_EQ(data, Read(dir / "partial.txt"));

  Write(dir / "full.txt", "an older version");
  EXPECT_FALSE(files.SaveData(dir / "full.txt", data));
  EXPECT_TRUE(Logged(ADDON_LOG_ERROR,
                     "Failed writing file '" + (dir / "full.txt") + "': wrote 7 of 100 bytes"));
  EXPECT_FALSE(zu::file::Exists(dir / "full.txt"));

  EXPECT_FALSE(files.SaveData(dir / "no-such-dir/x.txt", data));
  EXPECT_TRUE(Logged(ADDON_LOG_NOTICE,
                     "Failed opening file '" + (dir / "no-such-dir/x.txt") + "' for writing"));
  EXPECT_EQ(1u, Entries(1).size());
}

TEST_F(HelperLibraryHostTest, LongLinesReachTheLogWholeInPiecesAndNotificationsAreCut) {
  ASSERT_EQ(ADDON_STATUS_OK, Init());
  const std::string text = "x" + Repeat("\xE2\x82\xAC", 40000);
  const size_t before = Entries(0).size();
  host.Log(ADDON_LOG_NOTICE, text);
  std::vector<Entry> lines = Entries(0);
  ASSERT_GT(lines.size(), before + 1);
  std::string joined;
  for (size_t i = before; i < lines.size(); ++i) {
    EXPECT_EQ(ADDON_LOG_NOTICE, lines[i].level);
    EXPECT_LT(lines[i].text.size(), 16384u);
    ASSERT_FALSE(lines[i].text.empty());
    EXPECT_FALSE(IsContinuation(lines[i].text[0])) << "piece " << i << " starts mid-character";
    joined += lines[i].text;
  }
  EXPECT_EQ(text, joined);

  host.Notify(QUEUE_ERROR, text);
  std::vector<Entry> notifications = Entries(1);
  ASSERT_EQ(1u, notifications.size());
  const std::string& shown = notifications[0].text;
  EXPECT_LT(shown.size(), 16384u);
  EXPECT_GT(shown.size(), 16370u);
  EXPECT_EQ(text.substr(0, shown.size()), shown);
  EXPECT_FALSE(IsContinuation(text[shown.size()]));
}

TEST_F(HelperLibraryHostTest, TextsThatAreNotUtf8ReachTheHostReEncodedBeforeTheyAreCut) {
  ASSERT_EQ(ADDON_STATUS_OK, Init());
  // Latin-1 "\xF6" is two bytes of UTF-8: a cut made before the re-encoding would end a piece
  // in the middle of a character.
  const std::string text(20000, '\xF6');
  const std::string utf8 = Repeat("\xC3\xB6", 40000);
  const size_t before = Entries(0).size();
  host.Log(ADDON_LOG_ERROR, text);
  const std::vector<Entry> lines = Entries(0);
  std::string joined;
  for (size_t i = before; i < lines.size(); ++i)
    joined += lines[i].text;
  EXPECT_EQ(utf8, joined);

  host.Notify(QUEUE_ERROR, text);
  const std::vector<Entry> notifications = Entries(1);
  ASSERT_EQ(1u, notifications.size());
  EXPECT_GT(notifications[0].text.size(), 16370u);
  EXPECT_EQ(utf8.substr(0, notifications[0].text.size()), notifications[0].text);
  EXPECT_EQ(0u, notifications[0].text.size() % 2);
}

TEST(BoundaryTest, EscapingExceptionsAreLoggedAndAnsweredWithTheFailureValue) {
  zu_test::LogRecorder log;
  EXPECT_EQ(-2, zu::nivo::CallGuarded(
                    "int F()", -2, []() -> int { throw std::runtime_error("archive garbled"); }));
  EXPECT_EQ(-1, zu::nivo::CallGuarded("int G()", -1, []() -> int { throw 42; }));
  EXPECT_EQ(7, zu::nivo::CallGuarded("int H()", -1, [] { return 7; }));
  std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("int F()"));
  EXPECT_NE(std::string::npos, lines[0].find("Received exception: archive garbled"));
  EXPECT_NE(std::string::npos, lines[1].find("int G()"));
  EXPECT_NE(std::string::npos, lines[1].find("Received unknown exception"));
}

}  // namespace

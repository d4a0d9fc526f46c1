// The helper libraries called directly, as an add-on binds them: dlopen below the host base
// directory and dlsym by name.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "addon/HostApi.h"
#include "tests/host/HostTestSupport.h"

namespace zu {
namespace host {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

class Library {
 public:
  explicit Library(const std::string& relative)
      : handle_(dlopen((std::string(ZU_HOST_BASE_DIR) + relative).c_str(), RTLD_NOW | RTLD_LOCAL)) {
  }
  ~Library() {
    if (handle_ != nullptr)
      dlclose(handle_);
  }
  bool Loaded() const { return handle_ != nullptr; }
  template <class T>
  T Get(const char* name) const {
    return reinterpret_cast<T>(dlsym(handle_, name));
  }

 private:
  void* handle_;
};

// The file functions of libXBMC_addon; they need no host behind the handles.
class HelperFiles : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.Loaded()) << dlerror();
    open = library_.Get<XBMC_open_file_t>("XBMC_open_file");
    openForWrite = library_.Get<XBMC_open_file_for_write_t>("XBMC_open_file_for_write");
    read = library_.Get<XBMC_read_file_t>("XBMC_read_file");
    readLine = library_.Get<XBMC_read_file_string_t>("XBMC_read_file_string");
    write = library_.Get<XBMC_write_file_t>("XBMC_write_file");
    flush = library_.Get<XBMC_flush_file_t>("XBMC_flush_file");
    seek = library_.Get<XBMC_seek_file_t>("XBMC_seek_file");
    truncate = library_.Get<XBMC_truncate_file_t>("XBMC_truncate_file");
    position = library_.Get<XBMC_get_file_position_t>("XBMC_get_file_position");
    length = library_.Get<XBMC_get_file_length_t>("XBMC_get_file_length");
    close = library_.Get<XBMC_close_file_t>("XBMC_close_file");
    chunkSize = library_.Get<XBMC_get_file_chunk_size_t>("XBMC_get_file_chunk_size");
    exists = library_.Get<XBMC_file_exists_t>("XBMC_file_exists");
    stat = library_.Get<XBMC_stat_file_t>("XBMC_stat_file");
    remove = library_.Get<XBMC_delete_file_t>("XBMC_delete_file");
    canOpenDirectory = library_.Get<XBMC_can_open_directory_t>("XBMC_can_open_directory");
    createDirectory = library_.Get<XBMC_create_directory_t>("XBMC_create_directory");
    directoryExists = library_.Get<XBMC_directory_exists_t>("XBMC_directory_exists");
    removeDirectory = library_.Get<XBMC_remove_directory_t>("XBMC_remove_directory");
    ASSERT_TRUE(open && openForWrite && read && readLine && write && flush && seek && truncate &&
                position && length && close && chunkSize && exists && stat && remove &&
                canOpenDirectory && createDirectory && directoryExists && removeDirectory);
  }

  // Reads every line with the given buffer size.
  std::vector<std::string> Lines(const std::string& path, int size) {
    std::vector<std::string> lines;
    void* file = open(h, cb, path.c_str(), 0);
    EXPECT_NE(nullptr, file);
    std::vector<char> buffer(static_cast<size_t>(size));
    while (file != nullptr && readLine(h, cb, file, buffer.data(), size))
      lines.push_back(buffer.data());
    close(h, cb, file);
    return lines;
  }

  Library library_{"/library.xbmc.addon/libXBMC_addon-x86_64-linux.so"};
  TempDir dir_;
  void* h = nullptr;
  void* cb = nullptr;
  XBMC_open_file_t open;
  XBMC_open_file_for_write_t openForWrite;
  XBMC_read_file_t read;
  XBMC_read_file_string_t readLine;
  XBMC_write_file_t write;
  XBMC_flush_file_t flush;
  XBMC_seek_file_t seek;
  XBMC_truncate_file_t truncate;
  XBMC_get_file_position_t position;
  XBMC_get_file_length_t length;
  XBMC_close_file_t close;
  XBMC_get_file_chunk_size_t chunkSize;
  XBMC_file_exists_t exists;
  XBMC_stat_file_t stat;
  XBMC_delete_file_t remove;
  XBMC_can_open_directory_t canOpenDirectory;
  XBMC_create_directory_t createDirectory;
  XBMC_directory_exists_t directoryExists;
  XBMC_remove_directory_t removeDirectory;
};

TEST_F(HelperFiles, WriteSeekReadTruncateRoundTrip) {
  std::string path = dir_.Sub("data.bin");
  void* file = openForWrite(h, cb, path.c_str(), true);
  ASSERT_NE(nullptr, file);
  std::string data = "0123456789";
  data += std::string(1, '\0') + "tail";
  EXPECT_EQ(static_cast<ssize_t>(data.size()), write(h, cb, file, data.data(), data.size()));
  // The length counts what was just written.
  EXPECT_EQ(static_cast<int64_t>(data.size()), length(h, cb, file));
  EXPECT_EQ(static_cast<int64_t>(data.size()), position(h, cb, file));
  // Reading right after writing, in the same handle.
  EXPECT_EQ(3, seek(h, cb, file, 3, SEEK_SET));
  char buffer[8] = {};
  EXPECT_EQ(4, read(h, cb, file, buffer, 4));
  EXPECT_EQ("3456", std::string(buffer, 4));
  EXPECT_EQ(7, position(h, cb, file));
  EXPECT_EQ(static_cast<int64_t>(data.size()) - 2, seek(h, cb, file, -2, SEEK_END));
  EXPECT_EQ(1, seek(h, cb, file, 0, 16));  // "can seek" query
  EXPECT_EQ(-1, seek(h, cb, file, 0, 99));
  EXPECT_EQ(0, truncate(h, cb, file, 5));
  EXPECT_EQ(5, length(h, cb, file));
  EXPECT_EQ(-1, truncate(h, cb, file, -1));
  EXPECT_EQ(0, chunkSize(h, cb, file));
  close(h, cb, file);
  EXPECT_EQ("01234", ReadWholeFile(path));

  // Without overwrite the content stays and writing starts at the beginning.
  file = openForWrite(h, cb, path.c_str(), false);
  ASSERT_NE(nullptr, file);
  EXPECT_EQ(2, write(h, cb, file, "ab", 2));
  flush(h, cb, file);
  EXPECT_EQ("ab234", ReadWholeFile(path));
  close(h, cb, file);

  // With overwrite it is emptied.
  file = openForWrite(h, cb, path.c_str(), true);
  ASSERT_NE(nullptr, file);
  close(h, cb, file);
  EXPECT_EQ("", ReadWholeFile(path));
}

// A small write on a full disk fails at once, as the real host's does; it is not reported as
// written and lost when the file is closed.
TEST_F(HelperFiles, AWriteThatCannotReachTheFileFails) {
  void* file = openForWrite(h, cb, "/dev/full", false);
  if (file == nullptr)
    GTEST_SKIP() << "no /dev/full";
  EXPECT_EQ(-1, write(h, cb, file, "abc", 3));
  close(h, cb, file);
}

TEST_F(HelperFiles, ReadingAFileToItsEnd) {
  std::string path = dir_.Sub("plain.txt");
  WriteWholeFile(path, "abcdef");
  void* file = open(h, cb, path.c_str(), 0);
  ASSERT_NE(nullptr, file);
  char buffer[16];
  EXPECT_EQ(6, read(h, cb, file, buffer, sizeof(buffer)));
  EXPECT_EQ(0, read(h, cb, file, buffer, sizeof(buffer)));
  // A file opened for reading takes no writes.
  EXPECT_EQ(-1, write(h, cb, file, "x", 1));
  close(h, cb, file);
  EXPECT_EQ("abcdef", ReadWholeFile(path));
}

TEST_F(HelperFiles, ReadLineHandlesEveryLineEndAndLongLines) {
  std::string path = dir_.Sub("lines.txt");
  WriteWholeFile(path, "unix\nwindows\r\nmac\r\n\nlast without end");
  EXPECT_EQ((std::vector<std::string>{"unix", "windows", "mac", "", "last without end"}),
            Lines(path, 64));
  WriteWholeFile(path, "old mac\rnext\n");
  EXPECT_EQ((std::vector<std::string>{"old mac", "next"}), Lines(path, 64));
  // A line longer than the buffer comes in pieces and nothing is lost; a line that fills the
  // buffer exactly gives no empty piece after it.
  WriteWholeFile(path, "abcdefghij\nabcd\nxy\n");
  EXPECT_EQ((std::vector<std::string>{"abcd", "efgh", "ij", "abcd", "xy"}), Lines(path, 5));
  WriteWholeFile(path, "");
  EXPECT_TRUE(Lines(path, 5).empty());

  void* file = open(h, cb, path.c_str(), 0);
  char one[1];
  EXPECT_FALSE(readLine(h, cb, file, one, 1));
  EXPECT_FALSE(readLine(h, cb, file, nullptr, 10));
  close(h, cb, file);
}

TEST_F(HelperFiles, BadArgumentsFailWithoutHarm) {
  EXPECT_EQ(nullptr, open(h, cb, nullptr, 0));
  EXPECT_EQ(nullptr, open(h, cb, dir_.Sub("missing").c_str(), 0));
  EXPECT_EQ(nullptr, open(h, cb, dir_.Path().c_str(), 0));  // a directory is no file
  EXPECT_EQ(nullptr, openForWrite(h, cb, dir_.Sub("no/such/dir/file").c_str(), true));
  EXPECT_EQ(nullptr, openForWrite(h, cb, "", true));
  char buffer[4];
  EXPECT_EQ(-1, read(h, cb, nullptr, buffer, sizeof(buffer)));
  EXPECT_EQ(-1, write(h, cb, nullptr, buffer, sizeof(buffer)));
  EXPECT_EQ(-1, seek(h, cb, nullptr, 0, SEEK_SET));
  EXPECT_EQ(-1, length(h, cb, nullptr));
  EXPECT_EQ(-1, position(h, cb, nullptr));
  EXPECT_EQ(-1, truncate(h, cb, nullptr, 0));
  EXPECT_FALSE(readLine(h, cb, nullptr, buffer, sizeof(buffer)));
  flush(h, cb, nullptr);
  close(h, cb, nullptr);
  EXPECT_FALSE(exists(h, cb, nullptr, false));
  EXPECT_EQ(-1, stat(h, cb, nullptr, nullptr));
  EXPECT_FALSE(remove(h, cb, nullptr));
  EXPECT_FALSE(createDirectory(h, cb, nullptr));
  EXPECT_FALSE(directoryExists(h, cb, nullptr));
  EXPECT_FALSE(canOpenDirectory(h, cb, nullptr));
  EXPECT_FALSE(removeDirectory(h, cb, nullptr));
}

TEST_F(HelperFiles, PathFunctions) {
  std::string sub = dir_.Sub("sub");
  std::string file = dir_.Sub("sub/file");
  EXPECT_FALSE(directoryExists(h, cb, sub.c_str()));
  EXPECT_TRUE(createDirectory(h, cb, sub.c_str()));
  EXPECT_TRUE(createDirectory(h, cb, sub.c_str()));  // existing counts as created
  EXPECT_TRUE(directoryExists(h, cb, sub.c_str()));
  EXPECT_TRUE(canOpenDirectory(h, cb, sub.c_str()));

  WriteWholeFile(file, "12345");
  EXPECT_TRUE(exists(h, cb, file.c_str(), true));
  EXPECT_FALSE(createDirectory(h, cb, file.c_str()));  // a file is in the way
  EXPECT_FALSE(directoryExists(h, cb, file.c_str()));
  struct stat info;
  ASSERT_EQ(0, stat(h, cb, file.c_str(), &info));
  EXPECT_EQ(5, info.st_size);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_FALSE(removeDirectory(h, cb, sub.c_str()));  // not empty
  EXPECT_FALSE(remove(h, cb, sub.c_str()));           // delete is for files only
  EXPECT_TRUE(remove(h, cb, file.c_str()));
  EXPECT_FALSE(exists(h, cb, file.c_str(), false));
  EXPECT_EQ(-1, stat(h, cb, file.c_str(), &info));
  EXPECT_TRUE(removeDirectory(h, cb, sub.c_str()));
  EXPECT_FALSE(directoryExists(h, cb, sub.c_str()));
}

TEST(HelperLibraries, RegistrationNeedsAHostHandleAndTextsAreConverted) {
  Library addon("/library.xbmc.addon/libXBMC_addon-x86_64-linux.so");
  Library pvr("/library.xbmc.pvr/libXBMC_pvr-x86_64-linux.so");
  ASSERT_TRUE(addon.Loaded() && pvr.Loaded());
  auto registerAddon = addon.Get<XBMC_register_me_t>("XBMC_register_me");
  auto registerPvr = pvr.Get<PVR_register_me_t>("PVR_register_me");
  auto log = addon.Get<XBMC_log_t>("XBMC_log");
  auto trigger = pvr.Get<PVR_trigger_epg_update_t>("PVR_trigger_epg_update");
  ASSERT_TRUE(registerAddon && registerPvr && log && trigger);

  testing::internal::CaptureStderr();
  EXPECT_EQ(nullptr, registerAddon(nullptr));
  EXPECT_EQ(nullptr, registerPvr(nullptr));
  // A handle the host did not make is refused, not followed. (It is read as far as the
  // host's own handle reaches, so it is given that size here.)
  struct {
    AddonCB addon;
    void* rest[2];
  } foreign = {{"/somewhere", nullptr}, {nullptr, nullptr}};
  EXPECT_EQ(nullptr, registerAddon(&foreign));
  log(&foreign, nullptr, ADDON_LOG_INFO, "ignored");
  trigger(nullptr, nullptr, 101);
  std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos,
            errors.find("XBMC_register_me called without a valid add-on handle"));
  EXPECT_NE(std::string::npos, errors.find("PVR_trigger_epg_update called without"));

  auto toUtf8 = addon.Get<XBMC_unknown_to_utf8_t>("XBMC_unknown_to_utf8");
  auto freeString = addon.Get<XBMC_free_string_t>("XBMC_free_string");
  ASSERT_TRUE(toUtf8 && freeString);
  char* same = toUtf8(nullptr, nullptr, "Grüße");
  EXPECT_STREQ("Grüße", same);
  freeString(nullptr, nullptr, same);
  char* converted = toUtf8(nullptr, nullptr,
                           "Gr\xFC\xDF"
                           "e");  // Latin-1
  EXPECT_STREQ("Grüße", converted);
  freeString(nullptr, nullptr, converted);
  EXPECT_EQ(nullptr, toUtf8(nullptr, nullptr, nullptr));
}

}  // namespace
}  // namespace host
}  // namespace zu

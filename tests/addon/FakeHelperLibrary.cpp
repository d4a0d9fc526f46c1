// Both host helper libraries in one, for binding tests without a host: registration can be
// refused, files are plain local files whose reported length or write progress can be made
// to misbehave through their names, and log lines and notifications are kept for the test,
// which reads them through the fake_helper_* functions.
//
// Path names: "short" in the name reports 10 bytes more than the file holds; "partial"
// writes at most 7 bytes per call; "full" takes 7 bytes in all, then nothing (a disk that
// fills).

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct File {
  FILE* stream;
  std::string path;
  size_t written = 0;
};

std::mutex mutex;
std::vector<std::pair<int, std::string>> logLines;
std::vector<std::pair<int, std::string>> notifications;
int callbacks;

bool Contains(const std::string& path, const char* part) {
  return path.find(part) != std::string::npos;
}

}  // namespace

FAKE_EXPORT void* XBMC_register_me(void*) {
  return getenv("ZU_FAKE_HELPER_REFUSE") != nullptr ? nullptr : &callbacks;
}
FAKE_EXPORT void XBMC_unregister_me(void*, void*) {}
FAKE_EXPORT void XBMC_log(void*, void*, int level, const char* text) {
  std::lock_guard<std::mutex> lock(mutex);
  logLines.emplace_back(level, text);
}
FAKE_EXPORT bool XBMC_get_setting(void*, void*, const char*, void*) {
  return false;
}
FAKE_EXPORT void XBMC_queue_notification(void*, void*, int kind, const char* text) {
  std::lock_guard<std::mutex> lock(mutex);
  notifications.emplace_back(kind, text);
}
FAKE_EXPORT bool XBMC_wake_on_lan(void*, void*, const char*) {
  return false;
}
FAKE_EXPORT char* XBMC_unknown_to_utf8(void*, void*, const char*) {
  return nullptr;
}
FAKE_EXPORT char* XBMC_get_localized_string(void*, void*, int) {
  return nullptr;
}
FAKE_EXPORT void XBMC_free_string(void*, void*, char*) {}
FAKE_EXPORT char* XBMC_get_dvd_menu_language(void*, void*) {
  return nullptr;
}
FAKE_EXPORT void* XBMC_open_file(void*, void*, const char* path, unsigned int) {
  FILE* stream = fopen(path, "rb");
  return stream != nullptr ? new File{stream, path, 0} : nullptr;
}
FAKE_EXPORT void* XBMC_open_file_for_write(void*, void*, const char* path, bool) {
  FILE* stream = fopen(path, "wb");
  return stream != nullptr ? new File{stream, path, 0} : nullptr;
}
FAKE_EXPORT ssize_t XBMC_read_file(void*, void*, void* file, void* buffer, size_t size) {
  return static_cast<ssize_t>(fread(buffer, 1, size, static_cast<File*>(file)->stream));
}
FAKE_EXPORT bool XBMC_read_file_string(void*, void*, void*, char*, int) {
  return false;
}
FAKE_EXPORT ssize_t XBMC_write_file(void*, void*, void* file, const void* data, size_t size) {
  File* open = static_cast<File*>(file);
  if (Contains(open->path, "full"))
    size = std::min(size, 7 - std::min<size_t>(7, open->written));
  if (Contains(open->path, "partial") && size > 7)
    size = 7;
  const size_t done = fwrite(data, 1, size, open->stream);
  open->written += done;
  return static_cast<ssize_t>(done);
}
FAKE_EXPORT void XBMC_flush_file(void*, void*, void*) {}
FAKE_EXPORT int64_t XBMC_seek_file(void*, void*, void*, int64_t, int) {
  return -1;
}
FAKE_EXPORT int XBMC_truncate_file(void*, void*, void*, int64_t) {
  return -1;
}
FAKE_EXPORT int64_t XBMC_get_file_position(void*, void*, void*) {
  return -1;
}
FAKE_EXPORT int64_t XBMC_get_file_length(void*, void*, void* file) {
  File* open = static_cast<File*>(file);
  struct stat info;
  if (fstat(fileno(open->stream), &info) != 0)
    return -1;
  return info.st_size + (Contains(open->path, "short") ? 10 : 0);
}
FAKE_EXPORT void XBMC_close_file(void*, void*, void* file) {
  File* open = static_cast<File*>(file);
  fclose(open->stream);
  delete open;
}
FAKE_EXPORT int XBMC_get_file_chunk_size(void*, void*, void*) {
  return 0;
}
FAKE_EXPORT bool XBMC_file_exists(void*, void*, const char*, bool) {
  return false;
}
FAKE_EXPORT int XBMC_stat_file(void*, void*, const char*, void*) {
  return -1;
}
FAKE_EXPORT bool XBMC_delete_file(void*, void*, const char* path) {
  return unlink(path) == 0;
}
FAKE_EXPORT bool XBMC_can_open_directory(void*, void*, const char*) {
  return false;
}
FAKE_EXPORT bool XBMC_create_directory(void*, void*, const char*) {
  return false;
}
FAKE_EXPORT bool XBMC_directory_exists(void*, void*, const char*) {
  return false;
}
FAKE_EXPORT bool XBMC_remove_directory(void*, void*, const char*) {
  return false;
}

FAKE_EXPORT void* PVR_register_me(void*) {
  return &callbacks;
}
FAKE_EXPORT void PVR_unregister_me(void*, void*) {}
FAKE_EXPORT void PVR_transfer_epg_entry(void*, void*, void*, const void*) {}
FAKE_EXPORT void PVR_transfer_channel_entry(void*, void*, void*, const void*) {}
FAKE_EXPORT void PVR_transfer_timer_entry(void*, void*, void*, const void*) {}
FAKE_EXPORT void PVR_transfer_recording_entry(void*, void*, void*, const void*) {}
FAKE_EXPORT void PVR_add_menu_hook(void*, void*, void*) {}
FAKE_EXPORT void PVR_recording(void*, void*, const char*, const char*, bool) {}
FAKE_EXPORT void PVR_trigger_timer_update(void*, void*) {}
FAKE_EXPORT void PVR_trigger_recording_update(void*, void*) {}
FAKE_EXPORT void PVR_trigger_channel_update(void*, void*) {}
FAKE_EXPORT void PVR_trigger_channel_groups_update(void*, void*) {}
FAKE_EXPORT void PVR_trigger_epg_update(void*, void*, unsigned int) {}
FAKE_EXPORT void PVR_transfer_channel_group(void*, void*, void*, const void*) {}
FAKE_EXPORT void PVR_transfer_channel_group_member(void*, void*, void*, const void*) {}

// What the add-on handed over so far: kind 0 log lines, kind 1 notifications. False past
// the end.
FAKE_EXPORT bool fake_helper_entry(int kind, size_t index, int* level, std::string* text) {
  std::lock_guard<std::mutex> lock(mutex);
  const std::vector<std::pair<int, std::string>>& entries = kind == 0 ? logLines : notifications;
  if (index >= entries.size())
    return false;
  *level = entries[index].first;
  *text = entries[index].second;
  return true;
}

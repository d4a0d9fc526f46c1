// The stand-in host's add-on helper library (libXBMC_addon). Log and notification calls are
// passed to the host through the add-on handle; the file functions work on the real file
// system and need no host at all. Only the functions of the host interface are exported.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/imp/HostBridge.h"

#define ZU_HOST_EXPORT extern "C" __attribute__((visibility("default")))

using zu::host::imp::kAddonLibrary;
using zu::host::imp::StandInAddonCB;
using zu::host::imp::ToStandInAddonCB;

namespace {

const StandInAddonCB* Host(void* handle, const char* function) {
  const StandInAddonCB* host = ToStandInAddonCB(handle);
  if (host == nullptr)
    fprintf(stderr, "libXBMC_addon: %s called without a valid add-on handle\n", function);
  return host;
}

// An open file. The stream is opened for reading and writing when the file was opened for
// writing, and then unbuffered, so that a write reports what reached the file (a buffered one
// would fail only at close, where the interface has no result); C requires a flush or seek
// between a write and a following read (and vice versa), so the last direction is remembered.
struct HostFile {
  FILE* stream = nullptr;
  enum class Last { None, Read, Write } last = Last::None;
};

HostFile* OpenHostFile(const char* path, int flags, const char* mode, bool unbuffered) {
  if (path == nullptr || *path == '\0')
    return nullptr;
  int fd = open(path, flags | O_CLOEXEC, 0644);
  if (fd < 0)
    return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  FILE* stream = fdopen(fd, mode);
  if (stream == nullptr) {
    close(fd);
    return nullptr;
  }
  if (unbuffered)
    setvbuf(stream, nullptr, _IONBF, 0);
  HostFile* file = new HostFile;
  file->stream = stream;
  return file;
}

void TurnTo(HostFile* file, HostFile::Last direction) {
  if (file->last != HostFile::Last::None && file->last != direction)
    fseeko(file->stream, 0, SEEK_CUR);
  file->last = direction;
}

bool IsDirectory(const char* path) {
  struct stat info;
  return path != nullptr && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// True when the bytes form UTF-8 sequences (lead bytes with their continuation bytes).
bool IsUtf8(const unsigned char* text) {
  while (*text != 0) {
    unsigned char c = *text;
    int follow = c < 0x80             ? 0
                 : (c & 0xE0) == 0xC0 ? 1
                 : (c & 0xF0) == 0xE0 ? 2
                 : (c & 0xF8) == 0xF0 ? 3
                                      : -1;
    if (follow < 0 || (follow == 1 && c < 0xC2))
      return false;
    ++text;
    for (int i = 0; i < follow; ++i, ++text) {
      if ((*text & 0xC0) != 0x80)
        return false;
    }
  }
  return true;
}

char* CopyText(const std::string& text) {
  char* copy = static_cast<char*>(malloc(text.size() + 1));
  if (copy != nullptr)
    memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

ZU_HOST_EXPORT void* XBMC_register_me(void* handle) {
  const StandInAddonCB* host = Host(handle, "XBMC_register_me");
  if (host == nullptr)
    return nullptr;
  return host->bridge->registerMe(host->addon.addonData, kAddonLibrary);
}

ZU_HOST_EXPORT void XBMC_unregister_me(void* handle, void* cb) {
  if (const StandInAddonCB* host = Host(handle, "XBMC_unregister_me"))
    host->bridge->unregisterMe(host->addon.addonData, kAddonLibrary, cb);
}

ZU_HOST_EXPORT void XBMC_log(void* handle, void* cb, int level, const char* text) {
  if (const StandInAddonCB* host = Host(handle, "XBMC_log"))
    host->bridge->log(host->addon.addonData, cb, level, text);
}

// The host keeps no settings for add-ons.
ZU_HOST_EXPORT bool XBMC_get_setting(void*, void*, const char*, void*) {
  return false;
}

ZU_HOST_EXPORT void XBMC_queue_notification(void* handle, void* cb, int kind, const char* text) {
  if (const StandInAddonCB* host = Host(handle, "XBMC_queue_notification"))
    host->bridge->notify(host->addon.addonData, cb, kind, text);
}

// The stand-in host sends nothing onto the network.
ZU_HOST_EXPORT bool XBMC_wake_on_lan(void* handle, void* cb, const char* mac) {
  if (const StandInAddonCB* host = Host(handle, "XBMC_wake_on_lan"))
    host->bridge->note(host->addon.addonData, cb, "XBMC_wake_on_lan", mac != nullptr ? mac : "");
  return false;
}

// UTF-8 text is copied as it is; anything else is taken as Latin-1. Free with XBMC_free_string.
ZU_HOST_EXPORT char* XBMC_unknown_to_utf8(void*, void*, const char* text) {
  if (text == nullptr)
    return nullptr;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  if (IsUtf8(bytes))
    return CopyText(text);
  std::string converted;
  for (; *bytes != 0; ++bytes) {
    if (*bytes < 0x80) {
      converted += static_cast<char>(*bytes);
    } else {
      converted += static_cast<char>(0xC0 | (*bytes >> 6));
      converted += static_cast<char>(0x80 | (*bytes & 0x3F));
    }
  }
  return CopyText(converted);
}

// The stand-in host has no string tables: every code gives an empty text.
ZU_HOST_EXPORT char* XBMC_get_localized_string(void*, void*, int) {
  return CopyText("");
}

ZU_HOST_EXPORT void XBMC_free_string(void*, void*, char* text) {
  free(text);
}

ZU_HOST_EXPORT char* XBMC_get_dvd_menu_language(void*, void*) {
  return CopyText("en");
}

// Opens an existing file for reading; the caching flags mean nothing here.
ZU_HOST_EXPORT void* XBMC_open_file(void*, void*, const char* path, unsigned int) {
  return OpenHostFile(path, O_RDONLY, "rb", false);
}

// Opens a file for reading and writing at its start, creating it when missing; overwrite
// empties an existing file first.
ZU_HOST_EXPORT void* XBMC_open_file_for_write(void*, void*, const char* path, bool overwrite) {
  return OpenHostFile(path, O_RDWR | O_CREAT | (overwrite ? O_TRUNC : 0), "r+b", true);
}

// The number of bytes read (0 at the end of the file), -1 on failure.
ZU_HOST_EXPORT ssize_t XBMC_read_file(void*, void*, void* file, void* buffer, size_t size) {
  HostFile* hostFile = static_cast<HostFile*>(file);
  if (hostFile == nullptr || (buffer == nullptr && size > 0))
    return -1;
  TurnTo(hostFile, HostFile::Last::Read);
  size_t done = fread(buffer, 1, size, hostFile->stream);
  if (done == 0 && ferror(hostFile->stream)) {
    clearerr(hostFile->stream);
    return -1;
  }
  return static_cast<ssize_t>(done);
}

// Reads one line without its end ("\n", "\r\n" or "\r") into line, always terminated. A line
// longer than size - 1 characters comes in pieces over several calls. False at the end of
// the file or for a bad argument (a buffer of less than 2 bytes cannot make progress).
ZU_HOST_EXPORT bool XBMC_read_file_string(void*, void*, void* file, char* line, int size) {
  HostFile* hostFile = static_cast<HostFile*>(file);
  if (hostFile == nullptr || line == nullptr || size < 2)
    return false;
  TurnTo(hostFile, HostFile::Last::Read);
  FILE* stream = hostFile->stream;
  int length = 0;
  int c = EOF;
  bool ended = false;
  while (length < size - 1) {
    c = getc(stream);
    if (c == EOF || c == '\n' || c == '\r') {
      ended = true;
      break;
    }
    line[length++] = static_cast<char>(c);
  }
  line[length] = '\0';
  if (!ended) {
    // The buffer is full: a line end right after it belongs to this line.
    c = getc(stream);
    if (c != '\n' && c != '\r') {
      if (c != EOF)
        ungetc(c, stream);
      return true;
    }
  }
  if (c == '\r') {
    int next = getc(stream);
    if (next != '\n' && next != EOF)
      ungetc(next, stream);
  }
  return c != EOF || length > 0;
}

// The number of bytes that reached the file, -1 when none did.
ZU_HOST_EXPORT ssize_t XBMC_write_file(void*, void*, void* file, const void* data, size_t size) {
  HostFile* hostFile = static_cast<HostFile*>(file);
  if (hostFile == nullptr || (data == nullptr && size > 0))
    return -1;
  TurnTo(hostFile, HostFile::Last::Write);
  size_t done = fwrite(data, 1, size, hostFile->stream);
  if (ferror(hostFile->stream))
    clearerr(hostFile->stream);
  if (done == 0 && size > 0)
    return -1;
  return static_cast<ssize_t>(done);
}

ZU_HOST_EXPORT void XBMC_flush_file(void*, void*, void* file) {
  if (HostFile* hostFile = static_cast<HostFile*>(file))
    fflush(hostFile->stream);
}

// The new position, or -1. whence 16 asks whether the file can seek at all (1: yes).
ZU_HOST_EXPORT int64_t XBMC_seek_file(void*, void*, void* file, int64_t position, int whence) {
  HostFile* hostFile = static_cast<HostFile*>(file);
  if (hostFile == nullptr)
    return -1;
  if (whence == 16)
    return 1;
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
    return -1;
  if (fseeko(hostFile->stream, position, whence) != 0)
    return -1;
  hostFile->last = HostFile::Last::None;
  return ftello(hostFile->stream);
}

// 0 when the file now has the given length, -1 otherwise.
ZU_HOST_EXPORT int XBMC_truncate_file(void*, void*, void* file, int64_t size) {
  HostFile* hostFile = static_cast<HostFile*>(file);
  if (hostFile == nullptr || size < 0)
    return -1;
  fflush(hostFile->stream);
  return ftruncate(fileno(hostFile->stream), size) == 0 ? 0 : -1;
}

ZU_HOST_EXPORT int64_t XBMC_get_file_position(void*, void*, void* file) {
  HostFile* hostFile = static_cast<HostFile*>(file);
  return hostFile != nullptr ? ftello(hostFile->stream) : -1;
}

// The length in bytes; -1 on failure.
ZU_HOST_EXPORT int64_t XBMC_get_file_length(void*, void*, void* file) {
  HostFile* hostFile = static_cast<HostFile*>(file);
  if (hostFile == nullptr)
    return -1;
  fflush(hostFile->stream);
  struct stat info;
  if (fstat(fileno(hostFile->stream), &info) != 0)
    return -1;
  return info.st_size;
}

ZU_HOST_EXPORT void XBMC_close_file(void*, void*, void* file) {
  HostFile* hostFile = static_cast<HostFile*>(file);
  if (hostFile == nullptr)
    return;
  fclose(hostFile->stream);
  delete hostFile;
}

// Local files have no preferred chunk size.
ZU_HOST_EXPORT int XBMC_get_file_chunk_size(void*, void*, void*) {
  return 0;
}

// True when the path names anything (a file or a directory).
ZU_HOST_EXPORT bool XBMC_file_exists(void*, void*, const char* path, bool) {
  struct stat info;
  return path != nullptr && stat(path, &info) == 0;
}

// Fills a struct stat; 0 on success, -1 otherwise.
ZU_HOST_EXPORT int XBMC_stat_file(void*, void*, const char* path, void* statBuffer) {
  if (path == nullptr || statBuffer == nullptr)
    return -1;
  return stat(path, static_cast<struct stat*>(statBuffer)) == 0 ? 0 : -1;
}

ZU_HOST_EXPORT bool XBMC_delete_file(void*, void*, const char* path) {
  return path != nullptr && !IsDirectory(path) && unlink(path) == 0;
}

ZU_HOST_EXPORT bool XBMC_can_open_directory(void*, void*, const char* path) {
  if (path == nullptr)
    return false;
  DIR* directory = opendir(path);
  if (directory == nullptr)
    return false;
  closedir(directory);
  return true;
}

// True when the directory exists afterwards (also when it existed before).
ZU_HOST_EXPORT bool XBMC_create_directory(void*, void*, const char* path) {
  if (path == nullptr || *path == '\0')
    return false;
  return mkdir(path, 0755) == 0 || (errno == EEXIST && IsDirectory(path));
}

ZU_HOST_EXPORT bool XBMC_directory_exists(void*, void*, const char* path) {
  return IsDirectory(path);
}

// Removes an empty directory.
ZU_HOST_EXPORT bool XBMC_remove_directory(void*, void*, const char* path) {
  return path != nullptr && rmdir(path) == 0;
}

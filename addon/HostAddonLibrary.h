#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "addon/HostApi.h"

namespace zu {
namespace nivo {

// The add-on's binding to the host's add-on helper library (log, notifications, files),
// found below the base path that the host's add-on handle names. RegisterMe loads the
// library, resolves every function of the host interface and registers with the host; the
// destructor (or UnRegisterMe) ends the registration and closes the library.
//
// The text functions format into a buffer of kTextBufferSize bytes, as the host's own
// helpers do; longer texts are cut there. All functions may be called from any thread while
// the binding is registered; called on an unregistered binding they do nothing and report
// failure.
class HostAddonLibrary {
 public:
  static const size_t kTextBufferSize = 16384;

  HostAddonLibrary();
  ~HostAddonLibrary();

  HostAddonLibrary(const HostAddonLibrary&) = delete;
  HostAddonLibrary& operator=(const HostAddonLibrary&) = delete;

  // Loads and resolves the library and registers addonHandle (an AddonCB*). False when the
  // library cannot be loaded ("Unable to load <reason>" to standard error), a function is
  // missing ("Unable to assign function <reason>"), or the host refuses the registration
  // (silent). Nothing stays loaded after a failure.
  bool RegisterMe(void* addonHandle);
  // Ends the registration and closes the library; does nothing when not registered.
  void UnRegisterMe();
  bool IsRegistered() const { return callbacks_ != nullptr; }

  void Log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void QueueNotification(int kind, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // The file functions; a null file means failure.
  void* OpenFile(const std::string& path, unsigned int flags);
  void* OpenFileForWrite(const std::string& path, bool overwrite);
  // Bytes read or written; 0 at the end of the file; negative on failure.
  ssize_t ReadFile(void* file, void* buffer, size_t size);
  ssize_t WriteFile(void* file, const void* data, size_t size);
  // Length in bytes; negative when unknown.
  int64_t GetFileLength(void* file);
  void CloseFile(void* file);
  // False when the file was not deleted.
  bool DeleteFile(const std::string& path);

 private:
  void Close();

  void* library_ = nullptr;
  void* handle_ = nullptr;
  void* callbacks_ = nullptr;

  // The helper library's functions, in the order they are resolved.
  struct Functions {
    XBMC_register_me_t registerMe = nullptr;
    XBMC_unregister_me_t unregisterMe = nullptr;
    XBMC_log_t log = nullptr;
    XBMC_get_setting_t getSetting = nullptr;
    XBMC_queue_notification_t queueNotification = nullptr;
    XBMC_wake_on_lan_t wakeOnLan = nullptr;
    XBMC_unknown_to_utf8_t unknownToUtf8 = nullptr;
    XBMC_get_localized_string_t getLocalizedString = nullptr;
    XBMC_free_string_t freeString = nullptr;
    XBMC_get_dvd_menu_language_t getDvdMenuLanguage = nullptr;
    XBMC_open_file_t openFile = nullptr;
    XBMC_open_file_for_write_t openFileForWrite = nullptr;
    XBMC_read_file_t readFile = nullptr;
    XBMC_read_file_string_t readFileString = nullptr;
    XBMC_write_file_t writeFile = nullptr;
    XBMC_flush_file_t flushFile = nullptr;
    XBMC_seek_file_t seekFile = nullptr;
    XBMC_truncate_file_t truncateFile = nullptr;
    XBMC_get_file_position_t getFilePosition = nullptr;
    XBMC_get_file_length_t getFileLength = nullptr;
    XBMC_close_file_t closeFile = nullptr;
    XBMC_get_file_chunk_size_t getFileChunkSize = nullptr;
    XBMC_file_exists_t fileExists = nullptr;
    XBMC_stat_file_t statFile = nullptr;
    XBMC_delete_file_t deleteFile = nullptr;
    XBMC_can_open_directory_t canOpenDirectory = nullptr;
    XBMC_create_directory_t createDirectory = nullptr;
    XBMC_directory_exists_t directoryExists = nullptr;
    XBMC_remove_directory_t removeDirectory = nullptr;
  };
  Functions fn_;
};

}  // namespace nivo
}  // namespace zu

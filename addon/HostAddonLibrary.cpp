#include "addon/HostAddonLibrary.h"

#include <cstdarg>
#include <cstdio>

#include "addon/imp/HelperLibrary.h"

namespace zu {
namespace nivo {

HostAddonLibrary::HostAddonLibrary() = default;

HostAddonLibrary::~HostAddonLibrary() {
  UnRegisterMe();
}

bool HostAddonLibrary::RegisterMe(void* addonHandle) {
  UnRegisterMe();
  void* library =
      imp::OpenHelperLibrary(addonHandle, "/library.xbmc.addon/libXBMC_addon-x86_64-linux.so");
  if (library == nullptr)
    return false;
  using imp::ResolveHelperFunction;
  // Resolution stops at the first missing function, which is the one reported.
  const bool resolved =
      ResolveHelperFunction(library, "XBMC_register_me", fn_.registerMe) &&
      ResolveHelperFunction(library, "XBMC_unregister_me", fn_.unregisterMe) &&
      ResolveHelperFunction(library, "XBMC_log", fn_.log) &&
      ResolveHelperFunction(library, "XBMC_get_setting", fn_.getSetting) &&
      ResolveHelperFunction(library, "XBMC_queue_notification", fn_.queueNotification) &&
      ResolveHelperFunction(library, "XBMC_wake_on_lan", fn_.wakeOnLan) &&
      ResolveHelperFunction(library, "XBMC_unknown_to_utf8", fn_.unknownToUtf8) &&
      ResolveHelperFunction(library, "XBMC_get_localized_string", fn_.getLocalizedString) &&
      ResolveHelperFunction(library, "XBMC_free_string", fn_.freeString) &&
      ResolveHelperFunction(library, "XBMC_get_dvd_menu_language", fn_.getDvdMenuLanguage) &&
      ResolveHelperFunction(library, "XBMC_open_file", fn_.openFile) &&
      ResolveHelperFunction(library, "XBMC_open_file_for_write", fn_.openFileForWrite) &&
      ResolveHelperFunction(library, "XBMC_read_file", fn_.readFile) &&
      ResolveHelperFunction(library, "XBMC_read_file_string", fn_.readFileString) &&
      ResolveHelperFunction(library, "XBMC_write_file", fn_.writeFile) &&
      ResolveHelperFunction(library, "XBMC_flush_file", fn_.flushFile) &&
      ResolveHelperFunction(library, "XBMC_seek_file", fn_.seekFile) &&
      ResolveHelperFunction(library, "XBMC_truncate_file", fn_.truncateFile) &&
      ResolveHelperFunction(library, "XBMC_get_file_position", fn_.getFilePosition) &&
      ResolveHelperFunction(library, "XBMC_get_file_length", fn_.getFileLength) &&
      ResolveHelperFunction(library, "XBMC_close_file", fn_.closeFile) &&
      ResolveHelperFunction(library, "XBMC_get_file_chunk_size", fn_.getFileChunkSize) &&
      ResolveHelperFunction(library, "XBMC_file_exists", fn_.fileExists) &&
      ResolveHelperFunction(library, "XBMC_stat_file", fn_.statFile) &&
      ResolveHelperFunction(library, "XBMC_delete_file", fn_.deleteFile) &&
      ResolveHelperFunction(library, "XBMC_can_open_directory", fn_.canOpenDirectory) &&
      ResolveHelperFunction(library, "XBMC_create_directory", fn_.createDirectory) &&
      ResolveHelperFunction(library, "XBMC_directory_exists", fn_.directoryExists) &&
      ResolveHelperFunction(library, "XBMC_remove_directory", fn_.removeDirectory);
  library_ = library;
  if (!resolved) {
    Close();
    return false;
  }
  handle_ = addonHandle;
  callbacks_ = fn_.registerMe(addonHandle);
  if (callbacks_ == nullptr) {
    Close();
    return false;
  }
  return true;
}

void HostAddonLibrary::UnRegisterMe() {
  if (callbacks_ != nullptr && fn_.unregisterMe != nullptr)
    fn_.unregisterMe(handle_, callbacks_);
  Close();
}

void HostAddonLibrary::Close() {
  imp::CloseHelperLibrary(library_);
  library_ = nullptr;
  handle_ = nullptr;
  callbacks_ = nullptr;
  fn_ = Functions();
}

void HostAddonLibrary::Log(int level, const char* format, ...) {
  if (callbacks_ == nullptr)
    return;
  char text[kTextBufferSize];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof(text), format, arguments);
  va_end(arguments);
  fn_.log(handle_, callbacks_, level, text);
}

void HostAddonLibrary::QueueNotification(int kind, const char* format, ...) {
  if (callbacks_ == nullptr)
    return;
  char text[kTextBufferSize];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof(text), format, arguments);
  va_end(arguments);
  fn_.queueNotification(handle_, callbacks_, kind, text);
}

void* HostAddonLibrary::OpenFile(const std::string& path, unsigned int flags) {
  return callbacks_ != nullptr ? fn_.openFile(handle_, callbacks_, path.c_str(), flags) : nullptr;
}

void* HostAddonLibrary::OpenFileForWrite(const std::string& path, bool overwrite) {
  return callbacks_ != nullptr ? fn_.openFileForWrite(handle_, callbacks_, path.c_str(), overwrite)
                               : nullptr;
}

ssize_t HostAddonLibrary::ReadFile(void* file, void* buffer, size_t size) {
  return callbacks_ != nullptr ? fn_.readFile(handle_, callbacks_, file, buffer, size) : -1;
}

ssize_t HostAddonLibrary::WriteFile(void* file, const void* data, size_t size) {
  return callbacks_ != nullptr ? fn_.writeFile(handle_, callbacks_, file, data, size) : -1;
}

int64_t HostAddonLibrary::GetFileLength(void* file) {
  return callbacks_ != nullptr ? fn_.getFileLength(handle_, callbacks_, file) : -1;
}

void HostAddonLibrary::CloseFile(void* file) {
  if (callbacks_ != nullptr && file != nullptr)
    fn_.closeFile(handle_, callbacks_, file);
}

bool HostAddonLibrary::DeleteFile(const std::string& path) {
  return callbacks_ != nullptr && fn_.deleteFile(handle_, callbacks_, path.c_str());
}

}  // namespace nivo
}  // namespace zu

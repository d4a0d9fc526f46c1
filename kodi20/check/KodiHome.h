#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zu {
namespace kodi20 {
namespace check {

using Settings = std::vector<std::pair<std::string, std::string>>;

// A Kodi home directory made for one test: the web server with JSON-RPC on a given port, the
// named add-ons installed and enabled before the first start (so that no "disabled add-ons"
// dialog blocks the windows), their settings, and nothing else. Kodi's own files go to
// <directory>/.kodi when it runs with HOME=<directory>.
class KodiHome {
 public:
  explicit KodiHome(std::string directory) : directory_(std::move(directory)) {}

  // Empties the directory, then writes userdata/guisettings.xml and the add-on database with
  // the add-ons enabled and those of disabledAddons disabled by the user (Kodi asks whether to
  // enable an installed add-on it has no record of). False with error set when a file cannot
  // be written.
  bool Prepare(int webServerPort, const std::vector<std::string>& enabledAddons,
               const std::vector<std::string>& disabledAddons, std::string& error);
  // Copies an add-on's directory (addon.xml and its library side by side) to addons/<id>.
  bool InstallAddon(const std::string& sourceDirectory, const std::string& id, std::string& error);
  // Writes userdata/addon_data/<id>/settings.xml.
  bool WriteAddonSettings(const std::string& id, const Settings& settings, std::string& error);
  // Removes Kodi's own channel and guide databases, so that the next start learns channels
  // and guide only from the add-on.
  bool ForgetPvrDatabases(std::string& error);

  const std::string& Directory() const { return directory_; }
  std::string KodiDirectory() const { return directory_ + "/.kodi"; }
  std::string LogPath() const { return KodiDirectory() + "/temp/kodi.log"; }
  std::string AddonDataDirectory(const std::string& id) const {
    return KodiDirectory() + "/userdata/addon_data/" + id;
  }

 private:
  std::string directory_;
};

// Text with &, <, >, " and ' replaced by XML entities.
std::string XmlEscape(const std::string& text);
// guisettings.xml: the web server without authentication on the port, the add-on's own
// channel numbers, sound to ALSA's null device, and no screensaver, add-on update checks or
// channel information over the picture to get in the way.
std::string GuiSettingsXml(int webServerPort);
// An add-on's settings.xml in Kodi's version 2 layout.
std::string AddonSettingsXml(const Settings& settings);
// The SQL that creates Kodi 20's add-on database (version 33) with the add-ons enabled or
// disabled by the user.
std::string AddonDatabaseSql(const std::vector<std::string>& enabledAddons,
                             const std::vector<std::string>& disabledAddons);
// The ids of the PVR add-ons installed with Kodi (folders "pvr.*" of the directory).
std::vector<std::string> SystemPvrAddons(const std::string& directory = "/usr/share/kodi/addons");

}  // namespace check
}  // namespace kodi20
}  // namespace zu

#include "kodi20/check/KodiHome.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "kodi20/check/ChildProcess.h"

namespace zu {
namespace kodi20 {
namespace check {

namespace fs = std::filesystem;

namespace {

bool WriteText(const std::string& path, const std::string& text, std::string& error) {
  std::error_code code;
  fs::create_directories(fs::path(path).parent_path(), code);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

std::string SqlQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

}  // namespace

std::string XmlEscape(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string GuiSettingsXml(int webServerPort) {
  const Settings settings = {
      {"services.webserver", "true"},
      {"services.webserverport", std::to_string(webServerPort)},
      {"services.webserverauthentication", "false"},
      {"pvrmanager.usebackendchannelnumbers", "true"},
      {"screensaver.mode", ""},
      {"general.addonupdates", "2"},
      {"general.addonnotifications", "false"},
      // Without a sound device Kodi finds no audio sink, and while it tries to make one for a
      // stream the picture stands still; ALSA's null device takes the sound instead.
      {"audiooutput.audiodevice", "ALSA:null"},
      // No channel information over the picture when a channel starts.
      {"pvrmenu.displaychannelinfo", "0"},
  };
  return AddonSettingsXml(settings);
}

std::string AddonSettingsXml(const Settings& settings) {
  std::string text = "<settings version=\"2\">\n";
  for (const auto& setting : settings) {
    text += "    <setting id=\"" + XmlEscape(setting.first) + "\">" + XmlEscape(setting.second) +
            "</setting>\n";
  }
  return text + "</settings>\n";
}

std::string AddonDatabaseSql(const std::vector<std::string>& enabledAddons,
                             const std::vector<std::string>& disabledAddons) {
  char now[32];
  std::time_t t = std::time(nullptr);
  struct tm utc;
  ::gmtime_r(&t, &utc);
  std::strftime(now, sizeof(now), "%Y-%m-%d %H:%M:%S", &utc);
  std::string sql =
      "CREATE TABLE version (idVersion integer, iCompressCount integer);\n"
      "INSERT INTO version VALUES (33, 0);\n"
      "CREATE TABLE installed (id INTEGER PRIMARY KEY, addonID TEXT UNIQUE, enabled BOOLEAN, "
      "installDate TEXT, lastUpdated TEXT, lastUsed TEXT, origin TEXT NOT NULL DEFAULT '', "
      "disabledReason INTEGER NOT NULL DEFAULT 0);\n";
  for (const std::string& id : enabledAddons) {
    sql += "INSERT INTO installed (addonID, enabled, installDate) VALUES (" + SqlQuote(id) +
           ", 1, " + SqlQuote(now) + ");\n";
  }
  // Disabled by the user (reason 1), so Kodi does not offer to enable them.
  for (const std::string& id : disabledAddons) {
    sql +=
        "INSERT OR IGNORE INTO installed (addonID, enabled, installDate, disabledReason) "
        "VALUES (" +
        SqlQuote(id) + ", 0, " + SqlQuote(now) + ", 1);\n";
  }
  return sql;
}

std::vector<std::string> SystemPvrAddons(const std::string& directory) {
  std::vector<std::string> ids;
  std::error_code code;
  for (const auto& entry : fs::directory_iterator(directory, code)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("pvr.", 0) == 0 && fs::exists(entry.path() / "addon.xml", code))
      ids.push_back(name);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

bool KodiHome::Prepare(int webServerPort, const std::vector<std::string>& enabledAddons,
                       const std::vector<std::string>& disabledAddons, std::string& error) {
  std::error_code code;
  fs::remove_all(directory_, code);
  if (code) {
    error = "cannot empty " + directory_ + ": " + code.message();
    return false;
  }
  std::string userdata = KodiDirectory() + "/userdata";
  fs::create_directories(userdata + "/Database", code);
  fs::create_directories(KodiDirectory() + "/addons", code);
  fs::create_directories(KodiDirectory() + "/temp", code);
  if (code) {
    error = "cannot create " + userdata + ": " + code.message();
    return false;
  }
  if (!WriteText(userdata + "/guisettings.xml", GuiSettingsXml(webServerPort), error))
    return false;
  std::string output;
  ChildProcess::Options sqlite;
  sqlite.argv = {"sqlite3", userdata + "/Database/Addons33.db",
                 AddonDatabaseSql(enabledAddons, disabledAddons)};
  if (!RunProgram(sqlite, std::chrono::seconds(30), output, error)) {
    error = "cannot create the add-on database: " + error + " " + output;
    return false;
  }
  return true;
}

bool KodiHome::InstallAddon(const std::string& sourceDirectory, const std::string& id,
                            std::string& error) {
  std::error_code code;
  if (!fs::exists(sourceDirectory + "/addon.xml", code)) {
    error = "no add-on at " + sourceDirectory + " (addon.xml is missing)";
    return false;
  }
  std::string target = KodiDirectory() + "/addons/" + id;
  fs::remove_all(target, code);
  fs::create_directories(target, code);
  fs::copy(sourceDirectory, target, fs::copy_options::recursive, code);
  if (code) {
    error = "cannot copy " + sourceDirectory + " to " + target + ": " + code.message();
    return false;
  }
  return true;
}

bool KodiHome::WriteAddonSettings(const std::string& id, const Settings& settings,
                                  std::string& error) {
  return WriteText(AddonDataDirectory(id) + "/settings.xml", AddonSettingsXml(settings), error);
}

bool KodiHome::ForgetPvrDatabases(std::string& error) {
  std::error_code code;
  fs::path database = KodiDirectory() + "/userdata/Database";
  for (const auto& entry : fs::directory_iterator(database, code)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("TV", 0) == 0 || name.rfind("Epg", 0) == 0) {
      fs::remove(entry.path(), code);
      if (code) {
        error = "cannot remove " + entry.path().string() + ": " + code.message();
        return false;
      }
    }
  }
  if (code) {
    error = "cannot list " + database.string() + ": " + code.message();
    return false;
  }
  return true;
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu

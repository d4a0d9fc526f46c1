#pragma once

#include <string>

namespace zu {
namespace host {

// What the host needs from an add-on folder's addon.xml.
struct AddonManifest {
  std::string id;           // id attribute of the <addon> element
  std::string version;      // version attribute of the <addon> element
  std::string name;         // name attribute of the <addon> element (may be empty)
  std::string libraryFile;  // library_linux (or library) of the xbmc.pvrclient extension
};

// Parses the text of an addon.xml. False, with a readable reason in error, when the text is
// not well-formed enough to read (an unterminated tag, comment or attribute), has no <addon>
// element with an id, no xbmc.pvrclient extension, no library attribute on it, or a library
// name that would leave the add-on folder (absolute, or with a ".." component).
bool ParseAddonManifest(const std::string& text, AddonManifest& manifest, std::string& error);

// Reads folder + "/addon.xml" and parses it as ParseAddonManifest does; a missing or
// unreadable file is reported in error as well.
bool ReadAddonManifest(const std::string& folder, AddonManifest& manifest, std::string& error);

}  // namespace host
}  // namespace zu

#include "host/AddonManifest.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace zu {
namespace host {
namespace {

struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
};

bool IsNameCharacter(char c) {
  return !(c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '=' || c == '>' || c == '/' ||
           c == '<' || c == '"' || c == '\'');
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void AppendUtf8(unsigned long code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Replaces the predefined and numeric character references; an unknown or malformed
// reference is kept as it is written.
std::string DecodeEntities(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    size_t end = text[i] == '&' ? text.find(';', i) : std::string::npos;
    if (end == std::string::npos || end - i > 10) {
      out += text[i];
      continue;
    }
    std::string entity = text.substr(i + 1, end - i - 1);
    static const std::map<std::string, char> named = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    auto found = named.find(entity);
    if (found != named.end()) {
      out += found->second;
      i = end;
    } else if (entity.size() > 1 && entity[0] == '#') {
      bool hex = entity[1] == 'x' || entity[1] == 'X';
      std::string digits = entity.substr(hex ? 2 : 1);
      char* rest = nullptr;
      unsigned long code = strtoul(digits.c_str(), &rest, hex ? 16 : 10);
      if (digits.empty() || *rest != '\0' || code == 0 || code > 0x10FFFF) {
        out += text[i];
        continue;
      }
      AppendUtf8(code, out);
      i = end;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Reads the start tag at text[position] == '<' (a plain element, not a comment or
// declaration) and moves position past it.
bool ReadStartTag(const std::string& text, size_t& position, Element& element, std::string& error) {
  size_t i = position + 1;
  while (i < text.size() && IsNameCharacter(text[i]))
    element.name += text[i++];
  if (element.name.empty()) {
    error = "addon.xml: a tag without a name";
    return false;
  }
  for (;;) {
    while (i < text.size() && IsSpace(text[i]))
      ++i;
    if (i >= text.size()) {
      error = "addon.xml: the <" + element.name + "> tag is not closed";
      return false;
    }
    if (text[i] == '>') {
      position = i + 1;
      return true;
    }
    if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '>') {
      position = i + 2;
      return true;
    }
    std::string name;
    while (i < text.size() && IsNameCharacter(text[i]))
      name += text[i++];
    while (i < text.size() && IsSpace(text[i]))
      ++i;
    if (name.empty() || i >= text.size() || text[i] != '=') {
      error = "addon.xml: a malformed attribute in the <" + element.name + "> tag";
      return false;
    }
    ++i;
    while (i < text.size() && IsSpace(text[i]))
      ++i;
    if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) {
      error = "addon.xml: the attribute " + name + " of <" + element.name + "> has no quoted value";
      return false;
    }
    char quote = text[i++];
    size_t end = text.find(quote, i);
    if (end == std::string::npos) {
      error = "addon.xml: the attribute " + name + " of <" + element.name + "> is not terminated";
      return false;
    }
    element.attributes[name] = DecodeEntities(text.substr(i, end - i));
    i = end + 1;
  }
}

// Skips a comment, declaration, processing instruction or end tag at text[position] == '<'.
// False when it is not one of those; error is set when it is one but is not terminated.
bool SkipMarkup(const std::string& text, size_t& position, std::string& error) {
  struct Form {
    const char* start;
    const char* end;
    const char* what;
  };
  static const Form forms[] = {{"<!--", "-->", "comment"},
                               {"<![CDATA[", "]]>", "CDATA section"},
                               {"<?", "?>", "processing instruction"},
                               {"<!", ">", "declaration"},
                               {"</", ">", "end tag"}};
  for (const Form& form : forms) {
    if (text.compare(position, std::char_traits<char>::length(form.start), form.start) != 0)
      continue;
    size_t end = text.find(form.end, position + std::char_traits<char>::length(form.start));
    if (end == std::string::npos) {
      error = std::string("addon.xml: a ") + form.what + " is not terminated";
      return true;
    }
    position = end + std::char_traits<char>::length(form.end);
    return true;
  }
  return false;
}

bool IsSafeLibraryName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name.find('\0') != std::string::npos)
    return false;
  std::stringstream components(name);
  std::string component;
  while (std::getline(components, component, '/')) {
    if (component == "..")
      return false;
  }
  return true;
}

}  // namespace

bool ParseAddonManifest(const std::string& text, AddonManifest& manifest, std::string& error) {
  manifest = AddonManifest();
  bool haveAddon = false;
  bool haveExtension = false;
  size_t position = 0;
  while ((position = text.find('<', position)) != std::string::npos) {
    error.clear();
    if (SkipMarkup(text, position, error)) {
      if (!error.empty())
        return false;
      continue;
    }
    Element element;
    if (!ReadStartTag(text, position, element, error))
      return false;
    if (element.name == "addon" && !haveAddon) {
      haveAddon = true;
      manifest.id = element.attributes["id"];
      manifest.version = element.attributes["version"];
      manifest.name = element.attributes["name"];
    } else if (element.name == "extension" && !haveExtension &&
               element.attributes["point"] == "xbmc.pvrclient") {
      haveExtension = true;
      manifest.libraryFile = element.attributes.count("library_linux") != 0
                                 ? element.attributes["library_linux"]
                                 : element.attributes["library"];
    }
  }
  error.clear();
  if (!haveAddon || manifest.id.empty())
    error = "addon.xml: no <addon> element with an id";
  else if (!haveExtension)
    error = "addon.xml: no extension with point=\"xbmc.pvrclient\"";
  else if (manifest.libraryFile.empty())
    error = "addon.xml: the xbmc.pvrclient extension names no library_linux";
  else if (!IsSafeLibraryName(manifest.libraryFile))
    error =
        "addon.xml: the library \"" + manifest.libraryFile + "\" lies outside the add-on folder";
  return error.empty();
}

bool ReadAddonManifest(const std::string& folder, AddonManifest& manifest, std::string& error) {
  std::string path = folder + "/addon.xml";
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "no add-on at " + folder + ": cannot read " + path;
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  if (file.bad()) {
    error = "cannot read " + path;
    return false;
  }
  if (!ParseAddonManifest(text.str(), manifest, error)) {
    error = path + ": " + error.substr(error.find(' ') + 1);
    return false;
  }
  return true;
}

}  // namespace host
}  // namespace zu

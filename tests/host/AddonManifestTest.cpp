#include <gtest/gtest.h>

#include "host/AddonManifest.h"

namespace zu {
namespace host {
namespace {

TEST(AddonManifest, FindsThePvrClientLibraryAmongOtherMarkup) {
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- <addon id=\"commented.out\"> -->\n"
      "<addon id='pvr.nivotv' version=\"4.0.2\" name=\"Nivo &amp; TV\" provider-name=\"x\">\n"
      "  <requires><import addon=\"xbmc.pvr\" version=\"4.1.0\"/></requires>\n"
      "  <extension point=\"xbmc.addon.metadata\" library_linux=\"wrong.so\">\n"
      "    <summary>a &lt;summary&gt;</summary><![CDATA[ <extension point=\"x\"> ]]>\n"
      "  </extension>\n"
      "  <extension\n    point = \"xbmc.pvrclient\"\n    library_linux=\"lib&#90;U.so\" />\n"
      "</addon>\n";
  AddonManifest manifest;
  std::string error;
  ASSERT_TRUE(ParseAddonManifest(text, manifest, error)) << error;
  EXPECT_EQ("pvr.nivotv", manifest.id);
  EXPECT_EQ("4.0.2", manifest.version);
  EXPECT_EQ("Nivo & TV", manifest.name);
  EXPECT_EQ("libZU.so", manifest.libraryFile);
}

TEST(AddonManifest, FallsBackToThePlainLibraryAttributeAndAllowsSubfolders) {
  AddonManifest manifest;
  std::string error;
  ASSERT_TRUE(ParseAddonManifest(
      "<addon id=\"a\"><extension point=\"xbmc.pvrclient\" library=\"lib/x.so\"/></addon>",
      manifest, error))
      << error;
  EXPECT_EQ("lib/x.so", manifest.libraryFile);
}

TEST(AddonManifest, RefusesWhatItCannotUseWithAReason) {
  struct Case {
    const char* text;
    const char* reason;
  };
  const Case cases[] = {
      {"", "no <addon> element"},
      {"<addon version=\"1\"><extension point=\"xbmc.pvrclient\" library_linux=\"a.so\"/></addon>",
       "no <addon> element with an id"},
      {"<addon id=\"a\"><extension point=\"xbmc.python.script\" library=\"a.py\"/></addon>",
       "no extension with point=\"xbmc.pvrclient\""},
      {"<addon id=\"a\"><extension point=\"xbmc.pvrclient\"/></addon>", "names no library_linux"},
      {"<addon id=\"a\"><extension point=\"xbmc.pvrclient\" library_linux=\"/lib/x.so\"/>",
       "outside the add-on folder"},
      {"<addon id=\"a\"><extension point=\"xbmc.pvrclient\" library_linux=\"a/../../x.so\"/>",
       "outside the add-on folder"},
      {"<addon id=\"a\"><extension point=\"xbmc.pvrclient\" library_linux=\"x.so",
       "not terminated"},
      {"<addon id=\"a\"><extension point=xbmc.pvrclient/>", "no quoted value"},
      {"<addon id=\"a\"", "not closed"},
      {"<addon id=\"a\"><!-- never ends", "comment is not terminated"},
      {"<addon id=\"a\"><extension =\"x\"/>", "malformed attribute"},
  };
  for (const Case& c : cases) {
    AddonManifest manifest;
    std::string error;
    EXPECT_FALSE(ParseAddonManifest(c.text, manifest, error)) << c.text;
    EXPECT_NE(std::string::npos, error.find(c.reason)) << c.text << " -> " << error;
  }
}

TEST(AddonManifest, AMissingFileIsReported) {
  AddonManifest manifest;
  std::string error;
  EXPECT_FALSE(ReadAddonManifest("/nonexistent/folder", manifest, error));
  EXPECT_NE(std::string::npos, error.find("/nonexistent/folder/addon.xml")) << error;
}

}  // namespace
}  // namespace host
}  // namespace zu

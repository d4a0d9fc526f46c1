#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nivo/ChannelLogo.h"

namespace {

using zu::nivo::Channel;
using zu::nivo::MakeChannelLogoPath;

std::string LogoPath(const std::string& name, const std::string& logoUri) {
  Channel channel;
  channel.name = name;
  channel.logoUri = logoUri;
  return MakeChannelLogoPath("/user/channel_logos", channel);
}

TEST(ChannelLogo, NameAndExtensionOfTheLogoUrl) {
  EXPECT_EQ("/user/channel_logos/Das Erste.png",
            LogoPath("Das Erste", "http://h/station/128x64/ard.png"));
  EXPECT_EQ("/user/channel_logos/Das Erste", LogoPath("Das Erste", "http://h/a.b/logo"));
  EXPECT_EQ("/user/channel_logos/ZDF", LogoPath("ZDF", ""));
  EXPECT_EQ("/user/channel_logos/Sat.1 Gold.jpg", LogoPath("Sat.1 Gold", "http://h/x.y.jpg"));
  EXPECT_EQ("/user/channel_logos/Sat.png", LogoPath("Sat.", "http://h/x.png"));
  EXPECT_EQ("/user/channel_logos/M\xc3\xbcnchen TV.png",
            LogoPath("M\xc3\xbcnchen TV", "http://h/m.png"));
  EXPECT_EQ("channel_logos/ARD.png", MakeChannelLogoPath("channel_logos/", [] {
              Channel channel;
              channel.name = "ARD";
              channel.logoUri = "http://h/ard.png";
              return channel;
            }()));
}

TEST(ChannelLogo, UnsafeNamesStayInsideTheDirectory) {
  EXPECT_EQ("/user/channel_logos/.._.._etc_passwd", LogoPath("../../etc/passwd", ""));
  EXPECT_EQ("/user/channel_logos/a_b_c.png", LogoPath("a\\b/c", "http://h/x.png"));
  EXPECT_EQ("/user/channel_logos/_", LogoPath("", ""));
  EXPECT_EQ("/user/channel_logos/_", LogoPath(".", ""));
  EXPECT_EQ("/user/channel_logos/__", LogoPath("..", ""));
  EXPECT_EQ("/user/channel_logos/_.png", LogoPath(".", "http://h/x.png"));
  EXPECT_EQ("/user/channel_logos/a_b_c", LogoPath(std::string("a\nb\0c", 5), ""));
  EXPECT_EQ("/user/channel_logos/a_b", LogoPath("a\x7f"
                                                "b",
                                                ""));
  EXPECT_EQ("/user/channel_logos/ARD._x", LogoPath("ARD", "http://h/a.\\x"));
  EXPECT_EQ("/user/channel_logos/..hidden", LogoPath("..hidden", ""));
  for (const std::string& name :
       std::vector<std::string>{"/", "//", "..", "a/../..", "\\..\\..", std::string(1, '\0')}) {
    const std::string path = LogoPath(name, "http://h/x/..");
    ASSERT_EQ(0u, path.find("/user/channel_logos/")) << name;
    const std::string file = path.substr(std::string("/user/channel_logos/").size());
    EXPECT_EQ(std::string::npos, file.find('/')) << name;
    EXPECT_NE("..", file) << name;
    EXPECT_NE(".", file) << name;
    EXPECT_NE("", file) << name;
  }
}

}  // namespace

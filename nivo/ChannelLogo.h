#pragma once

#include <string>

#include "nivo/Channel.h"

namespace zu {
namespace nivo {

// The channel name as a file name that stays inside its directory: "/", "\" and control
// characters (NUL included) become "_", and a name that is empty or only dots becomes as many
// "_" (at least one). Other names, with spaces, dots or non-ASCII letters, stay as they are.
std::string MakeLogoFileName(const std::string& channelName);

// The local logo file of a channel: the logo directory joined with MakeLogoFileName of its name,
// followed by "." and the extension of its logo URL (the text after the last "." of the URL's
// last "/" segment; nothing when that has no "."). Unsafe characters of the extension are
// replaced like those of the name.
std::string MakeChannelLogoPath(const std::string& logoDirectory, const Channel& channel);

}  // namespace nivo
}  // namespace zu

#include "nivo/ChannelLogo.h"

#include "base/FileName.h"

namespace zu {
namespace nivo {

namespace {

bool IsUnsafe(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return c == '/' || c == '\\' || u < 0x20 || u == 0x7F;
}

std::string ReplaceUnsafe(const std::string& text) {
  std::string safe = text;
  for (char& c : safe) {
    if (IsUnsafe(c))
      c = '_';
  }
  return safe;
}

}  // namespace

std::string MakeLogoFileName(const std::string& channelName) {
  std::string name = ReplaceUnsafe(channelName);
  // "", "." and ".." would name the directory itself or its parent.
  if (name.find_first_not_of('.') == std::string::npos) {
    name.assign(name.empty() ? 1 : name.size(), '_');
  }
  return name;
}

std::string MakeChannelLogoPath(const std::string& logoDirectory, const Channel& channel) {
  const std::string path =
      zu::file_name::AddFileNameAndPath(logoDirectory, MakeLogoFileName(channel.name));
  const std::string extension = ReplaceUnsafe(zu::file_name::GetExtension(channel.logoUri));
  return zu::file_name::AddFileNameAndExtension(path, extension);
}

}  // namespace nivo
}  // namespace zu

#include "kodi20/check/Picture.h"

#include <cstdlib>

#include "kodi20/check/ChildProcess.h"

namespace zu {
namespace kodi20 {
namespace check {

namespace {

// Whether two pixels (three colours each) differ by more than tolerance in a colour.
bool Unlike(const char* one, const char* other, int tolerance) {
  for (int colour = 0; colour < 3; ++colour) {
    int a = static_cast<unsigned char>(one[colour]);
    int b = static_cast<unsigned char>(other[colour]);
    if (std::abs(a - b) > tolerance)
      return true;
  }
  return false;
}

}  // namespace

bool ReadPicture(const std::string& path, const ScreenArea& area, Picture& picture,
                 std::string& error) {
  ChildProcess::Options convert;
  std::string geometry = std::to_string(area.width) + "x" + std::to_string(area.height) + "+" +
                         std::to_string(area.x) + "+" + std::to_string(area.y);
  convert.argv = {"convert", path, "-crop", geometry, "+repage", "-depth", "8", "rgb:-"};
  std::string output;
  if (!RunProgram(convert, std::chrono::seconds(30), output, error)) {
    error = "cannot read " + path + ": " + error + " " + output.substr(0, 200);
    return false;
  }
  // A crop that reaches beyond the picture is cut short; a message would add to the pixels.
  if (output.size() != static_cast<std::size_t>(area.width) * area.height * 3) {
    error = path + " does not cover the area " + geometry;
    return false;
  }
  picture.width = area.width;
  picture.height = area.height;
  picture.rgb = std::move(output);
  return true;
}

std::size_t ChangedPixels(const Picture& a, const Picture& b, int tolerance) {
  std::size_t pixels = a.rgb.size() / 3;
  if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size())
    return pixels;
  std::size_t changed = 0;
  for (std::size_t i = 0; i < pixels; ++i) {
    if (Unlike(&a.rgb[i * 3], &b.rgb[i * 3], tolerance))
      ++changed;
  }
  return changed;
}

std::size_t PixelsUnlikeFirst(const Picture& picture, int tolerance) {
  std::size_t unlike = 0;
  for (std::size_t i = 1; i < picture.rgb.size() / 3; ++i) {
    if (Unlike(&picture.rgb[0], &picture.rgb[i * 3], tolerance))
      ++unlike;
  }
  return unlike;
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu

#pragma once

#include <cstddef>
#include <string>

namespace zu {
namespace kodi20 {
namespace check {

// A rectangle of the screen in pixels, from its top left corner.
struct ScreenArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Pixels as 8-bit red, green and blue, row by row from the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::string rgb;
};

// Reads an area of a PNG file with ImageMagick's convert. False with error set when the file
// cannot be read or does not cover the whole area.
bool ReadPicture(const std::string& path, const ScreenArea& area, Picture& picture,
                 std::string& error);

// The pixels of a that differ from those of b at the same place by more than tolerance in
// one of their colours; every pixel of a when the two differ in size.
std::size_t ChangedPixels(const Picture& a, const Picture& b, int tolerance);
// The pixels that differ from the first one by more than tolerance in one of their colours:
// none for a uniform picture.
std::size_t PixelsUnlikeFirst(const Picture& picture, int tolerance);

}  // namespace check
}  // namespace kodi20
}  // namespace zu

#include <string>

#include <gtest/gtest.h>

#include "kodi20/check/Picture.h"

namespace {

using namespace zu::kodi20::check;

Picture Filled(int width, int height, unsigned char red, unsigned char green, unsigned char blue) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  for (int i = 0; i < width * height; ++i)
    picture.rgb += {static_cast<char>(red), static_cast<char>(green), static_cast<char>(blue)};
  return picture;
}

void Paint(Picture& picture, int pixel, unsigned char red, unsigned char green,
           unsigned char blue) {
  picture.rgb[pixel * 3] = static_cast<char>(red);
  picture.rgb[pixel * 3 + 1] = static_cast<char>(green);
  picture.rgb[pixel * 3 + 2] = static_cast<char>(blue);
}

// A still or uniform picture must not pass for a moving one: each colour counts on its own,
// steps within the tolerance are noise, and bright values are not taken for negative ones.
TEST(PictureTest, CountsOnlyStepsBeyondTheToleranceInAnyColour) {
  Picture black = Filled(4, 2, 0, 0, 0);
  EXPECT_EQ(PixelsUnlikeFirst(black, 48), 0u);
  EXPECT_EQ(ChangedPixels(black, black, 48), 0u);

  Picture noisy = black;
  Paint(noisy, 1, 48, 48, 48);
  Paint(noisy, 2, 0, 0, 49);
  Paint(noisy, 3, 200, 0, 0);
  Paint(noisy, 7, 255, 255, 255);
  EXPECT_EQ(PixelsUnlikeFirst(noisy, 48), 3u);
  EXPECT_EQ(ChangedPixels(black, noisy, 48), 3u);
  EXPECT_EQ(ChangedPixels(noisy, black, 48), 3u);
  // The first pixel is the reference, whatever its colour: only the other white one is like it.
  Paint(noisy, 0, 255, 255, 255);
  EXPECT_EQ(PixelsUnlikeFirst(noisy, 48), 6u);

  // Pictures of another size share no pixels.
  EXPECT_EQ(ChangedPixels(black, Filled(2, 4, 0, 0, 0), 48), 8u);
}

}  // namespace

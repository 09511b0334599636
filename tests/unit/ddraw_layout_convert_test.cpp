// Lock's view of a surface kept in GDI's order: converting between the two
// 24-bit orders and back must give every byte again, touch nothing past the
// row's pixels, and agree with converting colour by colour.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/pixels.h"
#include "ddraw/layout_convert.h"

namespace {

using layer::PixelBuffer;
using layer::PixelLayout;

const PixelLayout kBlueFirst{24, 0xFF0000, 0x00FF00, 0x0000FF};

PixelBuffer view(std::vector<uint8_t> &bytes, int width, int height, int pitch, const PixelLayout &layout) {
  PixelBuffer b;
  b.bits = bytes.data();
  b.width = width;
  b.height = height;
  b.pitch = pitch;
  b.layout = layout;
  return b;
}

TEST(LayoutConvert, SwapsRedAndBlueBothWaysAndLeavesThePaddingAlone) {
  const int width = 5, height = 3, pitch = 24;  // 15 bytes of pixels, 9 of padding a row
  std::vector<uint8_t> stored(pitch * height), shown(pitch * height, 0xEE), back(pitch * height, 0xEE);
  std::mt19937 random(7);
  for (uint8_t &b : stored) b = static_cast<uint8_t>(random());
  const PixelBuffer from = view(stored, width, height, pitch, kBlueFirst);
  const PixelBuffer to = view(shown, width, height, pitch, layer::layout24());
  layer::ddraw::convertPixels(from, to);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // The same colour, read in each buffer's own layout.
      EXPECT_EQ(layer::unpackColor(to.layout, layer::readPixel(to, x, y)),
                layer::unpackColor(from.layout, layer::readPixel(from, x, y)))
          << x << "," << y;
    }
    for (int i = width * 3; i < pitch; ++i) EXPECT_EQ(shown[y * pitch + i], 0xEE);
  }
  layer::ddraw::convertPixels(to, view(back, width, height, pitch, kBlueFirst));
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < width * 3; ++i) EXPECT_EQ(back[y * pitch + i], stored[y * pitch + i]);
}

TEST(LayoutConvert, OtherLayoutsGoThroughTheColour) {
  std::vector<uint8_t> wide(4 * 2), narrow(2 * 2);
  const PixelBuffer from = view(wide, 2, 1, 8, layer::layout32());
  layer::writePixel(from, 0, 0, layer::packColor(from.layout, 0x0000FF));  // red
  layer::writePixel(from, 1, 0, layer::packColor(from.layout, 0xFF0000));  // blue
  const PixelBuffer to = view(narrow, 2, 1, 4, layer::layout565());
  layer::ddraw::convertPixels(from, to);
  EXPECT_EQ(layer::readPixel(to, 0, 0), 0xF800u);
  EXPECT_EQ(layer::readPixel(to, 1, 0), 0x001Fu);
}

}  // namespace

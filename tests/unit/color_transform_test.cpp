// The per-pixel arithmetic of the colour operations and the clamping of
// their amounts.
#include <gtest/gtest.h>

#include <limits>

#include "graphics/graphic.h"
#include "support/color_model.h"

namespace {

int model(ColorOp op, int c, float amount) {
  switch (op) {
    case ColorOp::Brighten:
      return colormodel::brightened(c, amount);
    case ColorOp::Darken:
      return colormodel::darkened(c, amount);
    case ColorOp::Invert:
      return colormodel::inverted(c);
    case ColorOp::AddColor:
      return colormodel::added(c, amount);
    default:
      return c;
  }
}

int one(ColorOp op, int c, float a) {
  int32_t r = c, g = c, b = c;
  Graphic::transformPixel(op, r, g, b, a, a, a);
  return r;
}

TEST(ColorTransform, WorkedValuesTruncateTheWidenedSinglePrecisionAmount) {
  const int brightened[][2] = {{0, 25},    {10, 34},   {100, 115}, {128, 140},
                               {200, 205}, {245, 246}, {250, 250}, {255, 255}};
  for (auto [in, out] : brightened) EXPECT_EQ(one(ColorOp::Brighten, in, 0.1f), out) << in;
  const int darkened[][2] = {{0, 0}, {1, 0}, {9, 8}, {10, 8}, {11, 9}, {100, 89}, {128, 115}, {200, 179}, {255, 229}};
  for (auto [in, out] : darkened) EXPECT_EQ(one(ColorOp::Darken, in, 0.1f), out) << in;
  // 0.9 of a multiple of ten lands just below the integer; in single precision it would not.
  for (int c = 10; c <= 250; c += 10) EXPECT_EQ(one(ColorOp::Darken, c, 0.1f), c * 9 / 10 - 1) << c;
}

TEST(ColorTransform, EveryChannelValueMatchesThePlainModelWithItsOwnAmount) {
  for (float amount : {0.1f, -0.1f, 1.0f, -1.0f, -0.0f}) {
    for (ColorOp op : {ColorOp::Brighten, ColorOp::Darken, ColorOp::Invert, ColorOp::AddColor}) {
      for (int c = 0; c < 256; ++c) {
        int32_t r = c, g = (c + 85) % 256, b = (c + 170) % 256;
        const int wantR = model(op, r, amount), wantG = model(op, g, -amount), wantB = model(op, b, amount / 2);
        Graphic::transformPixel(op, r, g, b, amount, -amount, amount / 2);
        EXPECT_TRUE(r == wantR && g == wantG && b == wantB) << int(op) << " " << amount << " " << c;
      }
    }
  }
}

TEST(ColorTransform, GrayscaleAveragesTruncatingAndOtherCodesChangeNothing) {
  const int32_t cases[][4] = {{10, 20, 31, 20}, {255, 255, 254, 254}, {0, 0, 2, 0}, {255, 255, 255, 255}};
  for (const auto &c : cases) {
    int32_t r = c[0], g = c[1], b = c[2];
    Graphic::transformPixel(ColorOp::Grayscale, r, g, b, 0.5f, -1, 1);
    EXPECT_TRUE(r == c[3] && g == c[3] && b == c[3]) << c[0] << " " << c[1] << " " << c[2];
  }
  for (int32_t code : {5, 100, -1, std::numeric_limits<int32_t>::min()}) {
    int32_t r = 12, g = 130, b = 250;
    Graphic::transformPixel(static_cast<ColorOp>(code), r, g, b, 0.5f, 0.5f, 0.5f);
    EXPECT_TRUE(r == 12 && g == 130 && b == 250) << code;
  }
}

TEST(ClampFloat, PullsValuesOutsideAndNaNToTheBounds) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const float cases[][4] = {{0.5f, 0, 1, 0.5f}, {1, 0, 1, 1},    {2.5f, 0, 1, 1},   {-3, 0, 1, 0},    {9, -1, 1, 1},
                            {-7, -1, 1, -1},    {inf, -1, 1, 1}, {-inf, -1, 1, -1}, {nan, -1, 1, -1}, {nan, 0, 1, 0}};
  for (const auto &c : cases) {
    float value = c[0];
    clampFloat(value, c[1], c[2]);
    EXPECT_EQ(value, c[3]) << c[0] << " into " << c[1] << ".." << c[2];
  }
}

}  // namespace

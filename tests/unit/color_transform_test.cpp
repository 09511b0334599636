// The per-pixel arithmetic of the colour operations and the clamping of
// their amounts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "graphics/graphic.h"

namespace {

// A plain model: the amount widened to double, each product and sum in
// double, the result truncated toward zero.
int modelChannel(ColorOp op, int c, float amount) {
  const double a = amount;
  switch (op) {
    case ColorOp::Brighten:
      return static_cast<int>(std::trunc((255.0 - c) * a + c));
    case ColorOp::Darken:
      return static_cast<int>(std::trunc((1.0 - a) * c));
    case ColorOp::Invert:
      return 255 - c;
    case ColorOp::AddColor:
      return amount < 0 ? static_cast<int>(std::trunc((1.0 + a) * c))
                        : static_cast<int>(std::trunc((255.0 - c) * a + c));
    default:
      return c;
  }
}

struct Rgb {
  int32_t r, g, b;
  bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

Rgb transform(ColorOp op, Rgb in, float ra = 0, float ga = 0, float ba = 0) {
  Graphic::transformPixel(op, in.r, in.g, in.b, ra, ga, ba);
  return in;
}

int brightenOne(int c, float a) { return transform(ColorOp::Brighten, {c, c, c}, a, a, a).r; }
int darkenOne(int c, float a) { return transform(ColorOp::Darken, {c, c, c}, a, a, a).r; }

TEST(ColorTransform, BrightenByATenthMovesATenthOfTheWayUpTruncating) {
  const std::vector<std::pair<int, int>> cases = {{0, 25},    {10, 34},   {100, 115}, {128, 140},
                                                  {200, 205}, {245, 246}, {250, 250}, {255, 255}};
  for (auto [in, out] : cases) EXPECT_EQ(brightenOne(in, 0.1f), out) << in;
}

TEST(ColorTransform, DarkenByATenthUsesTheWidenedSinglePrecisionAmount) {
  const std::vector<std::pair<int, int>> cases = {{0, 0},    {1, 0},     {9, 8},     {10, 8},   {11, 9},
                                                  {100, 89}, {128, 115}, {200, 179}, {255, 229}};
  for (auto [in, out] : cases) EXPECT_EQ(darkenOne(in, 0.1f), out) << in;
  // 0.9 of a multiple of ten lands just below the integer: evaluated in
  // single precision it would not.
  for (int c = 10; c <= 250; c += 10) EXPECT_EQ(darkenOne(c, 0.1f), c * 9 / 10 - 1) << c;
}

TEST(ColorTransform, AddColorActsPerChannelBySignOfItsOwnAmount) {
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(transform(ColorOp::AddColor, {c, c, c}, 0.1f, 0, 0), (Rgb{brightenOne(c, 0.1f), c, c})) << c;
    EXPECT_EQ(transform(ColorOp::AddColor, {c, c, c}, -0.1f, 0, 0), (Rgb{darkenOne(c, 0.1f), c, c})) << c;
    EXPECT_EQ(transform(ColorOp::AddColor, {c, c, c}, 0, 0.1f, -0.1f),
              (Rgb{c, brightenOne(c, 0.1f), darkenOne(c, 0.1f)}))
        << c;
    // Negative zero counts as not negative: the channel stays.
    EXPECT_EQ(transform(ColorOp::AddColor, {c, c, c}, -0.0f, -0.0f, -0.0f), (Rgb{c, c, c})) << c;
  }
  EXPECT_EQ(transform(ColorOp::AddColor, {255, 255, 255}, -0.1f, 0, 0).r, 229);
}

TEST(ColorTransform, FullAmountsReachTheEnds) {
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(transform(ColorOp::AddColor, {c, c, c}, -1, 1, 0), (Rgb{0, 255, c})) << c;
    EXPECT_EQ(transform(ColorOp::Brighten, {c, c, c}, 1, 1, 1), (Rgb{255, 255, 255})) << c;
    EXPECT_EQ(transform(ColorOp::Darken, {c, c, c}, 1, 1, 1), (Rgb{0, 0, 0})) << c;
    EXPECT_EQ(transform(ColorOp::Brighten, {c, c, c}, 0, 0, 0), (Rgb{c, c, c})) << c;
    EXPECT_EQ(transform(ColorOp::Darken, {c, c, c}, 0, 0, 0), (Rgb{c, c, c})) << c;
  }
}

TEST(ColorTransform, GrayscaleIsTheTruncatedAverage) {
  EXPECT_EQ(transform(ColorOp::Grayscale, {10, 20, 31}), (Rgb{20, 20, 20}));
  EXPECT_EQ(transform(ColorOp::Grayscale, {255, 255, 254}), (Rgb{254, 254, 254}));
  EXPECT_EQ(transform(ColorOp::Grayscale, {0, 0, 2}), (Rgb{0, 0, 0}));
  EXPECT_EQ(transform(ColorOp::Grayscale, {255, 255, 255}), (Rgb{255, 255, 255}));
  // The amounts play no part.
  EXPECT_EQ(transform(ColorOp::Grayscale, {3, 4, 5}, 0.5f, -1, 1), (Rgb{4, 4, 4}));
}

TEST(ColorTransform, InvertMirrorsAndUndoesItself) {
  EXPECT_EQ(transform(ColorOp::Invert, {0, 100, 255}), (Rgb{255, 155, 0}));
  for (int c = 0; c < 256; ++c) {
    Rgb in{c, (c + 85) % 256, (c + 170) % 256};
    EXPECT_EQ(transform(ColorOp::Invert, transform(ColorOp::Invert, in, 0.3f, 0.3f, 0.3f)), in);
  }
}

TEST(ColorTransform, CodesOutsideTheFiveChangeNothing) {
  for (int32_t code : {5, 6, 100, -1, -5, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()})
    EXPECT_EQ(transform(static_cast<ColorOp>(code), {12, 130, 250}, 0.5f, 0.5f, 0.5f), (Rgb{12, 130, 250})) << code;
}

TEST(ColorTransform, EveryChannelValueMatchesThePlainModel) {
  const ColorOp separable[] = {ColorOp::Brighten, ColorOp::Darken, ColorOp::Invert, ColorOp::AddColor};
  for (float amount : {0.1f, -0.1f}) {
    for (ColorOp op : separable) {
      for (int c = 0; c < 256; ++c) {
        // Each channel sees every value, with its own amount.
        Rgb in{c, (c + 85) % 256, (c + 170) % 256};
        Rgb out = transform(op, in, amount, -amount, amount / 2);
        EXPECT_EQ(out.r, modelChannel(op, in.r, amount)) << int(op) << " " << amount << " " << c;
        EXPECT_EQ(out.g, modelChannel(op, in.g, -amount)) << int(op) << " " << amount << " " << c;
        EXPECT_EQ(out.b, modelChannel(op, in.b, amount / 2)) << int(op) << " " << amount << " " << c;
      }
    }
    for (int c = 0; c < 256; ++c) {
      Rgb in{c, (c * 7) % 256, 255 - c};
      int average = (in.r + in.g + in.b) / 3;
      EXPECT_EQ(transform(ColorOp::Grayscale, in, amount, amount, amount), (Rgb{average, average, average})) << c;
    }
  }
}

TEST(ColorTransform, AmountsOutsideTheirRangeStayDefined) {
  // Only a direct call can pass these; the results must still be numbers.
  Rgb out = transform(ColorOp::Brighten, {0, 100, 255}, 2, 1e30f, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(out.r, 510);
  EXPECT_EQ(out.g, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(out.b, 0);
}

TEST(ClampFloat, KeepsValuesInsideAndPullsOthersToTheBounds) {
  auto clamped = [](float value, float lo, float hi) {
    clampFloat(value, lo, hi);
    return value;
  };
  EXPECT_EQ(clamped(0.5f, 0, 1), 0.5f);
  EXPECT_EQ(clamped(0, 0, 1), 0.0f);
  EXPECT_EQ(clamped(1, 0, 1), 1.0f);
  EXPECT_EQ(clamped(2.5f, 0, 1), 1.0f);
  EXPECT_EQ(clamped(-3, 0, 1), 0.0f);
  EXPECT_EQ(clamped(-7, -1, 1), -1.0f);
  EXPECT_EQ(clamped(9, -1, 1), 1.0f);
  EXPECT_EQ(clamped(std::numeric_limits<float>::infinity(), -1, 1), 1.0f);
  EXPECT_EQ(clamped(-std::numeric_limits<float>::infinity(), -1, 1), -1.0f);
  EXPECT_EQ(clamped(std::numeric_limits<float>::quiet_NaN(), -1, 1), -1.0f);
  EXPECT_EQ(clamped(std::numeric_limits<float>::quiet_NaN(), 0, 1), 0.0f);
  EXPECT_TRUE(std::signbit(clamped(-0.0f, 0, 1)));  // -0 is at least 0
}

}  // namespace

// The public colour operations over whole surfaces in every layout, with the
// AVX-512 loops, the AVX2 ones and the portable ones, checked pixel by pixel
// against a plain model: every channel value (every pixel word in 15 and 16
// bits).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include <windows.h>

#include "graphics/graphic.h"
#include "layer_test.h"
#include "support/color_model.h"
#include "support/graphic_fixture.h"

namespace {

struct Channels {
  int r, g, b;
};
using Model = std::function<Channels(Channels)>;

using colormodel::added;
int widen(int v) { return v == 0 ? 0 : v | 7; }

// The layouts' unpacking and packing, straight from their bit tables.
uint32_t modelPixel(int format, uint32_t pixel, const Model &model) {
  Channels c;
  uint32_t top = 0;
  if (format == 15) c = {widen(((pixel >> 10) & 31) << 3), widen(((pixel >> 5) & 31) << 3), widen((pixel & 31) << 3)};
  if (format == 16) c = {widen(((pixel >> 11) & 31) << 3), widen(((pixel >> 5) & 63) << 2), widen((pixel & 31) << 3)};
  if (format == 24)
    c = {int(pixel & 0xFF), int((pixel >> 8) & 0xFF), int((pixel >> 16) & 0xFF)};  // red first in memory
  if (format == 32)
    c = {int((pixel >> 16) & 0xFF), int((pixel >> 8) & 0xFF), int(pixel & 0xFF)}, top = pixel >> 24 << 24;
  c = model(c);
  if (format == 15) return uint32_t(c.r >> 3) << 10 | uint32_t(c.g >> 3) << 5 | uint32_t(c.b >> 3);
  if (format == 16) return uint32_t(c.r >> 3) << 11 | uint32_t(c.g >> 3) << 6 | uint32_t(c.b >> 3);
  if (format == 24) return uint32_t(c.b) << 16 | uint32_t(c.g) << 8 | uint32_t(c.r);
  return top | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b);
}

struct Operation {
  std::string name;
  std::function<void(Graphic &)> apply;
  Model model;
};

Operation add(float r, float g, float b) {
  return {"addColor " + std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b),
          [=](Graphic &graphic) { graphic.addColor(r, g, b); },
          [=](Channels c) {
            return Channels{added(c.r, r), added(c.g, g), added(c.b, b)};
          }};
}

const std::vector<Operation> &operations() {
  static const std::vector<Operation> all = {
      {"grayscale", [](Graphic &g) { g.grayscale(); },
       [](Channels c) {
         int v = colormodel::grayLevel(c.r, c.g, c.b);
         return Channels{v, v, v};
       }},
      {"invert", [](Graphic &g) { g.invert(); },
       [](Channels c) {
         return Channels{colormodel::inverted(c.r), colormodel::inverted(c.g), colormodel::inverted(c.b)};
       }},
      {"brighten 0.1", [](Graphic &g) { g.brighten(0.1f); },
       [](Channels c) {
         return Channels{added(c.r, 0.1f), added(c.g, 0.1f), added(c.b, 0.1f)};
       }},
      {"darken 0.1", [](Graphic &g) { g.darken(0.1f); },
       [](Channels c) {
         return Channels{added(c.r, -0.1f), added(c.g, -0.1f), added(c.b, -0.1f)};
       }},
      add(0.1f, 0, 0),
      add(0, -0.1f, 0),
      add(0, 0, 0.1f),
      add(-0.1f, 0.1f, 0.1f),
      add(0.2f, -0.55f, 0.9f),
      add(-1, 1, -0.0f),
  };
  return all;
}

// Pixels in which each channel takes every value: every word in the word
// layouts; in 24 and 32 bits each channel running through 0..255 against
// the others, and the top byte of 32 bits varying too.
uint32_t startPixel(int format, int x, int y) {
  if (format == 15 || format == 16) return uint32_t(y * 256 + x);
  uint32_t r = x, g = (x + 85 * y + 37) % 256, b = (255 - x + 51 * y) % 256;
  if (format == 24) return b << 16 | g << 8 | r;
  return uint32_t((x ^ 0xA5) + y) % 256 << 24 | r << 16 | g << 8 | b;
}

// The loops a case runs: the processor's widest, AVX2 with AVX-512 hidden,
// or the portable ones with every feature hidden.
enum class Loops { Widest, Avx2, Portable };

class ColorSurface : public graphictest::GraphicTest, public ::testing::WithParamInterface<std::tuple<int, Loops>> {
 protected:
  void SetUp() override {
    GraphicTest::SetUp();
    const Loops loops = std::get<1>(GetParam());
    layer::hideProcessorFeatures(loops == Loops::Portable);
    layer::hideAvx512(loops == Loops::Avx2);
    if (loops == Loops::Avx2 && !IsProcessorFeaturePresent(PF_AVX2_INSTRUCTIONS_AVAILABLE))
      GTEST_SKIP() << "the processor has no AVX2";
  }
  void TearDown() override {
    layer::hideProcessorFeatures(false);
    layer::hideAvx512(false);
    GraphicTest::TearDown();
  }

  // Applies op to a surface of width by height with the given extra pitch
  // and counts the pixels that differ from the model and the padding bytes
  // that changed.
  int wrongPixels(const Operation &op, int width, int height, int extraPitch) {
    const int format = std::get<0>(GetParam());
    restart(format);
    layer::setExtraPitch(extraPitch);
    IDirectDrawSurface *surface = attachSurface(width, height);
    std::vector<uint8_t> raw = rawBytes(surface);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 131 + 7);  // padding too
    writeRawBytes(surface, raw);
    writePixels(surface, [format](int x, int y) { return startPixel(format, x, y); });
    raw = rawBytes(surface);
    op.apply(graphic);
    const std::vector<uint32_t> after = readPixels(surface);
    const std::vector<uint8_t> rawAfter = rawBytes(surface);
    const int pitch = static_cast<int>(raw.size()) / height, rowBytes = width * ((format + 7) / 8);
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        uint32_t want = modelPixel(format, startPixel(format, x, y), op.model), got = after[size_t(y) * width + x];
        if (got != want && ++wrong <= 3)
          ADD_FAILURE() << op.name << " in layout " << format << " at " << x << "," << y << ": got 0x" << std::hex
                        << got << ", want 0x" << want;
      }
      for (int b = rowBytes; b < pitch; ++b) wrong += rawAfter[y * pitch + b] != raw[y * pitch + b];
    }
    return wrong;
  }
};

TEST_P(ColorSurface, EveryPixelMatchesTheModel) {
  const int height = std::get<0>(GetParam()) <= 16 ? 256 : 6;
  for (const Operation &op : operations()) EXPECT_EQ(wrongPixels(op, 256, height, 8), 0) << op.name;
}

// Rows of every length up to a few vectors, so that every tail and every
// position of a pixel at a vector's end comes up: with pitches of whole
// pixels that are no multiple of 8 bytes, and with no extra pitch, where
// rows of whole 8-byte multiples abut and are walked as one.
TEST_P(ColorSurface, EveryRowLengthAgrees) {
  const int format = std::get<0>(GetParam());
  for (int extraPitch : {format == 24 ? 3 : (format + 7) / 8, 0})
    for (int op : {0, 1, 2, 4, 5, 6})
      for (int width = 1; width <= 70; width += (width < 40 ? 1 : 7))
        EXPECT_EQ(wrongPixels(operations()[op], width, 3, extraPitch), 0)
            << operations()[op].name << " width " << width << " extra pitch " << extraPitch;
}

// Amounts across the whole range: each makes maps of its own, which the
// vector loops fit afresh.
TEST_P(ColorSurface, EveryAmountAgrees) {
  const int height = std::get<0>(GetParam()) <= 16 ? 256 : 6;
  for (int step = -20; step <= 20; ++step) {
    const float a = static_cast<float>(step) / 20;
    EXPECT_EQ(wrongPixels(add(a, -a, a / 3), 256, height, 0), 0) << a;
  }
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<int, Loops>> &info) {
  const char *loops[] = {"Widest", "Avx2", "Portable"};
  return "Layout" + std::to_string(std::get<0>(info.param)) + loops[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Layouts, ColorSurface,
                         ::testing::Combine(::testing::Values(15, 16, 24, 32),
                                            ::testing::Values(Loops::Widest, Loops::Avx2, Loops::Portable)),
                         caseName);

}  // namespace

// The public colour operations over whole surfaces in every layout, checked
// pixel by pixel against a plain model: every channel value (in 15 and 16
// bits every pixel word) under each operation.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>

#include "graphics/cpu_features.h"
#include "graphics/graphic.h"
#include "support/graphic_fixture.h"

namespace {

using graphictest::GraphicTest;

struct Channels {
  int r, g, b;
};

// The model of one operation on the three channels, in double precision.
using ChannelModel = std::function<Channels(Channels)>;

int brightened(int c, double a) { return static_cast<int>(std::trunc((255.0 - c) * a + c)); }
int darkened(int c, double a) { return static_cast<int>(std::trunc((1.0 - a) * c)); }
int added(int c, float a) { return a < 0 ? darkened(c, -static_cast<double>(a)) : brightened(c, a); }

// The layouts' unpacking and packing, straight from their bit tables.
int widen(int v) { return v == 0 ? 0 : v | 7; }

uint32_t modelPixel(int format, uint32_t pixel, const ChannelModel &model) {
  Channels c;
  uint32_t top = 0;
  switch (format) {
    case 15:
      c = {widen(((pixel >> 10) & 31) << 3), widen(((pixel >> 5) & 31) << 3), widen((pixel & 31) << 3)};
      break;
    case 16:
      c = {widen(((pixel >> 11) & 31) << 3), widen(((pixel >> 5) & 63) << 2), widen((pixel & 31) << 3)};
      break;
    case 24:  // red is the byte at the lowest address
      c = {int(pixel & 0xFF), int((pixel >> 8) & 0xFF), int((pixel >> 16) & 0xFF)};
      break;
    default:  // 32: red is bits 16-23
      c = {int((pixel >> 16) & 0xFF), int((pixel >> 8) & 0xFF), int(pixel & 0xFF)};
      top = pixel & 0xFF000000u;
      break;
  }
  c = model(c);
  switch (format) {
    case 15:
      return uint32_t(c.r >> 3) << 10 | uint32_t(c.g >> 3) << 5 | uint32_t(c.b >> 3);
    case 16:
      return uint32_t(c.r >> 3) << 11 | uint32_t(c.g >> 3) << 6 | uint32_t(c.b >> 3);
    case 24:
      return uint32_t(c.b) << 16 | uint32_t(c.g) << 8 | uint32_t(c.r);
    default:
      return top | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b);
  }
}

struct Operation {
  std::string name;
  std::function<void(Graphic &)> apply;
  ChannelModel model;
};

Operation brightenBy(float a) {
  return {"brighten " + std::to_string(a), [a](Graphic &g) { g.brighten(a); },
          [a](Channels c) {
            return Channels{brightened(c.r, a), brightened(c.g, a), brightened(c.b, a)};
          }};
}
Operation darkenBy(float a) {
  return {"darken " + std::to_string(a), [a](Graphic &g) { g.darken(a); },
          [a](Channels c) {
            return Channels{darkened(c.r, a), darkened(c.g, a), darkened(c.b, a)};
          }};
}
Operation add(float r, float g, float b) {
  std::ostringstream name;
  name << "addColor " << r << " " << g << " " << b;
  return {name.str(), [=](Graphic &graphic) { graphic.addColor(r, g, b); },
          [=](Channels c) {
            return Channels{added(c.r, r), added(c.g, g), added(c.b, b)};
          }};
}

std::vector<Operation> operations() {
  return {
      {"grayscale", [](Graphic &g) { g.grayscale(); },
       [](Channels c) {
         int v = (c.r + c.g + c.b) / 3;
         return Channels{v, v, v};
       }},
      {"invert", [](Graphic &g) { g.invert(); },
       [](Channels c) {
         return Channels{255 - c.r, 255 - c.g, 255 - c.b};
       }},
      brightenBy(0.1f),
      darkenBy(0.1f),
      add(0.1f, 0, 0),
      add(-0.1f, 0, 0),
      add(0, 0.1f, -0.1f),
      add(-0.1f, 0.1f, 0.1f),
      brightenBy(0.37f),
      darkenBy(0.73f),
      brightenBy(1),
      darkenBy(1),
      add(0.2f, -0.55f, 0.9f),
      add(-1, 1, -0.0f),
      add(0, 0.1f, 0),
      add(0, 0, -0.1f),
  };
}

// Pixels in which each channel takes every value: in the word layouts every
// word, in 24 and 32 bits each channel running through 0..255 against the
// others (and the top byte of 32 bits varying too).
uint32_t startPixel(int format, int x, int y) {
  if (format == 15 || format == 16) return uint32_t(y * 256 + x);
  uint32_t r = x, g = (x + 85 * y + 37) % 256, b = (255 - x + 51 * y) % 256;
  if (format == 24) return b << 16 | g << 8 | r;
  return uint32_t((x ^ 0xA5) + y) % 256 << 24 | r << 16 | g << 8 | b;
}

// Each layout with the AVX2 loops (where the processor has them) and with
// the portable ones.
class ColorSurface : public GraphicTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {
 protected:
  void SetUp() override {
    GraphicTest::SetUp();
    avx2LoopsAllowed() = std::get<1>(GetParam());
  }
  void TearDown() override {
    avx2LoopsAllowed() = true;
    GraphicTest::TearDown();
  }
  static int layout() { return std::get<0>(GetParam()); }
};

TEST_P(ColorSurface, EveryPixelMatchesTheModel) {
  const int format = layout();
  const int width = 256, height = format <= 16 ? 256 : 6;
  for (const Operation &op : operations()) {
    restart(format);
    layer::setExtraPitch(4);
    IDirectDrawSurface *surface = attachSurface(width, height);
    writePixels(surface, [format](int x, int y) { return startPixel(format, x, y); });
    op.apply(graphic);
    std::vector<uint32_t> after = readPixels(surface);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        uint32_t in = startPixel(format, x, y), want = modelPixel(format, in, op.model);
        uint32_t got = after[static_cast<size_t>(y) * width + x];
        if (got != want && ++wrong <= 3)
          ADD_FAILURE() << op.name << " in layout " << format << " at " << x << "," << y << ": 0x" << std::hex << in
                        << " gave 0x" << got << ", want 0x" << want;
      }
    EXPECT_EQ(wrong, 0) << op.name << " in layout " << format;
  }
}

// Rows that are not a whole number of vectors long, at every width up to a
// few vectors, agree with the model too and leave the padding alone.
TEST_P(ColorSurface, EveryWidthAndTailAgrees) {
  const int format = layout();
  for (const Operation &op : {operations()[2], operations()[4], operations()[1], operations()[0], operations()[15]}) {
    for (int width = 1; width <= 70; width += (width < 40 ? 1 : 7)) {
      restart(format);
      // Pitches that are whole pixels but no multiple of 8 bytes.
      layer::setExtraPitch(format == 24 ? 3 : (format + 7) / 8);
      IDirectDrawSurface *surface = attachSurface(width, 3);
      std::vector<uint8_t> raw = rawBytes(surface);
      for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 131 + 7);
      writeRawBytes(surface, raw);
      std::vector<uint32_t> before = readPixels(surface);
      op.apply(graphic);
      std::vector<uint32_t> after = readPixels(surface);
      std::vector<uint8_t> rawAfter = rawBytes(surface);
      const int pitch = static_cast<int>(raw.size()) / 3, rowBytes = width * ((format + 7) / 8);
      int wrong = 0;
      for (size_t i = 0; i < before.size(); ++i)
        if (after[i] != modelPixel(format, before[i], op.model)) ++wrong;
      for (int y = 0; y < 3; ++y)
        for (int b = rowBytes; b < pitch; ++b)
          if (rawAfter[y * pitch + b] != raw[y * pitch + b]) ++wrong;
      EXPECT_EQ(wrong, 0) << op.name << " in layout " << format << " width " << width;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ColorSurface,
                         ::testing::Combine(::testing::Values(15, 16, 24, 32), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<int, bool>> &info) {
                           return "Layout" + std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "Vector" : "Portable");
                         });

}  // namespace

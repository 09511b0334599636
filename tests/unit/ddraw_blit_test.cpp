// The software blitter: nearest-neighbour stretching, colour keys, layout
// conversion and fills, checked against a plain per-pixel model, and the
// checks Blt makes before it touches a pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <ddraw.h>
#include "ddraw/blit.h"
#include "host/headless/headless_host.h"
#include "layer_test.h"

namespace {

using layer::PixelBuffer;
using layer::PixelLayout;
using layer::PixelRect;

// A buffer that owns exactly pitch * height bytes, so that a read past the
// last row is a read past the allocation (and caught by the sanitizers).
struct OwnedBuffer {
  std::vector<uint8_t> bytes;
  PixelBuffer view;

  OwnedBuffer(int width, int height, const PixelLayout &layout, int padding = 0) {
    view.width = width;
    view.height = height;
    view.layout = layout;
    view.pitch = width * layout.bytesPerPixel() + padding;
    bytes.resize(static_cast<size_t>(view.pitch) * height);
    view.bits = bytes.data();
  }
  void randomize(uint32_t seed) {
    std::mt19937 random(seed);
    for (auto &b : bytes) b = static_cast<uint8_t>(random());
  }
};

// The model: every destination pixel on its own, the source index computed
// in floating point.
int modelIndex(int i, int sourceSize, int destSize) { return static_cast<int>((i + 0.5) * sourceSize / destSize); }

void modelStretch(const PixelBuffer &dest, const PixelRect &d, const PixelBuffer &source, const PixelRect &s,
                  const uint32_t *key) {
  for (int j = 0; j < d.height(); ++j)
    for (int i = 0; i < d.width(); ++i) {
      uint32_t v = layer::readPixel(source, s.left + modelIndex(i, s.width(), d.width()),
                                    s.top + modelIndex(j, s.height(), d.height()));
      if (key && v == *key) continue;
      if (!(dest.layout == source.layout))
        v = layer::packColor(dest.layout, layer::unpackColor(source.layout, v, source.palette));
      layer::writePixel(dest, d.left + i, d.top + j, v);
    }
}

struct StretchCase {
  const char *name;
  int sourceWidth, sourceHeight;
  PixelRect sourceRect;
  int destWidth, destHeight;
  PixelRect destRect;
};

// The viewer's cuts at zoom 0.1, 1, 1.1 and 16, and a few awkward ratios.
const StretchCase kCases[] = {
    {"zoom 0.1", 640, 480, {0, 0, 640, 480}, 640, 480, {288, 216, 352, 264}},
    {"zoom 1", 640, 480, {21, 16, 619, 464}, 640, 480, {21, 16, 619, 464}},
    {"zoom 1.1", 640, 480, {48, 36, 592, 444}, 640, 480, {21, 16, 619, 464}},
    {"zoom 16", 640, 480, {301, 226, 339, 254}, 640, 480, {21, 16, 619, 464}},
    {"shrink 7 to 3", 7, 5, {0, 0, 7, 5}, 4, 4, {1, 1, 4, 4}},
    {"enlarge last row and column", 8, 8, {0, 0, 8, 8}, 21, 19, {0, 0, 21, 19}},
    {"one source pixel", 3, 3, {2, 2, 3, 3}, 9, 9, {0, 0, 9, 9}},
    {"same width taller", 16, 4, {0, 0, 16, 4}, 16, 13, {0, 0, 16, 13}},
    {"one column", 5, 9, {4, 0, 5, 9}, 3, 20, {2, 0, 3, 20}},
};

const PixelLayout kLayouts[] = {layer::layout8(), layer::layout555(), layer::layout565(), layer::layout24(),
                                layer::layout32()};

TEST(BlitStretch, MatchesTheModelForEveryLayoutAndScale) {
  uint32_t seed = 1;
  for (const PixelLayout &layout : kLayouts)
    for (const StretchCase &c : kCases) {
      SCOPED_TRACE(testing::Message() << c.name << " at " << layout.bitsPerPixel << " bits");
      OwnedBuffer source(c.sourceWidth, c.sourceHeight, layout);
      source.randomize(seed++);
      OwnedBuffer dest(c.destWidth, c.destHeight, layout, 5);
      dest.randomize(seed++);
      OwnedBuffer expected = dest;
      expected.view.bits = expected.bytes.data();
      modelStretch(expected.view, c.destRect, source.view, c.sourceRect, nullptr);
      layer::ddraw::stretchPixels(dest.view, c.destRect, source.view, c.sourceRect, nullptr);
      // Whole buffers, padding included: nothing outside the rectangle moves.
      ASSERT_EQ(dest.bytes, expected.bytes);
    }
}

TEST(BlitStretch, RandomSizesPickTheModelsColumnsAndRows) {
  std::mt19937 random(77);
  for (int round = 0; round < 300; ++round) {
    const int sourceSize = 1 + int(random() % 1500), destSize = 1 + int(random() % 1500);
    SCOPED_TRACE(testing::Message() << sourceSize << " onto " << destSize);
    OwnedBuffer rowSource(sourceSize, 1, layer::layout32());
    OwnedBuffer colSource(1, sourceSize, layer::layout32());
    for (int i = 0; i < sourceSize; ++i) {
      layer::writePixel(rowSource.view, i, 0, uint32_t(i));
      layer::writePixel(colSource.view, 0, i, uint32_t(i));
    }
    OwnedBuffer row(destSize, 1, layer::layout32()), column(1, destSize, layer::layout32());
    layer::ddraw::stretchPixels(row.view, {0, 0, destSize, 1}, rowSource.view, {0, 0, sourceSize, 1}, nullptr);
    layer::ddraw::stretchPixels(column.view, {0, 0, 1, destSize}, colSource.view, {0, 0, 1, sourceSize}, nullptr);
    for (int i = 0; i < destSize; ++i) {
      ASSERT_EQ(layer::readPixel(row.view, i, 0), uint32_t(modelIndex(i, sourceSize, destSize))) << i;
      ASSERT_EQ(layer::readPixel(column.view, 0, i), uint32_t(modelIndex(i, sourceSize, destSize))) << i;
    }
  }
}

// Rows gathered by byte shuffles and rows copied pixel by pixel give the same
// bytes, for cuts touching the source's right and bottom edges (where the
// 16-byte loads must stop short of the buffer's end) and for shrinks too
// strong for a shuffle.
TEST(BlitStretch, ShuffledRowsMatchThePortableOnes) {
  std::mt19937 random(2024);
  for (int round = 0; round < 400; ++round) {
    const PixelLayout &layout = kLayouts[round % 5];
    const int sourceWidth = 1 + int(random() % 90), sourceHeight = 1 + int(random() % 12);
    PixelRect s;
    s.left = int(random() % sourceWidth);
    s.right = random() % 2 ? sourceWidth : s.left + 1 + int(random() % (sourceWidth - s.left));
    s.top = int(random() % sourceHeight);
    s.bottom = random() % 2 ? sourceHeight : s.top + 1 + int(random() % (sourceHeight - s.top));
    const double factor = 0.5 + (random() % 1000) / 250.0;  // 0.5 to 4.5
    const int destWidth = std::max(1, int(s.width() * factor)) + int(random() % 3);
    const int destHeight = std::max(1, int(s.height() * factor));
    const PixelRect d{1, 2, 1 + destWidth, 2 + destHeight};
    SCOPED_TRACE(testing::Message() << layout.bitsPerPixel << " bits, " << sourceWidth << "x" << sourceHeight
                                    << " cut [" << s.left << "," << s.top << "," << s.right << "," << s.bottom
                                    << "] onto " << destWidth << "x" << destHeight);
    OwnedBuffer source(sourceWidth, sourceHeight, layout);
    source.randomize(random());
    OwnedBuffer shuffled(d.right + 2, d.bottom + 1, layout, int(random() % 5));
    shuffled.randomize(random());
    OwnedBuffer portable = shuffled, expected = shuffled;
    portable.view.bits = portable.bytes.data();
    expected.view.bits = expected.bytes.data();

    modelStretch(expected.view, d, source.view, s, nullptr);
    layer::ddraw::stretchPixels(shuffled.view, d, source.view, s, nullptr);
    layer::hideProcessorFeatures(true);
    layer::ddraw::stretchPixels(portable.view, d, source.view, s, nullptr);
    layer::hideProcessorFeatures(false);
    ASSERT_EQ(shuffled.bytes, portable.bytes);
    ASSERT_EQ(portable.bytes, expected.bytes);
  }
}

TEST(BlitStretch, SkipsKeyedSourcePixelsAndLeavesTheDestinationThere) {
  uint32_t seed = 100;
  for (const PixelLayout &layout : kLayouts)
    for (const StretchCase &c : kCases) {
      SCOPED_TRACE(testing::Message() << c.name << " at " << layout.bitsPerPixel << " bits");
      OwnedBuffer source(c.sourceWidth, c.sourceHeight, layout);
      source.randomize(seed++);
      // Make about a third of the source the key colour.
      const uint32_t key = 0x00A5C35Au & layer::ddraw::depthMask(layout);
      std::mt19937 random(seed++);
      for (int y = 0; y < c.sourceHeight; ++y)
        for (int x = 0; x < c.sourceWidth; ++x)
          if (random() % 3 == 0) layer::writePixel(source.view, x, y, key);
      OwnedBuffer dest(c.destWidth, c.destHeight, layout, 3);
      dest.randomize(seed++);
      OwnedBuffer expected = dest;
      expected.view.bits = expected.bytes.data();
      modelStretch(expected.view, c.destRect, source.view, c.sourceRect, &key);
      layer::ddraw::stretchPixels(dest.view, c.destRect, source.view, c.sourceRect, &key);
      ASSERT_EQ(dest.bytes, expected.bytes);
    }
}

TEST(BlitStretch, ConvertsBetweenLayoutsThroughTheColour) {
  const std::pair<PixelLayout, PixelLayout> pairs[] = {{layer::layout24(), layer::layout32()},
                                                       {layer::layout32(), layer::layout24()},
                                                       {layer::layout565(), layer::layout24()},
                                                       {layer::layout24(), layer::layout555()},
                                                       {layer::layout8(), layer::layout32()}};
  uint32_t seed = 500;
  for (const auto &[from, to] : pairs) {
    SCOPED_TRACE(testing::Message() << from.bitsPerPixel << " to " << to.bitsPerPixel);
    OwnedBuffer source(13, 7, from);
    source.randomize(seed++);
    OwnedBuffer dest(20, 11, to, 4);
    dest.randomize(seed++);
    OwnedBuffer expected = dest;
    expected.view.bits = expected.bytes.data();
    PixelRect s{1, 1, 13, 7}, d{2, 1, 19, 10};
    modelStretch(expected.view, d, source.view, s, nullptr);
    layer::ddraw::stretchPixels(dest.view, d, source.view, s, nullptr);
    ASSERT_EQ(dest.bytes, expected.bytes);
  }
  // A red pixel stays red across 24-bit (red in the low byte) and 32-bit.
  OwnedBuffer red24(1, 1, layer::layout24());
  layer::writePixel(red24.view, 0, 0, 0x0000FF);
  OwnedBuffer out32(1, 1, layer::layout32());
  layer::ddraw::stretchPixels(out32.view, {0, 0, 1, 1}, red24.view, {0, 0, 1, 1}, nullptr);
  EXPECT_EQ(layer::readPixel(out32.view, 0, 0), 0xFF0000u);
}

TEST(BlitStretch, SourceIndexDoesNotOverflowAtTheLargestSizes) {
  EXPECT_EQ(layer::ddraw::nearestSourceIndex(2, 32767, 3), 27305);  // (2.5 * 32767) / 3
  EXPECT_EQ(layer::ddraw::nearestSourceIndex(32767, 32768, 32768), 32767);
}

TEST(BlitFill, WritesTheRawValueInsideTheRectangleOnly) {
  const uint32_t values[] = {0, 0x12345678, 0xFFFFFFFF, 0x00A0A0A0};
  for (const PixelLayout &layout : kLayouts)
    for (uint32_t value : values) {
      SCOPED_TRACE(testing::Message() << layout.bitsPerPixel << " bits, value " << value);
      OwnedBuffer dest(11, 6, layout, 3);
      dest.randomize(value + layout.bitsPerPixel);
      OwnedBuffer expected = dest;
      expected.view.bits = expected.bytes.data();
      const uint32_t pixel = value & layer::ddraw::depthMask(layout);
      PixelRect r{2, 1, 9, 5};
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) layer::writePixel(expected.view, x, y, pixel);
      layer::ddraw::fillPixels(dest.view, r, pixel);
      ASSERT_EQ(dest.bytes, expected.bytes);
    }
}

// ---- Blt through the surface interface ----

class BltTest : public testing::Test {
 protected:
  void SetUp() override {
    layer::reset();
    layer::headless::setDesktopDepth(32);
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    dest = make(32, 24, 24);
    source = make(16, 12, 24);
  }
  void TearDown() override {
    if (source) source->Release();
    if (dest) dest->Release();
    if (dd) dd->Release();
    layer::reset();
  }
  IDirectDrawSurface *make(int width, int height, int bits) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = bits;
    PixelLayout layout = bits == 16 ? layer::layout565() : bits == 24 ? layer::layout24() : layer::layout32();
    desc.ddpfPixelFormat.dwRBitMask = layout.redMask;
    desc.ddpfPixelFormat.dwGBitMask = layout.greenMask;
    desc.ddpfPixelFormat.dwBBitMask = layout.blueMask;
    IDirectDrawSurface *s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
    return s;
  }
  static void paint(IDirectDrawSurface *s, uint32_t seed) {
    layer::SurfaceImage image = layer::readSurface(s);
    std::mt19937 random(seed);
    for (auto &b : image.bytes) b = static_cast<uint8_t>(random());
    layer::writeSurface(s, image);
  }
  static DDBLTFX fill(DWORD color) {
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = color;
    return fx;
  }

  IDirectDraw *dd = nullptr;
  IDirectDrawSurface *dest = nullptr;
  IDirectDrawSurface *source = nullptr;
};

TEST_F(BltTest, StretchesWholeSurfacesWhenRectanglesAreNull) {
  paint(source, 7);
  ASSERT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  layer::SurfaceImage in = layer::readSurface(source), out = layer::readSurface(dest);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(out.pixel(x, y), in.pixel(x / 2, y / 2)) << x << "," << y;
}

TEST_F(BltTest, ColourFillMasksTheValueToTheDepth) {
  IDirectDrawSurface *s16 = make(5, 3, 16);
  DDBLTFX fx = fill(0x12345678);
  ASSERT_EQ(s16->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  layer::SurfaceImage image = layer::readSurface(s16);
  EXPECT_EQ(image.pixel(0, 0), 0x5678u);
  EXPECT_EQ(image.pixel(4, 2), 0x5678u);
  s16->Release();

  RECT part{1, 2, 3, 4};
  ASSERT_EQ(dest->Blt(&part, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  image = layer::readSurface(dest);
  EXPECT_EQ(image.pixel(1, 2), 0x345678u);
  EXPECT_EQ(image.pixel(2, 3), 0x345678u);
  EXPECT_EQ(image.pixel(0, 2), 0u);
  EXPECT_EQ(image.pixel(3, 3), 0u);
  EXPECT_EQ(image.pixel(1, 4), 0u);
}

TEST_F(BltTest, RefusesBadEffectsRecordsAndFlags) {
  DDBLTFX fx = fill(1);
  fx.dwSize = sizeof(fx) - 4;
  EXPECT_EQ(dest->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dest->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dest->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);  // no source
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_KEYDEST, nullptr), DDERR_UNSUPPORTED);
  fx = fill(0);
  fx.dwROP = SRCCOPY;
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_ROP, &fx), DD_OK);
  fx.dwROP = 0x00660046;  // SRCINVERT
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_ROP, &fx), DDERR_UNSUPPORTED);
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_ASYNC | DDBLT_DONOTWAIT, nullptr), DD_OK);
  // Nothing was filled by the refused calls.
  EXPECT_EQ(layer::readSurface(dest).pixel(0, 0), 0u);
}

TEST_F(BltTest, RefusesRectanglesOutsideOrEmpty) {
  paint(source, 3);
  const RECT bad[] = {
      {-1, 0, 4, 4}, {0, -1, 4, 4}, {0, 0, 33, 4}, {0, 0, 4, 25},  // outside
      {5, 5, 5, 9},  {5, 5, 9, 5},  {6, 5, 5, 9},  {5, 6, 9, 5},   // empty or inverted
  };
  const layer::SurfaceImage before = layer::readSurface(dest);
  for (const RECT &r : bad) {
    RECT copy = r;
    EXPECT_EQ(dest->Blt(&copy, source, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT) << layer::callTexts().back();
    DDBLTFX fx = fill(7);
    EXPECT_EQ(dest->Blt(&copy, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
  }
  RECT sourceOutside{0, 0, 17, 12};
  EXPECT_EQ(dest->Blt(nullptr, source, &sourceOutside, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(layer::readSurface(dest).bytes, before.bytes);
}

TEST_F(BltTest, LostOrBusySurfacesRefuseTheBlit) {
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  ASSERT_EQ(source->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
  ASSERT_EQ(source->Unlock(nullptr), DD_OK);

  HDC dc = nullptr;
  ASSERT_EQ(dest->GetDC(&dc), DD_OK);
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
  DDBLTFX fx = fill(0);
  EXPECT_EQ(dest->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DDERR_SURFACEBUSY);
  ASSERT_EQ(dest->ReleaseDC(dc), DD_OK);

  layer::loseSurface(source);
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  ASSERT_EQ(source->Restore(), DD_OK);
  layer::loseSurface(dest);
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(dest->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACELOST);
  ASSERT_EQ(dest->Restore(), DD_OK);
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
}

TEST_F(BltTest, SourceColourKeyIsHonouredOnlyWhenAskedAndSet) {
  // Left half of the source the key colour, right half white.
  layer::SurfaceImage image = layer::readSurface(source);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) {
      uint8_t *p = image.bytes.data() + y * image.pitch + 3 * x;
      uint32_t v = x < 8 ? 0x0000FF : 0xFFFFFF;
      p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16);
    }
  layer::writeSurface(source, image);
  DDBLTFX fx = fill(0x00FF00);
  ASSERT_EQ(dest->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);

  // KEYSRC without a key on the source copies everything.
  RECT top{0, 0, 16, 12};
  ASSERT_EQ(dest->Blt(&top, source, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
  EXPECT_EQ(layer::readSurface(dest).pixel(0, 0), 0x0000FFu);

  DDCOLORKEY key{0x0000FF, 0x0000FF};
  ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  RECT bottom{0, 12, 32, 24};
  ASSERT_EQ(dest->Blt(&bottom, source, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
  layer::SurfaceImage out = layer::readSurface(dest);
  EXPECT_EQ(out.pixel(0, 12), 0x00FF00u);  // keyed: the fill shows through
  EXPECT_EQ(out.pixel(15, 23), 0x00FF00u);
  EXPECT_EQ(out.pixel(16, 12), 0xFFFFFFu);  // not keyed: copied
  EXPECT_EQ(out.pixel(31, 23), 0xFFFFFFu);

  // Without the flag the key is ignored.
  ASSERT_EQ(dest->Blt(&bottom, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(layer::readSurface(dest).pixel(0, 12), 0x0000FFu);
}

TEST_F(BltTest, OverlappingCopyWithinOneSurfaceReadsTheOriginalPixels) {
  paint(dest, 11);
  const layer::SurfaceImage before = layer::readSurface(dest);
  RECT from{0, 0, 20, 20}, to{4, 3, 28, 23};  // overlapping, and stretched
  ASSERT_EQ(dest->Blt(&to, dest, &from, DDBLT_WAIT, nullptr), DD_OK);
  layer::SurfaceImage after = layer::readSurface(dest);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) {
      uint32_t expected = before.pixel(x, y);
      if (x >= 4 && x < 28 && y >= 3 && y < 23)
        expected = before.pixel(modelIndex(x - 4, 20, 24), modelIndex(y - 3, 20, 20));
      ASSERT_EQ(after.pixel(x, y), expected) << x << "," << y;
    }
}

TEST_F(BltTest, BltFastCopiesAtItsOwnSizeAndChecksTheTarget) {
  paint(source, 5);
  RECT part{2, 2, 6, 5};
  ASSERT_EQ(dest->BltFast(10, 7, source, &part, DDBLTFAST_WAIT), DD_OK);
  layer::SurfaceImage in = layer::readSurface(source), out = layer::readSurface(dest);
  EXPECT_EQ(out.pixel(10, 7), in.pixel(2, 2));
  EXPECT_EQ(out.pixel(13, 9), in.pixel(5, 4));
  EXPECT_EQ(out.pixel(14, 9), 0u);
  EXPECT_EQ(dest->BltFast(30, 0, source, &part, 0), DDERR_INVALIDRECT);  // runs off the right edge
}

TEST_F(BltTest, InjectedFaultReturnsItsCodeAndDrawsNothing) {
  paint(source, 9);
  layer::injectFault("IDirectDrawSurface::Blt", DDERR_SURFACELOST);
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(layer::readSurface(dest).pixel(0, 0), 0u);
  EXPECT_EQ(dest->IsLost(), DD_OK);  // the fault did not lose the surface
  EXPECT_EQ(dest->Blt(nullptr, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
}

TEST_F(BltTest, RecordsTheCallWithLabelsRectanglesAndFlags) {
  layer::clearCalls();
  RECT d{21, 16, 29, 20};
  ASSERT_EQ(dest->Blt(&d, source, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
  EXPECT_EQ(
      layer::callTexts({"IDirectDrawSurface::Blt"}),
      std::vector<std::string>{"IDirectDrawSurface::Blt(offscreen#1, [21,16,29,20], offscreen#2, null, 0x1008000)"});
}

}  // namespace

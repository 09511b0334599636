// The surface walk: the layout from the display mode, one lock and one
// unlock, the rows as the pitch steps them, the pixel layouts' examples, the
// colour key and the debug line.
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/graphic.h"
#include "support/graphic_fixture.h"

namespace {

using graphictest::GraphicTest;

// A display that answers GetDisplayMode with any bit count and green mask.
struct FakeDisplay : IDirectDraw {
  DWORD bitCount = 16;
  DWORD greenMask = 0x7E0;
  HRESULT answer = DD_OK;
  int asked = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC, LPDIRECTDRAWSURFACE *, IUnknown *) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC desc) override {
    ++asked;
    EXPECT_EQ(desc->dwSize, sizeof(DDSURFACEDESC));
    if (answer != DD_OK) return answer;
    desc->ddpfPixelFormat.dwRGBBitCount = bitCount;
    desc->ddpfPixelFormat.dwGBitMask = greenMask;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD, DWORD, DWORD) override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override { return DD_OK; }
};

PixelFormat formatFor(FakeDisplay &display) {
  DisplaySurfaces owner;
  owner.directDraw = &display;
  Graphic graphic;
  graphic.owner = &owner;
  PixelFormat format = graphic.pixelFormat();
  owner.directDraw = nullptr;
  return format;
}

TEST(PixelFormatFromMode, BitCountAndGreenMaskDecide) {
  FakeDisplay display;
  const struct {
    DWORD bits, green;
    PixelFormat format;
  } cases[] = {
      {16, 0x3E0, PixelFormat::Rgb555}, {16, 0x7E0, PixelFormat::Rgb565}, {16, 0x7C0, PixelFormat::Rgb565},
      {16, 0, PixelFormat::Rgb565},     {24, 0xFF00, PixelFormat::Rgb24}, {24, 0x3E0, PixelFormat::Rgb24},
      {32, 0xFF00, PixelFormat::Rgb32}, {8, 0, PixelFormat::Unsupported}, {15, 0x3E0, PixelFormat::Unsupported},
      {4, 0, PixelFormat::Unsupported}, {0, 0, PixelFormat::Unsupported}};
  for (const auto &c : cases) {
    display.bitCount = c.bits;
    display.greenMask = c.green;
    EXPECT_EQ(formatFor(display), c.format) << c.bits << " 0x" << std::hex << c.green;
  }
}

TEST(PixelFormatFromMode, AFailedQueryIsUnsupportedAndEveryCallAsksAgain) {
  FakeDisplay display;
  display.answer = DDERR_GENERIC;
  display.bitCount = 32;
  EXPECT_EQ(formatFor(display), PixelFormat::Unsupported);
  display.answer = DD_OK;
  EXPECT_EQ(formatFor(display), PixelFormat::Rgb32);
  EXPECT_EQ(formatFor(display), PixelFormat::Rgb32);
  EXPECT_EQ(display.asked, 3);
}

class SurfaceWalk : public GraphicTest {};

TEST_F(SurfaceWalk, TheLayerDisplayModesGiveTheirFormats) {
  for (int depth : {8, 15, 16, 24, 32}) {
    restart(depth);
    EXPECT_EQ(static_cast<int>(graphic.pixelFormat()), depth == 8 ? -1 : depth) << depth;
  }
}

TEST_F(SurfaceWalk, WithoutASurfaceNothingIsCalled) {
  useDisplay(24);
  layer::clearCalls();
  EXPECT_EQ(graphic.invert(), 0);
  EXPECT_EQ(graphic.brighten(0.1f), 0);
  EXPECT_TRUE(layer::calls().empty());
}

TEST_F(SurfaceWalk, AnUnsupportedDisplayNeitherLocksNorChanges) {
  useDisplay(8);
  IDirectDrawSurface *surface = attachSurface(4, 2);
  writePixels(surface, [](int x, int y) { return uint32_t(x + 10 * y); });
  std::vector<uint8_t> before = rawBytes(surface);
  layer::clearCalls();
  EXPECT_EQ(graphic.invert(), -1);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Lock"), 0u);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Unlock"), 0u);
  EXPECT_TRUE(layer::debugOutput().empty());
  EXPECT_EQ(rawBytes(surface), before);
}

TEST_F(SurfaceWalk, AFailedModeQueryChangesNothing) {
  useDisplay(32);
  IDirectDrawSurface *surface = attachSurface(3, 3);
  layer::injectFault("IDirectDraw::GetDisplayMode", DDERR_GENERIC);
  layer::clearCalls();
  EXPECT_EQ(graphic.invert(), -1);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Lock"), 0u);
  EXPECT_EQ(pixelAt(surface, 0, 0), 0u);
}

TEST_F(SurfaceWalk, LocksTheWholeSurfaceWithoutWaitingAndUnlocksOnce) {
  useDisplay(24);
  IDirectDrawSurface *surface = attachSurface(2, 2);
  layer::clearCalls();
  EXPECT_EQ(graphic.invert(), 0);
  EXPECT_EQ(calls({"IDirectDrawSurface::Lock", "IDirectDrawSurface::Unlock"}),
            (std::vector<std::string>{"IDirectDrawSurface::Lock(offscreen#1, null, 0x0)",
                                      "IDirectDrawSurface::Unlock(offscreen#1)"}));
  EXPECT_FALSE(layer::isSurfaceLocked(surface));
  EXPECT_EQ(pixelAt(surface, 1, 1), 0xFFFFFFu);
}

TEST_F(SurfaceWalk, AFailedLockTouchesNothingButStillUnlocks) {
  for (int depth : {16, 24, 32}) {
    restart(depth);
    IDirectDrawSurface *surface = attachSurface(3, 2);
    writePixels(surface, [](int x, int) { return uint32_t(0x10 * (x + 1)); });
    std::vector<uint8_t> before = rawBytes(surface);
    layer::injectFault("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
    layer::clearCalls();
    EXPECT_EQ(graphic.darken(0.5f), 0);
    EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Unlock"), 1u) << depth;
    EXPECT_FALSE(layer::isSurfaceLocked(surface));
    EXPECT_EQ(rawBytes(surface), before) << depth;
    EXPECT_TRUE(layer::debugOutput().empty()) << depth;
  }
}

TEST_F(SurfaceWalk, ALostSurfaceIsNotTouched) {
  useDisplay(32);
  IDirectDrawSurface *surface = attachSurface(2, 2);
  layer::loseSurface(surface);
  layer::clearCalls();
  EXPECT_EQ(graphic.invert(), 0);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Unlock"), 1u);
  EXPECT_FALSE(layer::isSurfaceLocked(surface));
}

TEST_F(SurfaceWalk, OnlyLayout32WritesThePitchOnceEvenForAnEmptyWalk) {
  for (int depth : {15, 16, 24}) {
    restart(depth);
    attachSurface(5, 2);
    graphic.invert();
    EXPECT_TRUE(layer::debugOutput().empty()) << depth;
  }
  restart(32);
  layer::setExtraPitch(8);
  IDirectDrawSurface *surface = attachSurface(320, 2);  // 1280 bytes of pixels, 1288 a row
  graphic.invert();
  EXPECT_EQ(layer::debugOutput(), (std::vector<std::string>{"pitch: 1288\n"}));
  graphic.width = 0;
  graphic.invert();
  graphic.width = 320;
  graphic.height = -1;
  graphic.invert();
  EXPECT_EQ(layer::debugOutput().size(), 3u);
  EXPECT_EQ(layer::debugOutput().back(), "pitch: 1288\n");
  // Walked once (the empty walks changed nothing), and the 8 bytes beyond
  // each row were never touched.
  std::vector<uint8_t> bytes = rawBytes(surface);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 320; ++x) EXPECT_EQ(pixelAt(surface, x, y), 0x00FFFFFFu);
    for (int b = 1280; b < 1288; ++b) EXPECT_EQ(bytes[y * 1288 + b], 0) << y << " " << b;
  }
}

// Pixel values in and out of one operation, per layout.
struct Example {
  int depth;
  uint32_t in, out;
};

TEST_F(SurfaceWalk, LayoutExamples) {
  auto run = [this](const std::vector<Example> &examples, const std::function<void(Graphic &)> &op, const char *what) {
    for (const Example &e : examples) {
      restart(e.depth);
      IDirectDrawSurface *surface = attachSurface(1, 1);
      fillPixels(surface, {e.in});
      op(graphic);
      EXPECT_EQ(pixelAt(surface, 0, 0), e.out) << what << " in layout " << e.depth << " of 0x" << std::hex << e.in;
    }
  };
  run(
      {{15, 0x0000, 0x7FFF},
       {15, 0x8000, 0x7FFF},
       {15, 0x7FFF, 0x0000},
       {15, 0x7C00, 0x03FF},
       {15, 0x0421, 0x7BDE},
       {16, 0x0000, 0xFFDF},
       {16, 0xFFFF, 0x0000},
       {16, 0xF800, 0x07DF},
       {16, 0x0020, 0xFFDF},  // green field 1 unpacks to 7, inverts to 248, packs to field 62
       {24, 0x1E140A, 0xE1EBF5},
       {32, 0xAABBCCDD, 0xAA443322},
       {32, 0x00000000, 0x00FFFFFF}},
      [](Graphic &g) { g.invert(); }, "invert");
  run(
      {{15, 0x0000, 0x0C63}, {16, 0x0000, 0x18C3}, {24, 0x000000, 0x191919}, {32, 0x12000000, 0x12191919}},
      [](Graphic &g) { g.brighten(0.1f); }, "brighten by 0.1");
  run(
      {{16, 0xFFFF, 0xE71C}, {15, 0x7FFF, 0x739C}, {24, 0x0A0A0A, 0x080808}, {32, 0xFFFFFFFF, 0xFFE5E5E5}},
      [](Graphic &g) { g.darken(0.1f); }, "darken by 0.1");
  // The red amount acts on the byte at the lowest address in layout 24 and
  // on bits 16-23 in layout 32.
  run(
      {{24, 0x000000, 0x000019},
       {32, 0xFF000000, 0xFF190000},
       {16, 0x0000, 0x1800},
       {15, 0x0000, 0x0C00},
       {24, 0xFFFFFF, 0xE5FFFF},
       {32, 0x00FFFFFF, 0x00FFFFE5}},
      [](Graphic &g) { g.addColor(0.1f, 0, -0.1f); }, "add red, take blue");
  // Unchanged values are still packed again: 5-5-5 drops bit 15, 5-6-5 the
  // lowest green bit; green fields 2 and 3 both unpack to 15.
  run(
      {{15, 0xFFFF, 0x7FFF},
       {15, 0x8001, 0x0001},
       {16, 0x0040, 0x0040},
       {16, 0x0060, 0x0040},
       {16, 0xFFFF, 0xFFDF},
       {24, 0x123456, 0x123456},
       {32, 0xDEADBEEF, 0xDEADBEEF}},
      [](Graphic &g) { g.darken(-3); }, "darken by nothing");
  run(
      {{24, 0x1F140A, 0x141414}, {32, 0x770A141F, 0x77141414}, {16, 0xF800, 0x528A}, {15, 0x7C00, 0x294A}},
      [](Graphic &g) { g.grayscale(); }, "grayscale");
}

TEST_F(SurfaceWalk, PublicOperationsClampTheirAmounts) {
  useDisplay(24);
  IDirectDrawSurface *surface = attachSurface(3, 1);
  const std::vector<uint32_t> start = {0x000000, 0x808080, 0x0A6432};
  fillPixels(surface, start);
  graphic.brighten(2.5f);
  EXPECT_EQ(readPixels(surface), (std::vector<uint32_t>{0xFFFFFF, 0xFFFFFF, 0xFFFFFF}));
  fillPixels(surface, start);
  graphic.darken(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(readPixels(surface), start);
  fillPixels(surface, start);
  graphic.brighten(-1);
  EXPECT_EQ(readPixels(surface), start);
  // -7, 0.5 and 9 act as -1, 0.5 and 1: red to 0, green halfway up, blue to 255.
  fillPixels(surface, start);
  graphic.addColor(-7, 0.5f, 9);
  EXPECT_EQ(readPixels(surface), (std::vector<uint32_t>{0xFF7F00, 0xFFBF00, 0xFFB100}));
  fillPixels(surface, start);
  graphic.addColor(std::numeric_limits<float>::quiet_NaN(), 0, 0);  // NaN becomes -1
  EXPECT_EQ(readPixels(surface), (std::vector<uint32_t>{0x000000, 0x808000, 0x0A6400}));
}

TEST_F(SurfaceWalk, OtherOperationCodesRepackEveryPixel) {
  useDisplay(15);
  IDirectDrawSurface *surface = attachSurface(2, 1);
  for (int32_t code : {5, -1, 1000}) {
    fillPixels(surface, {0x8421, 0xFFFF});
    EXPECT_EQ(graphic.applyColorOp(static_cast<ColorOp>(code), 0.5f, 0.5f, 0.5f), 0);
    EXPECT_EQ(readPixels(surface), (std::vector<uint32_t>{0x0421, 0x7FFF})) << code;
  }
}

TEST_F(SurfaceWalk, TheWalkCoversWidthByHeightOfTheRecordOnly) {
  useDisplay(32);
  IDirectDrawSurface *surface = attachSurface(5, 4);
  graphic.width = 3;
  graphic.height = 2;
  graphic.invert();
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(pixelAt(surface, x, y), x < 3 && y < 2 ? 0x00FFFFFFu : 0u) << x << "," << y;
}

// Rows with odd pitches: every pixel of every row transformed, and the
// bytes between rows left alone.
TEST_F(SurfaceWalk, OddPitchesAndWidthsKeepRowsApart) {
  for (const graphictest::Depth &depth : graphictest::allDepths()) {
    for (int extra : {1, 2, 3, 4, 5, 8}) {
      if (depth.bytesPerPixel != 3 && extra % depth.bytesPerPixel != 0) continue;  // see the next test
      restart(depth.format);
      layer::setExtraPitch(extra);
      const int width = 7, height = 5;
      IDirectDrawSurface *surface = attachSurface(width, height);
      std::vector<uint8_t> bytes = rawBytes(surface);
      const int pitch = static_cast<int>(bytes.size()) / height;
      const int rowBytes = width * depth.bytesPerPixel;
      ASSERT_GT(pitch, rowBytes);
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
      writeRawBytes(surface, bytes);
      std::vector<uint32_t> before = readPixels(surface);
      graphic.invert();
      graphic.invert();
      std::vector<uint8_t> after = rawBytes(surface);
      std::vector<uint32_t> twice = readPixels(surface);
      for (int y = 0; y < height; ++y)
        for (int b = rowBytes; b < pitch; ++b)
          EXPECT_EQ(after[y * pitch + b], bytes[y * pitch + b]) << depth.format << " pitch " << pitch << " row " << y;
      // Inverting twice gives back every pixel (in 5-5-5 without bit 15, in
      // 5-6-5 without the lowest green bit).
      for (size_t i = 0; i < before.size(); ++i) {
        uint32_t expected = before[i];
        if (depth.format == 15) expected &= 0x7FFF;
        if (depth.format == 16) expected &= 0xFFDF;
        EXPECT_EQ(twice[i], expected) << depth.format << " pixel " << i;
      }
    }
  }
}

// In the word layouts the walk counts the skip beyond a row in whole
// pixels, truncating: a pitch that is no multiple of the pixel size steps
// the rows short of it.
TEST_F(SurfaceWalk, WordLayoutsStepRowsByWholePixels) {
  for (int depth : {16, 32}) {
    restart(depth);
    layer::setExtraPitch(3);
    const int bytesPerPixel = depth / 8, width = 5, height = 4;
    IDirectDrawSurface *surface = attachSurface(width, height);
    std::vector<uint8_t> bytes(rawBytes(surface).size(), 0);
    const int pitch = static_cast<int>(bytes.size()) / height;
    const int step = (width + (pitch - bytesPerPixel * width) / bytesPerPixel) * bytesPerPixel;
    ASSERT_NE(step, pitch);
    writeRawBytes(surface, bytes);
    graphic.applyColorOp(ColorOp::Invert, 0, 0, 0);
    std::vector<uint8_t> expected = bytes;
    for (int y = 0; y < height; ++y)
      for (int b = 0; b < width * bytesPerPixel; ++b)
        expected[y * step + b] = depth == 32 ? (b % 4 == 3 ? 0x00 : 0xFF) : (b % 2 == 0 ? 0xDF : 0xFF);
    EXPECT_EQ(rawBytes(surface), expected) << depth;
  }
}

TEST_F(SurfaceWalk, AMatchingColorKeyLeavesThePixelUnwritten) {
  const struct {
    int depth;
    uint32_t key, skipped, transformed;
  } cases[] = {
      {32, 0x0000FF, 0x00FF0000, 0x000000FF}, {32, 0x0000FF, 0x7FFF0000, 0x0000FF00},
      {24, 0x0000FF, 0x0000FF, 0xFF0000},     {16, 0x0000FF, 0xF800, 0x001F},
      {15, 0x0000FF, 0x7C00, 0x001F},         {15, 0x0000FF, 0xFC00, 0x03E0},  // bit 15 kept: not written
      {15, 0x00000F, 0x0400, 0x0800},         {16, 0x00FF00, 0x07E0, 0x0780},
      {16, 0x000F00, 0x0040, 0x0020},         {24, 0x123456, 0x123456, 0x563412},
      {32, 0x563412, 0x00123456, 0x00563412},
  };
  for (const auto &c : cases) {
    restart(c.depth);
    IDirectDrawSurface *surface = attachSurface(2, 1);
    graphic.colorKeyEnabled = true;
    graphic.colorKey = c.key;
    fillPixels(surface, {c.skipped, c.transformed});
    graphic.invert();
    std::vector<uint32_t> after = readPixels(surface);
    EXPECT_EQ(after[0], c.skipped) << c.depth << " key 0x" << std::hex << c.key;
    EXPECT_NE(after[1], c.transformed) << c.depth << " key 0x" << std::hex << c.key;
    // With the key off the same pixel is transformed.
    graphic.colorKeyEnabled = false;
    graphic.invert();
    EXPECT_NE(pixelAt(surface, 0, 0), c.skipped) << c.depth;
  }
}

TEST_F(SurfaceWalk, KeysWithTopBitsOrUnexpandedValuesNeverMatch) {
  useDisplay(15);
  IDirectDrawSurface *surface = attachSurface(1, 1);
  graphic.colorKeyEnabled = true;
  for (uint32_t key : {0x00000008u, 0x01000000u, 0xFF00000Fu}) {
    fillPixels(surface, {0x0400});  // red field 1: red 15
    graphic.colorKey = key;
    graphic.invert();
    EXPECT_EQ(pixelAt(surface, 0, 0), 0x7BFFu) << std::hex << key;
  }
  restart(32);
  surface = attachSurface(1, 1);
  graphic.colorKey = 0xFF000000;
  fillPixels(surface, {0xFF000000});
  graphic.invert();
  EXPECT_EQ(pixelAt(surface, 0, 0), 0xFFFFFFFFu);
}

}  // namespace

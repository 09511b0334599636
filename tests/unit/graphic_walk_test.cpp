// The surface walk: the layout from the display mode, one lock and one
// unlock, the rows as the pitch steps them, the layouts' examples, the
// colour key and the debug line.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "graphics/graphic.h"
#include "support/graphic_fixture.h"

namespace {

using graphictest::GraphicTest;

// A display that answers GetDisplayMode with any bit count and green mask.
struct FakeDisplay : IDirectDraw {
  DWORD bitCount = 16, greenMask = 0x7E0;
  HRESULT answer = DD_OK;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC, LPDIRECTDRAWSURFACE *, IUnknown *) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC desc) override {
    EXPECT_EQ(desc->dwSize, sizeof(DDSURFACEDESC));
    desc->ddpfPixelFormat.dwRGBBitCount = bitCount;
    desc->ddpfPixelFormat.dwGBitMask = greenMask;
    return answer;
  }
  HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD, DWORD, DWORD) override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override { return DD_OK; }
};

TEST(PixelFormatFromMode, BitCountAndGreenMaskDecideAndAFailedQueryIsUnsupported) {
  const struct {
    DWORD bits, green;
    HRESULT answer;
    int format;
  } cases[] = {{16, 0x3E0, DD_OK, 15}, {16, 0x7E0, DD_OK, 16},         {16, 0x7C0, DD_OK, 16}, {16, 0, DD_OK, 16},
               {24, 0x3E0, DD_OK, 24}, {32, 0xFF00, DD_OK, 32},        {8, 0, DD_OK, -1},      {15, 0x3E0, DD_OK, -1},
               {0, 0, DD_OK, -1},      {32, 0xFF00, DDERR_GENERIC, -1}};
  for (const auto &c : cases) {
    FakeDisplay display;
    display.bitCount = c.bits;
    display.greenMask = c.green;
    display.answer = c.answer;
    DisplaySurfaces owner;
    owner.directDraw = &display;
    Graphic graphic;
    graphic.owner = &owner;
    EXPECT_EQ(static_cast<int>(graphic.pixelFormat()), c.format) << c.bits << " 0x" << std::hex << c.green;
    owner.directDraw = nullptr;
  }
}

class SurfaceWalk : public GraphicTest {};

TEST_F(SurfaceWalk, LocksTheWholeSurfaceWithoutWaitingAndUnlocksOnce) {
  useDisplay(24);
  IDirectDrawSurface *surface = attachSurface(2, 2);
  layer::clearCalls();
  EXPECT_EQ(graphic.invert(), 0);
  EXPECT_EQ(layer::callTexts({"IDirectDrawSurface::Lock", "IDirectDrawSurface::Unlock"}),
            (std::vector<std::string>{"IDirectDrawSurface::Lock(offscreen#1, null, 0x0)",
                                      "IDirectDrawSurface::Unlock(offscreen#1)"}));
  EXPECT_FALSE(layer::isSurfaceLocked(surface));
  EXPECT_EQ(readPixels(surface), std::vector<uint32_t>(4, 0xFFFFFF));
}

// No surface, an unsupported display, a failed mode query, a failed or lost
// lock: nothing changes; a lock that was tried is still undone once.
TEST_F(SurfaceWalk, FailuresChangeNothing) {
  useDisplay(24);
  layer::clearCalls();
  EXPECT_EQ(graphic.brighten(0.1f), 0);
  EXPECT_TRUE(layer::calls().empty());

  const struct {
    int depth;
    const char *fault;  // armed once, or null
    bool lose;
    int result;
    size_t unlocks;
  } cases[] = {{8, nullptr, false, -1, 0},
               {32, "IDirectDraw::GetDisplayMode", false, -1, 0},
               {32, "IDirectDrawSurface::Lock", false, 0, 1},
               {16, "IDirectDrawSurface::Lock", false, 0, 1},
               {32, nullptr, true, 0, 1}};
  for (const auto &c : cases) {
    restart(c.depth);
    IDirectDrawSurface *surface = attachSurface(3, 2);
    writePixels(surface, [](int x, int y) { return uint32_t(0x10 * (x + 1) + y); });
    const std::vector<uint8_t> before = rawBytes(surface);
    if (c.fault) layer::injectFault(c.fault, DDERR_SURFACEBUSY);
    if (c.lose) layer::loseSurface(surface);
    layer::clearCalls();
    EXPECT_EQ(graphic.darken(0.5f), c.result) << c.depth << " " << (c.fault ? c.fault : "");
    EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Lock"), c.unlocks);
    EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Unlock"), c.unlocks);
    EXPECT_FALSE(layer::isSurfaceLocked(surface));
    EXPECT_TRUE(layer::debugOutput().empty());
    if (!c.lose) {
      EXPECT_EQ(rawBytes(surface), before);
    }
  }
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
  EXPECT_EQ(layer::debugOutput(), std::vector<std::string>(3, "pitch: 1288\n"));
  EXPECT_EQ(readPixels(surface), std::vector<uint32_t>(640, 0x00FFFFFF));  // walked once
}

// Inverted, and left as it is (darkened by nothing). Unchanged values are
// still packed again: 5-5-5 drops bit 15, 5-6-5 the lowest green bit, and
// green fields 2 and 3 both unpack to 15.
TEST_F(SurfaceWalk, LayoutExamples) {
  const uint32_t cases[][4] = {// layout, pixel, inverted, repacked
                               {15, 0x8000, 0x7FFF, 0x0000},
                               {15, 0x7FFF, 0x0000, 0x7FFF},
                               {16, 0x0000, 0xFFDF, 0x0000},
                               {16, 0xFFFF, 0x0000, 0xFFDF},
                               {16, 0x0060, 0xFF9F, 0x0040},
                               {24, 0x1E140A, 0xE1EBF5, 0x1E140A},
                               {32, 0xAABBCCDD, 0xAA443322, 0xAABBCCDD}};
  for (const auto &[depth, pixel, inverted, repacked] : cases) {
    restart(static_cast<int>(depth));
    IDirectDrawSurface *surface = attachSurface(1, 1);
    fillPixels(surface, {pixel});
    graphic.invert();
    EXPECT_EQ(readPixels(surface)[0], inverted) << depth << " 0x" << std::hex << pixel;
    fillPixels(surface, {pixel});
    graphic.darken(-3);
    EXPECT_EQ(readPixels(surface)[0], repacked) << depth << " 0x" << std::hex << pixel;
  }
}

TEST_F(SurfaceWalk, AmountsAreClampedBeforeAnyPixelIsTouched) {
  useDisplay(24);
  IDirectDrawSurface *surface = attachSurface(3, 1);
  const std::vector<uint32_t> start = {0x000000, 0x808080, 0x0A6432};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    std::function<void(Graphic &)> op;
    std::vector<uint32_t> out;
  } cases[] = {
      {[](Graphic &g) { g.brighten(2.5f); }, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
      {[nan](Graphic &g) { g.darken(nan); }, start},
      {[](Graphic &g) { g.brighten(-1); }, start},
      // -7, 0.5 and 9 act as -1, 0.5 and 1: red to 0, green halfway up, blue to 255.
      {[](Graphic &g) { g.addColor(-7, 0.5f, 9); }, {0xFF7F00, 0xFFBF00, 0xFFB100}},
      {[nan](Graphic &g) { g.addColor(nan, 0, 0); }, {0x000000, 0x808000, 0x0A6400}},  // NaN becomes -1
      // Called directly with amounts out of range, channels are stored clamped.
      {[](Graphic &g) { g.applyColorOp(ColorOp::Brighten, 2, -2, 0); }, {0x0000FF, 0x8000FF, 0x0A00FF}},
  };
  for (const auto &c : cases) {
    fillPixels(surface, start);
    c.op(graphic);
    EXPECT_EQ(readPixels(surface), c.out);
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
    std::vector<uint8_t> expected(rawBytes(surface).size(), 0);
    const int pitch = static_cast<int>(expected.size()) / height;
    const int step = (width + (pitch - bytesPerPixel * width) / bytesPerPixel) * bytesPerPixel;
    ASSERT_NE(step, pitch);
    graphic.invert();
    for (int y = 0; y < height; ++y)
      for (int b = 0; b < width * bytesPerPixel; ++b)
        expected[y * step + b] = depth == 32 ? (b % 4 == 3 ? 0x00 : 0xFF) : (b % 2 == 0 ? 0xDF : 0xFF);
    EXPECT_EQ(rawBytes(surface), expected) << depth;
  }
}

TEST_F(SurfaceWalk, AMatchingColorKeyLeavesThePixelUnwritten) {
  const struct {
    uint32_t depth, key, first, second;
    bool firstMatches;  // the second never does
  } cases[] = {
      {32, 0x0000FF, 0x7FFF0000, 0x000000FF, true},
      {24, 0x0000FF, 0x0000FF, 0xFF0000, true},
      {16, 0x0000FF, 0xF800, 0x001F, true},
      {15, 0x0000FF, 0xFC00, 0x03E0, true},  // bit 15 kept
      {15, 0x00000F, 0x0400, 0x0800, true},
      {16, 0x00FF00, 0x07E0, 0x0780, true},
      {24, 0x123456, 0x123456, 0x563412, true},
      {32, 0x563412, 0x00123456, 0x00563412, true},
      {32, 0xFF000000, 0xFF000000, 0x00000000, false},  // a key with top bits never matches
      {15, 0x000008, 0x0400, 0x0000, false},            // nor one of unexpanded bits
  };
  for (const auto &c : cases) {
    restart(static_cast<int>(c.depth));
    IDirectDrawSurface *surface = attachSurface(2, 1);
    graphic.colorKeyEnabled = true;
    graphic.colorKey = c.key;
    fillPixels(surface, {c.first, c.second});
    graphic.invert();
    std::vector<uint32_t> after = readPixels(surface);
    EXPECT_EQ(after[0] == c.first, c.firstMatches) << c.depth << " key 0x" << std::hex << c.key;
    EXPECT_NE(after[1], c.second) << c.depth << " key 0x" << std::hex << c.key;
    // With the key off the same pixel is transformed.
    graphic.colorKeyEnabled = false;
    fillPixels(surface, {c.first, c.second});
    graphic.invert();
    EXPECT_NE(readPixels(surface)[0], c.first) << c.depth;
  }
}

}  // namespace

// BitBlt, StretchBlt, SetPixel and GetPixel: conversion into every surface
// layout, clipping on both sides, mirroring, nearest-neighbour stretching,
// raster operations and the hot-call record.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "gdi/gdi_objects.h"
#include "layer_test.h"

using layer::PixelBuffer;
using layer::PixelLayout;

namespace {

// Pixels a surface DC draws into, as DirectDraw hands them to GDI.
struct Surface {
  std::vector<uint8_t> bytes;
  PixelBuffer buffer;
  HDC dc = nullptr;
  Surface(int width, int height, const PixelLayout &layout, int extraPitch = 0) {
    int pitch = width * layout.bytesPerPixel() + extraPitch;
    bytes.assign(static_cast<size_t>(pitch) * height, 0xEE);
    buffer = PixelBuffer{bytes.data(), width, height, pitch, layout, nullptr};
    dc = layer::gdi::createSurfaceDC(buffer, "offscreen#1");
  }
  ~Surface() { layer::gdi::destroyDC(dc); }
  uint32_t raw(int x, int y) const { return layer::readPixel(buffer, x, y); }
};

// A memory DC holding a 24-bit DIB section filled from a colour function.
struct Picture {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ original = nullptr;
  Picture(int width, int height, int bitsPerPixel = 24) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
    void *bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    original = SelectObject(dc, bitmap);
  }
  ~Picture() {
    SelectObject(dc, original);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  void set(int x, int y, COLORREF c) { SetPixel(dc, x, y, c); }
};

// A distinct colour per position, so that every misplaced pixel shows.
COLORREF colourAt(int x, int y) { return RGB(40 * x + 8, 30 * y + 16, 255 - 10 * (x + y)); }

class GdiBlit : public ::testing::Test {
 protected:
  void SetUp() override { layer::reset(); }
  void TearDown() override { layer::reset(); }
};

TEST_F(GdiBlit, BitBltConvertsIntoEverySurfaceLayout) {
  const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0),   RGB(0, 0, 255), RGB(255, 255, 255),
                              RGB(1, 2, 3),   RGB(128, 64, 32), RGB(0, 0, 0),   RGB(200, 150, 100)};
  Picture picture(8, 1);
  for (int x = 0; x < 8; ++x) picture.set(x, 0, colours[x]);
  for (const PixelLayout &layout :
       {layer::layout555(), layer::layout565(), layer::layout24(), layer::layout32(), layer::layout8()}) {
    SCOPED_TRACE(testing::Message() << layout.bitsPerPixel << " bits, green " << std::hex << layout.greenMask);
    Surface surface(8, 1, layout);
    ASSERT_TRUE(BitBlt(surface.dc, 0, 0, 8, 1, picture.dc, 0, 0, SRCCOPY));
    for (int x = 0; x < 8; ++x) {
      uint32_t want = layout.bitsPerPixel == 8 ? layer::nearestPaletteIndex(layer::defaultPalette(), colours[x])
                                               : layer::packColor(layout, colours[x]);
      EXPECT_EQ(surface.raw(x, 0), want) << "pixel " << x;
    }
  }
}

TEST_F(GdiBlit, TwentyFourBitSurfacesHoldRedInTheLowestByte) {
  Picture picture(1, 1);
  picture.set(0, 0, RGB(0x11, 0x22, 0x33));
  Surface surface(1, 1, layer::layout24());
  ASSERT_TRUE(BitBlt(surface.dc, 0, 0, 1, 1, picture.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(surface.bytes[0], 0x11);
  EXPECT_EQ(surface.bytes[1], 0x22);
  EXPECT_EQ(surface.bytes[2], 0x33);
  Surface wide(1, 1, layer::layout32());
  ASSERT_TRUE(BitBlt(wide.dc, 0, 0, 1, 1, picture.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(wide.raw(0, 0), 0x00112233u) << "X8R8G8B8 with the spare byte cleared";
}

TEST_F(GdiBlit, NarrowSourcesWidenToFullScale) {
  Surface source(2, 1, layer::layout565());
  layer::writePixel(source.buffer, 0, 0, 0xFFFF);
  layer::writePixel(source.buffer, 1, 0, 0x001F);
  Surface dest(2, 1, layer::layout24());
  ASSERT_TRUE(BitBlt(dest.dc, 0, 0, 2, 1, source.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(dest.raw(0, 0), 0xFFFFFFu);
  EXPECT_EQ(dest.raw(1, 0), 0xFF0000u) << "blue in the highest byte of this layout";
}

TEST_F(GdiBlit, IndexedSourcesUseTheirOwnPalette) {
  BITMAPINFO *info = static_cast<BITMAPINFO *>(::operator new(sizeof(BITMAPINFOHEADER) + 4 * sizeof(RGBQUAD)));
  *info = BITMAPINFO{};
  info->bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, -1, 1, 8, BI_RGB, 0, 0, 0, 4, 0};
  RGBQUAD *table = info->bmiColors;
  table[0] = {0, 0, 0xFF, 0};  // red
  table[1] = {0xFF, 0, 0, 0};  // blue
  table[2] = {0x10, 0x20, 0x30, 0};
  table[3] = {0xFF, 0xFF, 0xFF, 0};
  void *bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ::operator delete(info);
  ASSERT_NE(dib, nullptr);
  uint8_t *indices = static_cast<uint8_t *>(bits);
  indices[0] = 3, indices[1] = 2, indices[2] = 1, indices[3] = 0;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ original = SelectObject(dc, dib);
  Surface surface(4, 1, layer::layout32());
  ASSERT_TRUE(BitBlt(surface.dc, 0, 0, 4, 1, dc, 0, 0, SRCCOPY));
  EXPECT_EQ(surface.raw(0, 0), 0xFFFFFFu);
  EXPECT_EQ(surface.raw(1, 0), 0x302010u);
  EXPECT_EQ(surface.raw(2, 0), 0x0000FFu);
  EXPECT_EQ(surface.raw(3, 0), 0xFF0000u);
  SelectObject(dc, original);
  DeleteDC(dc);
  DeleteObject(dib);
}

TEST_F(GdiBlit, CopiesArePlacedUprightAndClippedToBothBuffers) {
  Picture picture(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) picture.set(x, y, colourAt(x, y));
  Surface surface(5, 4, layer::layout32(), 12);  // a pitch wider than the row
  // Destination partly off the top left; source partly off the right and bottom.
  ASSERT_TRUE(BitBlt(surface.dc, -1, -1, 4, 4, picture.dc, 1, 1, SRCCOPY));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      int sx = x + 1 + 1, sy = y + 1 + 1;  // destination (x, y) reads source (x + 2, y + 2)
      bool copied = x <= 2 && y <= 2 && sx < 4 && sy < 3;
      uint32_t want = copied ? layer::packColor(layer::layout32(), colourAt(sx, sy)) : 0xEEEEEEEEu;
      EXPECT_EQ(surface.raw(x, y), want) << x << "," << y;
    }
  // Rows past a narrow pitch are untouched.
  for (int y = 0; y < 4; ++y)
    for (int k = 20; k < 32; ++k) EXPECT_EQ(surface.bytes[static_cast<size_t>(y) * 32 + k], 0xEE);
}

TEST_F(GdiBlit, OffscreenTransfersDrawNothingAndSucceed) {
  Picture picture(2, 2);
  Surface surface(2, 2, layer::layout32());
  EXPECT_TRUE(BitBlt(surface.dc, 5, 0, 2, 2, picture.dc, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(surface.dc, 0, 0, 2, 2, picture.dc, -9, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(surface.dc, 0, 0, 0, 2, picture.dc, 0, 0, SRCCOPY));
  EXPECT_TRUE(StretchBlt(surface.dc, 0, 0, 2, 2, picture.dc, 0, 0, 0, 2, SRCCOPY));
  for (uint8_t b : surface.bytes) ASSERT_EQ(b, 0xEE);
}

TEST_F(GdiBlit, NegativeExtentsMirror) {
  Picture picture(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) picture.set(x, y, colourAt(x, y));
  auto at = [](const Surface &s, int x, int y) { return layer::unpackColor(s.buffer.layout, s.raw(x, y)); };
  Surface flipped(3, 2, layer::layout24());
  // A negative destination width: the rectangle ends at x, and left and right swap.
  ASSERT_TRUE(StretchBlt(flipped.dc, 3, 0, -3, 2, picture.dc, 0, 0, 3, 2, SRCCOPY));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(at(flipped, x, y), colourAt(2 - x, y)) << x << "," << y;
  Surface upsideDown(3, 2, layer::layout24());
  ASSERT_TRUE(StretchBlt(upsideDown.dc, 0, 0, 3, 2, picture.dc, 0, 2, 3, -2, SRCCOPY));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(at(upsideDown, x, y), colourAt(x, 1 - y)) << x << "," << y;
  Surface both(3, 2, layer::layout24());
  // Both extents negative cancel out: a plain copy of the rectangles they end at.
  ASSERT_TRUE(BitBlt(both.dc, 3, 2, -3, -2, picture.dc, 3, 2, SRCCOPY));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(at(both, x, y), colourAt(x, y)) << x << "," << y;
}

TEST_F(GdiBlit, StretchTakesTheNearestSourcePixel) {
  Picture picture(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) picture.set(x, y, colourAt(x, y));
  Surface big(7, 5, layer::layout32());
  ASSERT_TRUE(StretchBlt(big.dc, 0, 0, 7, 5, picture.dc, 0, 0, 3, 2, SRCCOPY));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) {
      int sx = static_cast<int>((x + 0.5) * 3 / 7), sy = static_cast<int>((y + 0.5) * 2 / 5);
      EXPECT_EQ(big.raw(x, y), layer::packColor(layer::layout32(), colourAt(sx, sy))) << x << "," << y;
    }
  // Whole-number zoom repeats each pixel in a block; one-to-one copies exactly.
  Surface twice(6, 4, layer::layout32());
  ASSERT_TRUE(StretchBlt(twice.dc, 0, 0, 6, 4, picture.dc, 0, 0, 3, 2, SRCCOPY));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(twice.raw(x, y), layer::packColor(layer::layout32(), colourAt(x / 2, y / 2))) << x << "," << y;
  Surface small(1, 1, layer::layout32());
  ASSERT_TRUE(StretchBlt(small.dc, 0, 0, 1, 1, picture.dc, 0, 0, 3, 2, SRCCOPY));
  EXPECT_EQ(small.raw(0, 0), layer::packColor(layer::layout32(), colourAt(1, 1)));
}

TEST_F(GdiBlit, HugeExtentsAreClippedWithoutOverflow) {
  Picture picture(2, 2);
  picture.set(0, 0, RGB(9, 9, 9));
  Surface surface(4, 4, layer::layout32());
  EXPECT_TRUE(
      StretchBlt(surface.dc, -2000000000, -2000000000, 2147483647, 2147483647, picture.dc, 0, 0, 2, 2, SRCCOPY));
  EXPECT_TRUE(StretchBlt(surface.dc, 0, 0, 4, 4, picture.dc, -2147483647, 0, 2147483647, 2, SRCCOPY));
}

TEST_F(GdiBlit, OverlappingCopiesWithinOneBufferReadTheOriginal) {
  Picture picture(5, 1);
  for (int x = 0; x < 5; ++x) picture.set(x, 0, colourAt(x, 0));
  ASSERT_TRUE(BitBlt(picture.dc, 1, 0, 4, 1, picture.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(picture.dc, 0, 0), colourAt(0, 0));
  for (int x = 1; x < 5; ++x) EXPECT_EQ(GetPixel(picture.dc, x, 0), colourAt(x - 1, 0)) << x;
}

TEST_F(GdiBlit, RasterOperations) {
  Picture picture(2, 2);
  Surface surface(3, 1, layer::layout565());
  EXPECT_TRUE(BitBlt(surface.dc, 0, 0, 2, 1, nullptr, 0, 0, WHITENESS));
  EXPECT_EQ(surface.raw(0, 0), 0xFFFFu);
  EXPECT_EQ(surface.raw(1, 0), 0xFFFFu);
  EXPECT_EQ(surface.raw(2, 0), 0xEEEEu);
  EXPECT_TRUE(BitBlt(surface.dc, 1, 0, 5, 1, nullptr, 0, 0, BLACKNESS));
  EXPECT_EQ(surface.raw(0, 0), 0xFFFFu);
  EXPECT_EQ(surface.raw(2, 0), 0u);
  SetLastError(0);
  EXPECT_FALSE(BitBlt(surface.dc, 0, 0, 1, 1, picture.dc, 0, 0, 0x00F00021));  // PATCOPY
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(BitBlt(surface.dc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY)) << "a copy needs a source";
  EXPECT_FALSE(StretchBlt(nullptr, 0, 0, 1, 1, picture.dc, 0, 0, 1, 1, SRCCOPY));
  EXPECT_EQ(surface.raw(0, 0), 0xFFFFu);
}

TEST_F(GdiBlit, TransfersAreRecordedAndHonourFaults) {
  Picture picture(2, 2);
  Surface surface(2, 2, layer::layout32());
  layer::clearCalls();
  layer::injectFault("BitBlt", E_OUTOFMEMORY);
  EXPECT_FALSE(BitBlt(surface.dc, 0, 0, 2, 2, picture.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_OUTOFMEMORY));
  for (uint8_t b : surface.bytes) ASSERT_EQ(b, 0xEE);
  EXPECT_TRUE(StretchBlt(surface.dc, 0, 0, 2, 2, picture.dc, 0, 0, 1, 1, SRCCOPY));
  std::vector<std::string> expected = {"BitBlt(dc#2, 0, 0, 2, 2, dc#1, 0, 0, SRCCOPY)",
                                       "StretchBlt(dc#2, 0, 0, 2, 2, dc#1, 0, 0, 1, 1, SRCCOPY)"};
  EXPECT_EQ(layer::callTexts({"BitBlt", "StretchBlt"}), expected);
}

TEST_F(GdiBlit, SetPixelReturnsTheColourTheLayoutHolds) {
  Surface s555(2, 1, layer::layout555());
  EXPECT_EQ(SetPixel(s555.dc, 0, 0, RGB(255, 255, 255)), RGB(255, 255, 255));
  EXPECT_EQ(SetPixel(s555.dc, 1, 0, RGB(0x87, 0x43, 0x21)), RGB(0x84, 0x42, 0x21));
  EXPECT_EQ(s555.raw(1, 0), layer::packColor(layer::layout555(), RGB(0x87, 0x43, 0x21)));
  EXPECT_EQ(GetPixel(s555.dc, 1, 0), RGB(0x84, 0x42, 0x21));
  Surface s24(1, 1, layer::layout24());
  EXPECT_EQ(SetPixel(s24.dc, 0, 0, RGB(255, 0, 0)), RGB(255, 0, 0));
  EXPECT_EQ(s24.raw(0, 0), 0x0000FFu);
  Surface s8(1, 1, layer::layout8());
  EXPECT_EQ(SetPixel(s8.dc, 0, 0, RGB(250, 3, 2)), RGB(255, 0, 0)) << "the nearest palette entry";
  EXPECT_EQ(SetPixel(s8.dc, 0, 0, 0xFF000000 | RGB(0, 0, 0)), RGB(0, 0, 0)) << "high byte ignored";
}

TEST_F(GdiBlit, PixelsOutsideAreIgnored) {
  Surface surface(3, 2, layer::layout32());
  for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 2}, {-2147483647 - 1, 0}}) {
    EXPECT_EQ(SetPixel(surface.dc, x, y, RGB(1, 1, 1)), CLR_INVALID) << x << "," << y;
    EXPECT_EQ(GetPixel(surface.dc, x, y), CLR_INVALID) << x << "," << y;
  }
  for (uint8_t b : surface.bytes) ASSERT_EQ(b, 0xEE);
  EXPECT_EQ(SetPixel(nullptr, 0, 0, 0), CLR_INVALID);
  HDC memory = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SetPixel(memory, 0, 0, RGB(255, 255, 255)), RGB(255, 255, 255)) << "the default 1x1 bitmap";
  EXPECT_EQ(SetPixel(memory, 0, 0, RGB(30, 30, 30)), RGB(0, 0, 0)) << "which is black and white";
  EXPECT_EQ(SetPixel(memory, 1, 0, RGB(30, 30, 30)), CLR_INVALID);
  DeleteDC(memory);
}

TEST_F(GdiBlit, SetPixelIsCountedNotStored) {
  Surface surface(640, 1, layer::layout24());
  layer::clearCalls();
  for (int x = 0; x < 640; ++x) SetPixel(surface.dc, x, 0, RGB(255, 0, 0));
  EXPECT_EQ(layer::countCalls("SetPixel"), 640u);
  EXPECT_TRUE(layer::callTexts({"SetPixel"}).empty());
  layer::injectFault("SetPixel", E_FAIL, 1, 2);
  EXPECT_NE(SetPixel(surface.dc, 0, 0, 0), CLR_INVALID);
  EXPECT_NE(SetPixel(surface.dc, 1, 0, 0), CLR_INVALID);
  EXPECT_EQ(SetPixel(surface.dc, 2, 0, 0), CLR_INVALID);
  EXPECT_EQ(surface.raw(2, 0), 0x0000FFu) << "a failed call draws nothing";
}

}  // namespace

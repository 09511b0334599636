// GDI's device contexts and objects: memory DCs and their default bitmap,
// selection rules, deletion, GetObjectA, stock objects, device caps, DIB
// sections, handle checks and injected faults.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "gdi/gdi_objects.h"
#include "layer_test.h"

namespace {

class Gdi : public ::testing::Test {
 protected:
  void SetUp() override { layer::reset(); }
  void TearDown() override { layer::reset(); }
};

struct DibInfo {
  BITMAPINFOHEADER header{};
  DWORD extra[256] = {};  // colour table or masks
};

HBITMAP makeDib(int width, int height, int bitsPerPixel, void **bits = nullptr, DWORD compression = BI_RGB,
                const DWORD *extra = nullptr, int extraCount = 0) {
  DibInfo info;
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.header.biCompression = compression;
  for (int i = 0; i < extraCount; ++i) info.extra[i] = extra[i];
  void *unused = nullptr;
  return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS, bits ? bits : &unused,
                          nullptr, 0);
}

TEST_F(Gdi, MemoryDcStartsWithAOnePixelMonochromeBitmap) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 1);
  EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 1);
  HBITMAP dib = makeDib(5, 3, 24);
  HGDIOBJ original = SelectObject(dc, dib);
  ASSERT_NE(original, nullptr);
  BITMAP info{};
  ASSERT_EQ(GetObjectA(original, sizeof info, &info), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(info.bmWidth, 1);
  EXPECT_EQ(info.bmHeight, 1);
  EXPECT_EQ(info.bmBitsPixel, 1);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 24);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 5);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 3);
  EXPECT_EQ(SelectObject(dc, original), dib);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(dib));
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
}

TEST_F(Gdi, EveryMemoryDcSharesTheStockDefaultBitmap) {
  HDC a = CreateCompatibleDC(nullptr);
  HDC b = CreateCompatibleDC(a);
  ASSERT_NE(b, nullptr);
  HBITMAP one = makeDib(2, 2, 32), two = makeDib(2, 2, 32);
  HGDIOBJ fromA = SelectObject(a, one);
  HGDIOBJ fromB = SelectObject(b, two);
  EXPECT_EQ(fromA, fromB);
  EXPECT_TRUE(DeleteObject(fromA)) << "stock objects ignore deletion";
  EXPECT_EQ(SelectObject(a, fromA), one) << "and stay usable";
  DeleteDC(a);
  DeleteDC(b);
}

TEST_F(Gdi, ABitmapIsSelectedIntoOneDcAtATime) {
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HBITMAP dib = makeDib(4, 4, 24);
  HGDIOBJ defaultA = SelectObject(a, dib);
  ASSERT_NE(defaultA, nullptr);
  EXPECT_EQ(SelectObject(a, dib), dib) << "selecting it again into the same DC is fine";
  EXPECT_EQ(SelectObject(b, dib), nullptr);
  SelectObject(a, defaultA);
  EXPECT_NE(SelectObject(b, dib), nullptr);
  EXPECT_TRUE(DeleteDC(b));  // releases the bitmap
  EXPECT_NE(SelectObject(a, dib), nullptr);
  DeleteDC(a);
  EXPECT_TRUE(DeleteObject(dib));
}

TEST_F(Gdi, DeletingASelectedObjectFailsAndLeavesItWhole) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP dib = makeDib(3, 3, 24);
  SelectObject(dc, dib);
  EXPECT_FALSE(DeleteObject(dib));
  EXPECT_EQ(SetPixel(dc, 2, 2, RGB(10, 20, 30)), RGB(10, 20, 30)) << "the bitmap still works";
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(dib));
  EXPECT_FALSE(DeleteObject(dib)) << "a freed handle is no object";
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_FALSE(DeleteDC(dc));
}

TEST_F(Gdi, SelectingFontsAndBrushesReturnsTheStockDefaults) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ black = GetStockObject(BLACK_BRUSH);
  EXPECT_EQ(SelectObject(dc, black), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SelectObject(dc, GetStockObject(GRAY_BRUSH)), black);
  HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
  EXPECT_EQ(SelectObject(dc, gui), GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(SelectObject(dc, GetStockObject(SYSTEM_FONT)), gui);
  EXPECT_EQ(layer::gdi::toDC(dc)->font, nullptr) << "the system font is the DC's default font";
  DeleteDC(dc);
}

TEST_F(Gdi, StockObjectsAreFixedAndNeverFreed) {
  for (int i :
       {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH, SYSTEM_FONT, DEFAULT_GUI_FONT}) {
    HGDIOBJ object = GetStockObject(i);
    ASSERT_NE(object, nullptr) << i;
    EXPECT_EQ(GetStockObject(i), object);
    EXPECT_TRUE(DeleteObject(object));
    EXPECT_EQ(GetStockObject(i), object);
  }
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
  SetLastError(0);
  EXPECT_EQ(GetStockObject(6), nullptr);
  EXPECT_EQ(GetStockObject(-1), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  auto *black = static_cast<layer::gdi::Brush *>(layer::gdi::toObject(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(black->color, 0u);
  EXPECT_TRUE(static_cast<layer::gdi::Brush *>(layer::gdi::toObject(GetStockObject(NULL_BRUSH)))->hollow);
}

TEST_F(Gdi, GetObjectDescribesDibSections) {
  void *bits = nullptr;
  HBITMAP dib = makeDib(3, -7, 24, &bits);  // top-down
  ASSERT_NE(dib, nullptr);
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(GetObjectA(dib, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
  BITMAP info;
  std::memset(&info, 0x55, sizeof info);
  EXPECT_EQ(GetObjectA(dib, static_cast<int>(sizeof info) - 1, &info), 0) << "a buffer too small";
  EXPECT_EQ(info.bmWidth, 0x55555555) << "is left alone";
  ASSERT_EQ(GetObjectA(dib, sizeof info, &info), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(info.bmType, 0);
  EXPECT_EQ(info.bmWidth, 3);
  EXPECT_EQ(info.bmHeight, 7) << "positive for top-down sections";
  EXPECT_EQ(info.bmWidthBytes, 12) << "DWORD-aligned rows";
  EXPECT_EQ(info.bmPlanes, 1);
  EXPECT_EQ(info.bmBitsPixel, 24);
  EXPECT_EQ(info.bmBits, bits);
  EXPECT_EQ(GetObjectA(nullptr, sizeof info, &info), 0);
  EXPECT_EQ(GetObjectA(GetStockObject(BLACK_BRUSH), sizeof info, &info), 0);
}

TEST_F(Gdi, DibSectionBitsFollowTheRowOrderOfTheirHeight) {
  for (int height : {2, -2}) {
    SCOPED_TRACE(height);
    void *bits = nullptr;
    HBITMAP dib = makeDib(2, height, 32, &bits);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, dib);
    static_cast<uint32_t *>(bits)[0] = 0x00112233;  // first row in memory, first pixel
    int y = height > 0 ? 1 : 0;                     // bottom-up: the first row is the bottom one
    EXPECT_EQ(GetPixel(dc, 0, y), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(GetPixel(dc, 0, 1 - y), 0u);
    DeleteDC(dc);
    DeleteObject(dib);
  }
}

TEST_F(Gdi, DibSectionsTakeTheirColourTableAndMasks) {
  DWORD palette[2] = {0x00FF0000, 0x000000FF};  // RGBQUAD: red, then blue
  void *bits = nullptr;
  HBITMAP indexed = makeDib(2, 1, 8, &bits, BI_RGB, palette, 2);
  ASSERT_NE(indexed, nullptr);
  static_cast<uint8_t *>(bits)[0] = 1;
  static_cast<uint8_t *>(bits)[1] = 0;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ original = SelectObject(dc, indexed);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(255, 0, 0));
  DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
  HBITMAP rgb565 = makeDib(1, 1, 16, &bits, BI_BITFIELDS, masks, 3);
  ASSERT_NE(rgb565, nullptr);
  static_cast<uint16_t *>(bits)[0] = 0x07E0;
  SelectObject(dc, rgb565);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 255, 0));
  SelectObject(dc, original);
  DeleteDC(dc);
  DeleteObject(indexed);
  DeleteObject(rgb565);
}

TEST_F(Gdi, CreateDibSectionRefusesWhatItCannotHold) {
  void *bits = reinterpret_cast<void *>(1);
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  EXPECT_EQ(makeDib(0, 4, 24), nullptr);
  EXPECT_EQ(makeDib(4, 0, 24), nullptr);
  EXPECT_EQ(makeDib(-4, 4, 24), nullptr);
  EXPECT_EQ(makeDib(4, 4, 4), nullptr);
  EXPECT_EQ(makeDib(4, 4, 24, nullptr, BI_RLE8), nullptr);
  EXPECT_EQ(makeDib(32768, 32768, 32), nullptr);
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
}

TEST_F(Gdi, DeviceCapsOfScreenAndSurfaceDcs) {
  HDC screen = layer::gdi::createScreenDC(16, 800, 600);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 800);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 600);
  EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
  std::vector<uint8_t> pixels(64 * 4 * 2);
  layer::PixelBuffer buffer{pixels.data(), 64, 2, 64 * 4, layer::layout32(), nullptr};
  HDC surface = layer::gdi::createSurfaceDC(buffer, "backbuffer");
  EXPECT_EQ(GetDeviceCaps(surface, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(surface, HORZRES), 64);
  EXPECT_EQ(layer::liveGdiObjectCount(), 2);
  EXPECT_FALSE(DeleteDC(surface)) << "surface DCs go back through their surface";
  EXPECT_EQ(SelectObject(surface, makeDib(1, 1, 24)), nullptr) << "bitmaps go into memory DCs only";
  layer::gdi::destroyDC(surface);
  layer::gdi::destroyDC(screen);
  EXPECT_EQ(layer::liveGdiObjectCount(), 1);  // the DIB made above
  EXPECT_EQ(GetDeviceCaps(surface, BITSPIXEL), 0);
}

TEST_F(Gdi, BogusHandlesAreRefused) {
  int notAnObject = 0;
  HDC bogusDc = reinterpret_cast<HDC>(&notAnObject);
  HGDIOBJ bogus = &notAnObject;
  SetLastError(0);
  EXPECT_EQ(CreateCompatibleDC(bogusDc), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(dc, bogus), nullptr);
  EXPECT_EQ(SelectObject(bogusDc, GetStockObject(BLACK_BRUSH)), nullptr);
  EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
  EXPECT_FALSE(DeleteObject(bogus));
  EXPECT_FALSE(DeleteDC(bogusDc));
  EXPECT_EQ(GetObjectA(bogus, 100, &notAnObject), 0);
  EXPECT_EQ(SetStretchBltMode(bogusDc, COLORONCOLOR), 0);
  EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);
  EXPECT_EQ(SetStretchBltMode(dc, 99), 0);
  EXPECT_EQ(SetStretchBltMode(dc, HALFTONE), COLORONCOLOR);
  DeleteDC(dc);
}

TEST_F(Gdi, InjectedFaultsFailWithTheirCodeAndDoNothing) {
  layer::injectFault("CreateCompatibleDC", E_FAIL);
  EXPECT_EQ(CreateCompatibleDC(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_FAIL));
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP dib = makeDib(1, 1, 24);
  layer::injectFault("SelectObject", E_OUTOFMEMORY);
  EXPECT_EQ(SelectObject(dc, dib), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_OUTOFMEMORY));
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 1) << "nothing was selected";
  layer::injectFault("DeleteObject", E_FAIL);
  EXPECT_FALSE(DeleteObject(dib));
  EXPECT_TRUE(DeleteObject(dib)) << "the bitmap survived the failed call";
  layer::injectFault("DeleteDC", E_FAIL);
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_TRUE(DeleteDC(dc));
  layer::injectFault("CreateDIBSection", E_FAIL);
  EXPECT_EQ(makeDib(1, 1, 24), nullptr);
  layer::injectFault("GetObjectA", E_FAIL);
  EXPECT_EQ(GetObjectA(GetStockObject(BLACK_BRUSH), 0, nullptr), 0);
}

TEST_F(Gdi, CallsAreRecordedWithObjectLabels) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP dib = makeDib(1, 1, 24);
  SelectObject(dc, dib);
  SelectObject(dc, GetStockObject(BLACK_BRUSH));
  DeleteDC(dc);
  DeleteObject(dib);
  std::vector<std::string> expected = {"CreateCompatibleDC(null)", "SelectObject(dc#1, bitmap#1)",
                                       "SelectObject(dc#1, BLACK_BRUSH)", "DeleteDC(dc#1)", "DeleteObject(bitmap#1)"};
  EXPECT_EQ(layer::callTexts({"CreateCompatibleDC", "SelectObject", "DeleteDC", "DeleteObject"}), expected);
}

TEST_F(Gdi, ResetFreesEverythingAndRestartsLabels) {
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, makeDib(2, 2, 24));
  makeDib(1, 1, 8);
  EXPECT_EQ(layer::liveGdiObjectCount(), 3);
  layer::reset();
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0) << "the old DC is gone";
  HDC fresh = CreateCompatibleDC(nullptr);
  EXPECT_EQ(layer::gdi::toDC(fresh)->label, "dc#1");
}

}  // namespace

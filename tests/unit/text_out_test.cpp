// GDI's text entry points on a memory DC holding a DIB section: fonts from
// CreateFontA, the DC's colours and background mode, TextOutA, the measures,
// the call record and injected faults.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "layer_test.h"

namespace {

constexpr COLORREF kRed = 255;
constexpr COLORREF kNearBlack = 1;
constexpr COLORREF kPaper = 0x00336699;

// A memory DC onto a 32-bit top-down DIB section, cleared to kPaper.
struct MemoryDC {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  uint32_t *bits = nullptr;
  int width, height;

  MemoryDC(int w, int h) : width(w), height(h) {
    dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *p = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint32_t *>(p);
    if (bitmap) SelectObject(dc, bitmap);
    for (int i = 0; bits && i < w * h; ++i) bits[i] = toPixel(kPaper);
  }
  bool ready() const { return dc && bitmap && bits; }
  static uint32_t toPixel(COLORREF c) { return GetBValue(c) | (GetGValue(c) << 8) | (GetRValue(c) << 16); }
  COLORREF color(int x, int y) const {
    uint32_t p = bits[y * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  std::set<COLORREF> colors(int left, int top, int right, int bottom) const {
    std::set<COLORREF> found;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) found.insert(color(x, y));
    return found;
  }
};

HFONT viewerFont() {
  return CreateFontA(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     NONANTIALIASED_QUALITY, VARIABLE_PITCH, "Arial");
}

bool haveLiberationSans() {
  FILE *f = std::fopen("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

class TextOut : public ::testing::Test {
 protected:
  void SetUp() override { layer::reset(); }
  void TearDown() override { layer::reset(); }

  // The viewer's print: red on near-black, in the font given.
  static BOOL print(const MemoryDC &m, HFONT font, int x, int y, const char *text) {
    SetTextColor(m.dc, kRed);
    SetBkColor(m.dc, kNearBlack);
    if (font) SelectObject(m.dc, font);
    return TextOutA(m.dc, x, y, text, static_cast<int>(std::strlen(text)));
  }
};

TEST_F(TextOut, ViewerLinePrintsAsAMeasuredRedOnNearBlackBox) {
  if (!haveLiberationSans()) GTEST_SKIP() << "Liberation Sans (fonts-liberation) is not installed";
  MemoryDC m(200, 40);
  ASSERT_TRUE(m.ready());
  HFONT font = viewerFont();
  ASSERT_NE(font, nullptr);
  ASSERT_TRUE(print(m, font, 0, 0, " ZOOM: 100 %"));
  // Rows 0 to 12, columns 0 to 77; nothing beyond.
  EXPECT_EQ(m.colors(0, 0, 78, 13), (std::set<COLORREF>{kNearBlack, kRed}));
  EXPECT_EQ(m.colors(78, 0, 200, 40), std::set<COLORREF>{kPaper});
  EXPECT_EQ(m.colors(0, 13, 200, 40), std::set<COLORREF>{kPaper});

  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32A(m.dc, "| Press spacebar for menu |", 27, &size));
  EXPECT_EQ(size.cx, 152);
  EXPECT_EQ(size.cy, 13);
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(m.dc, &tm));
  EXPECT_EQ(tm.tmAscent, 11);
  EXPECT_EQ(tm.tmDescent, 2);
}

TEST_F(TextOut, ColourAndModeSettersReturnThePreviousValue) {
  MemoryDC m(4, 4);
  ASSERT_TRUE(m.ready());
  EXPECT_EQ(SetTextColor(m.dc, kRed), 0x000000u);  // a new DC's defaults
  EXPECT_EQ(SetTextColor(m.dc, 0x123456), kRed);
  EXPECT_EQ(SetBkColor(m.dc, kNearBlack), 0xFFFFFFu);
  EXPECT_EQ(SetBkColor(m.dc, 7), kNearBlack);
  EXPECT_EQ(SetBkMode(m.dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(m.dc, OPAQUE), TRANSPARENT);
  EXPECT_EQ(SetBkMode(m.dc, 99), 0);  // not a mode: refused, mode kept
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(SetBkMode(m.dc, TRANSPARENT), OPAQUE);

  HDC bogus = reinterpret_cast<HDC>(&m);
  for (HDC dc : {bogus, HDC(nullptr)}) {
    EXPECT_EQ(SetTextColor(dc, kRed), CLR_INVALID);
    EXPECT_EQ(SetBkColor(dc, kRed), CLR_INVALID);
    EXPECT_EQ(SetBkMode(dc, OPAQUE), 0);
    EXPECT_FALSE(TextOutA(dc, 0, 0, "x", 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  }
}

TEST_F(TextOut, BadArgumentsFailAndDrawNothing) {
  MemoryDC m(40, 20);
  ASSERT_TRUE(m.ready());
  EXPECT_FALSE(TextOutA(m.dc, 0, 0, nullptr, 3));
  EXPECT_FALSE(TextOutA(m.dc, 0, 0, nullptr, 0));
  EXPECT_FALSE(TextOutA(m.dc, 0, 0, "abc", -1));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  // An empty text succeeds and draws no box.
  EXPECT_TRUE(TextOutA(m.dc, 0, 0, "", 0));
  EXPECT_EQ(m.colors(0, 0, 40, 20), std::set<COLORREF>{kPaper});

  SIZE size{5, 5};
  EXPECT_FALSE(GetTextExtentPoint32A(m.dc, "abc", 3, nullptr));
  EXPECT_FALSE(GetTextExtentPoint32A(m.dc, "abc", -2, &size));
  EXPECT_FALSE(GetTextExtentPoint32A(m.dc, nullptr, 2, &size));
  EXPECT_TRUE(GetTextExtentPoint32A(m.dc, "", 0, &size));
  EXPECT_EQ(size.cx, 0);
  EXPECT_FALSE(GetTextMetricsA(m.dc, nullptr));

  // Sizes far beyond any screen are refused rather than rendered.
  EXPECT_EQ(CreateFontA(100000, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 3, 2, "Arial"), nullptr);
  EXPECT_EQ(CreateFontA(INT_MIN, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 3, 2, "Arial"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(TextOut, CallsAreRecordedWithTheDcAndTheText) {
  MemoryDC m(100, 20);
  ASSERT_TRUE(m.ready());
  HFONT font = viewerFont();
  layer::clearCalls();
  print(m, font, 3, -2, "| Press spacebar for menu |");
  print(m, nullptr, 0, 460, "ab\xE9");
  auto texts = layer::callTexts({"SetTextColor", "SetBkColor", "TextOutA"});
  ASSERT_EQ(texts.size(), 6u);
  std::string dc = texts[0].substr(texts[0].find('(') + 1, texts[0].find(',') - texts[0].find('(') - 1);
  EXPECT_EQ(dc.rfind("dc#", 0), 0u) << texts[0];
  EXPECT_EQ(texts[0], "SetTextColor(" + dc + ", 255)");
  EXPECT_EQ(texts[1], "SetBkColor(" + dc + ", 1)");
  EXPECT_EQ(texts[2], "TextOutA(" + dc + ", 3, -2, \"| Press spacebar for menu |\")");
  EXPECT_EQ(texts[5], "TextOutA(" + dc + ", 0, 460, \"ab\xE9\")");
  // Only the characters counted are shown.
  layer::clearCalls();
  TextOutA(m.dc, 1, 2, "abcdef", 2);
  EXPECT_EQ(layer::callTexts({"TextOutA"}), std::vector<std::string>{"TextOutA(" + dc + ", 1, 2, \"ab\")"});
  EXPECT_EQ(layer::countCalls("CreateFontA"), 0u);
}

TEST_F(TextOut, InjectedFaultsFailTheCallAndChangeNothing) {
  MemoryDC m(100, 20);
  ASSERT_TRUE(m.ready());
  layer::injectFault("TextOutA", E_FAIL);
  EXPECT_FALSE(TextOutA(m.dc, 0, 0, "Hello", 5));
  EXPECT_EQ(GetLastError(), DWORD(E_FAIL));
  EXPECT_EQ(m.colors(0, 0, 100, 20), std::set<COLORREF>{kPaper});
  EXPECT_TRUE(TextOutA(m.dc, 0, 0, "Hello", 5));  // the fault is spent
  EXPECT_NE(m.colors(0, 0, 100, 20), std::set<COLORREF>{kPaper});

  layer::injectFault("CreateFontA", E_OUTOFMEMORY);
  EXPECT_EQ(viewerFont(), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(E_OUTOFMEMORY));

  SetTextColor(m.dc, kRed);
  layer::injectFault("SetTextColor", E_FAIL);
  EXPECT_EQ(SetTextColor(m.dc, 0x00FF00), CLR_INVALID);
  EXPECT_EQ(SetTextColor(m.dc, 0x00FF00), kRed);  // the failed call changed nothing
  layer::injectFault("SetBkMode", E_FAIL);
  EXPECT_EQ(SetBkMode(m.dc, TRANSPARENT), 0);
  EXPECT_EQ(SetBkMode(m.dc, TRANSPARENT), OPAQUE);
}

TEST_F(TextOut, WithoutFontsCreateFontFailsAndTextUsesTheBuiltInFont) {
  layer::setFontLookupEnabled(false);
  SetLastError(0);
  EXPECT_EQ(viewerFont(), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  MemoryDC m(100, 20);
  ASSERT_TRUE(m.ready());
  // The viewer's sequence with a null font: nothing selected, text still shows.
  ASSERT_TRUE(print(m, nullptr, 0, 0, " ZOOM: 100 %"));
  EXPECT_EQ(m.colors(0, 0, 72, 13), (std::set<COLORREF>{kNearBlack, kRed}));  // 12 cells of 6
  EXPECT_EQ(m.colors(72, 0, 100, 20), std::set<COLORREF>{kPaper});
  EXPECT_EQ(m.colors(0, 13, 100, 20), std::set<COLORREF>{kPaper});
  SIZE size{};
  GetTextExtentPoint32A(m.dc, "abc", 3, &size);
  EXPECT_EQ(size.cx, 18);
  EXPECT_EQ(size.cy, 13);

  layer::reset();
  if (haveLiberationSans()) {
    EXPECT_NE(viewerFont(), nullptr) << "lookup is back after a reset";
  }
}

}  // namespace

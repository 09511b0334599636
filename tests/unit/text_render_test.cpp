// Text rasterising and drawing below the entry points: faces from fontconfig
// and FreeType, the built-in font, and drawText onto a DC's pixels.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <vector>

#include "gdi/font_face.h"
#include "gdi/gdi_objects.h"
#include "layer_test.h"

using namespace layer;
using namespace layer::gdi;

namespace {

constexpr uint32_t kPaper = 0x123456;  // what lies under the text
constexpr uint8_t kGuard = 0xA5;       // bytes around the target that nothing may touch
constexpr COLORREF kRed = 255;
constexpr COLORREF kNearBlack = 1;

const char kZoomLine[] = " ZOOM: 100 %";  // 12 characters
const char kPrompt[] = "| Press spacebar for menu |";
const char kHelp2[] =
    "| d to darken | e to add red | r to add green | t to add blue | y to minus red | u to minus green | i to minus "
    "blue |";

// A pixel target inside a guard band of kMargin pixels on every side.
struct Canvas {
  static constexpr int kMargin = 8;
  std::vector<uint8_t> memory;
  PixelBuffer view;

  Canvas(int width, int height, PixelLayout layout = layout24()) {
    const int bpp = layout.bytesPerPixel();
    view = PixelBuffer{nullptr, width, height, (width + 2 * kMargin) * bpp, layout, nullptr};
    memory.assign(static_cast<size_t>(view.pitch) * (height + 2 * kMargin), kGuard);
    view.bits = memory.data() + kMargin * view.pitch + kMargin * bpp;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) writePixel(view, x, y, packColor(layout, kPaper));
  }
  uint32_t color(int x, int y) const { return unpackColor(view.layout, readPixel(view, x, y)); }
  bool guardIntact() const {
    for (size_t i = 0; i < memory.size(); ++i) {
      const long offset = static_cast<long>(i) - (view.bits - memory.data());
      const bool inside = offset >= 0 && offset / view.pitch < view.height &&
                          (offset % view.pitch) / view.layout.bytesPerPixel() < view.width;
      if (!inside && memory[i] != kGuard) return false;
    }
    return true;
  }
  std::set<uint32_t> colors(int left, int top, int right, int bottom) const {
    std::set<uint32_t> found;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) found.insert(color(x, y));
    return found;
  }
  // Rows holding a colour: first and one past the last.
  std::pair<int, int> rowsOf(uint32_t c) const {
    int first = -1, end = -1;
    for (int y = 0; y < view.height; ++y)
      if (colors(0, y, view.width, y + 1).count(c)) first = first < 0 ? y : first, end = y + 1;
    return {first, end};
  }
};

DeviceContext contextOn(const Canvas &canvas, Font *font, int mode = OPAQUE) {
  DeviceContext dc;
  dc.target = canvas.view;
  dc.font = font;
  dc.textColor = kRed;
  dc.backColor = kNearBlack;
  dc.backMode = mode;
  return dc;
}

int draw(const Canvas &canvas, Font *font, int x, int y, const char *text, int mode = OPAQUE) {
  DeviceContext dc = contextOn(canvas, font, mode);
  return drawText(dc, x, y, text, static_cast<int>(strlen(text)));
}

class TextRender : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }

  // The viewer's Arial, matched to Liberation Sans; null when that is not installed.
  Font *arial(int height = 13, bool underline = false) {
    FontRequest request;
    request.height = height;
    request.faceName = "Arial";
    font_.face = openFace(request);
    font_.underline = underline;
    return font_.face && font_.face->family == "Liberation Sans" ? &font_ : nullptr;
  }
  Font font_;
};

#define REQUIRE_LIBERATION(font) \
  if (font) {                    \
  } else                         \
    GTEST_SKIP() << "Liberation Sans (fonts-liberation) is not installed; the measured widths belong to it"

TEST_F(TextRender, ViewerTextsHaveTheMeasuredAdvancesAndCell) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  Canvas canvas(8, 8);
  DeviceContext dc = contextOn(canvas, font);
  int height = 0;
  EXPECT_EQ(measureText(dc, kZoomLine, 12, &height), 78);
  EXPECT_EQ(height, 13);
  EXPECT_EQ(measureText(dc, kPrompt, sizeof(kPrompt) - 1, &height), 152);
  EXPECT_EQ(measureText(dc, kHelp2, sizeof(kHelp2) - 1, &height), 586);
  const TEXTMETRICA &tm = font->face->metrics;
  EXPECT_EQ(tm.tmAscent, 11);
  EXPECT_EQ(tm.tmDescent, 2);
  EXPECT_EQ(tm.tmInternalLeading, 1);  // rendered at 12 ppem
}

TEST_F(TextRender, OpaqueBoxIsTheCellByTheAdvanceInTwoColours) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  Canvas canvas(120, 30);
  EXPECT_EQ(draw(canvas, font, 5, 4, kZoomLine), 78);
  for (int y = 0; y < canvas.view.height; ++y)
    for (int x = 0; x < canvas.view.width; ++x)
      if (x < 5 || x >= 83 || y < 4 || y >= 17) {
        ASSERT_EQ(canvas.color(x, y), kPaper) << x << "," << y;
      }
  EXPECT_EQ(canvas.colors(5, 4, 83, 17), (std::set<uint32_t>{kNearBlack, kRed}));
  EXPECT_EQ(canvas.colors(5, 4, 83, 5), std::set<uint32_t>{kNearBlack});  // the box reaches its edges
  EXPECT_EQ(canvas.color(82, 16), kNearBlack);
}

TEST_F(TextRender, CapitalsStandNineRowsOnABaselineElevenBelowTheTop) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  for (const char *text : {"E", "H", "EHZ"}) {
    Canvas canvas(60, 20);
    draw(canvas, font, 3, 2, text);
    EXPECT_EQ(canvas.rowsOf(kRed), std::make_pair(2 + 2, 2 + 11)) << text;
  }
  Canvas canvas(60, 20);
  draw(canvas, font, 3, 2, "gjpqy");  // descenders reach into the cell's last rows
  EXPECT_GT(canvas.rowsOf(kRed).second, 2 + 11);
  EXPECT_LE(canvas.rowsOf(kRed).second, 2 + 13);
}

TEST_F(TextRender, TransparentModeDrawsTheSameGlyphsWithoutTheBox) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  Canvas opaque(100, 20), clear(100, 20);
  draw(opaque, font, 2, 3, kZoomLine);
  EXPECT_EQ(draw(clear, font, 2, 3, kZoomLine, TRANSPARENT), 78);
  int ink = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 100; ++x) {
      ink += opaque.color(x, y) == kRed;
      ASSERT_EQ(clear.color(x, y), opaque.color(x, y) == kRed ? kRed : kPaper) << x << "," << y;
    }
  EXPECT_GT(ink, 50);
}

TEST_F(TextRender, ClippedAtEveryEdgeInEveryLayout) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  const long long places[][2] = {
      {-30, -6}, {25, 12}, {-500, 0},        {0, -12},     {39, 0},          {0, 19},      {-78, 0},
      {40, 0},   {0, 20},  {INT_MAX - 5, 0}, {INT_MIN, 0}, {0, INT_MAX - 3}, {0, INT_MIN}, {INT_MIN + 10, INT_MIN}};
  for (const PixelLayout &layout : {layout8(), layout555(), layout565(), layout24(), layout32()}) {
    const uint32_t paper = unpackColor(layout, packColor(layout, kPaper));
    for (const auto &p : places) {
      Canvas canvas(40, 20, layout);
      EXPECT_EQ(draw(canvas, font, int(p[0]), int(p[1]), kZoomLine), 78);
      ASSERT_TRUE(canvas.guardIntact()) << layout.bitsPerPixel << " bpp at " << p[0] << "," << p[1];
      // The visible part of the box is covered; nothing outside it changed.
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
          const bool inBox = x >= p[0] && x < p[0] + 78 && y >= p[1] && y < p[1] + 13;
          ASSERT_EQ(canvas.color(x, y) != paper, inBox) << layout.bitsPerPixel << " bpp, " << x << "," << y;
        }
    }
  }
}

TEST_F(TextRender, ClippedDrawingMatchesTheSamePartOfAnUnclippedOne) {
  for (int height : {13, 40}) {
    Font *font = arial(height);
    REQUIRE_LIBERATION(font);
    Canvas whole(400, 80);
    draw(whole, font, 10, 10, "WMmw@%Q|", TRANSPARENT);
    // Windows onto the same picture whose edges cut through glyphs at every column.
    for (int left = 0; left < 60; left += 3)
      for (int top : {0, 9, 17, 25}) {
        Canvas part(37, 23);
        draw(part, font, 10 - left, 10 - top, "WMmw@%Q|", TRANSPARENT);
        ASSERT_TRUE(part.guardIntact());
        for (int y = 0; y < 23; ++y)
          for (int x = 0; x < 37; ++x)
            ASSERT_EQ(part.color(x, y), whole.color(x + left, y + top))
                << "height " << height << ", window at " << left << "," << top << ", pixel " << x << "," << y;
      }
  }
}

TEST_F(TextRender, ColoursAreStoredInTheTargetsLayout) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  Canvas c565(20, 15, layout565()), c32(20, 15, layout32());
  const int advance = draw(c565, font, 0, 0, "E");
  draw(c32, font, 0, 0, "E");
  std::set<uint32_t> raw565, raw32;
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < advance; ++x)
      raw565.insert(readPixel(c565.view, x, y)), raw32.insert(readPixel(c32.view, x, y));
  EXPECT_EQ(raw565, (std::set<uint32_t>{0xF800, 0x0000}));     // red, and red 1 narrowed to 0
  EXPECT_EQ(raw32, (std::set<uint32_t>{0xFF0000, 0x010000}));  // X8R8G8B8
}

TEST_F(TextRender, UnderlineRunsTheAdvanceBelowTheBaseline) {
  Font builtinUnderlined;
  builtinUnderlined.underline = true;
  for (Font *font : {arial(13, true), &builtinUnderlined}) {
    if (!font) continue;
    Canvas canvas(100, 20);
    const int advance = draw(canvas, font, 4, 1, kZoomLine);
    const FontFace &face = font->face ? *font->face : builtinFace();
    const int row = 1 + face.underlineTop;
    EXPECT_GE(row, 1 + 11);
    EXPECT_LT(row, 1 + 13);
    EXPECT_EQ(canvas.colors(4, row, 4 + advance, row + 1), std::set<uint32_t>{kRed});
    EXPECT_EQ(canvas.color(3, row), kPaper);
    EXPECT_EQ(canvas.color(4 + advance, row), kPaper);
  }
}

TEST_F(TextRender, FacesAreSharedPerSizeAndSizedByCellOrEm) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  FontRequest request;
  request.faceName = "Arial";
  request.height = 13;
  EXPECT_EQ(openFace(request), font->face);  // one face and glyph cache
  request.height = -12;                      // an em of 12 pixels
  auto em12 = openFace(request);
  ASSERT_TRUE(em12);
  EXPECT_NE(em12, font->face);
  EXPECT_EQ(em12->metrics.tmHeight, 13);  // 12 * 2288 / 2048 = 13.4
  request.height = 0;
  EXPECT_EQ(openFace(request)->metrics.tmHeight, 16);
  request.height = 26;
  EXPECT_EQ(openFace(request)->metrics.tmAscent + openFace(request)->metrics.tmDescent, 26);
  for (int refused : {kMaxFontPixels + 1, -kMaxFontPixels - 1}) {
    request.height = refused;
    EXPECT_FALSE(openFace(request)) << refused;
  }
  request.height = 13;
  request.weight = FW_BOLD;
  Font bold;
  bold.face = openFace(request);
  ASSERT_TRUE(bold.face);
  EXPECT_EQ(bold.face->metrics.tmWeight, FW_BOLD);
  Canvas canvas(4, 4);
  DeviceContext regular = contextOn(canvas, font), heavy = contextOn(canvas, &bold);
  EXPECT_GT(measureText(heavy, kPrompt, 27, nullptr), measureText(regular, kPrompt, 27, nullptr));
  // The euro sign of Windows-1252 is a glyph of its own, not the missing-glyph box.
  EXPECT_EQ(ansiToUnicode(0x80), 0x20ACu);
  EXPECT_NE(font->face->glyph(0x80).bits, font->face->glyph(0x81).bits);
}

TEST_F(TextRender, WithoutLookupTheBuiltInFontDrawsInstead) {
  setFontLookupEnabled(false);
  EXPECT_FALSE(arial());
  EXPECT_FALSE(font_.face);
  Canvas canvas(80, 20);
  EXPECT_EQ(draw(canvas, nullptr, 2, 3, "ZOOM 1"), 36);  // six-pixel cells
  EXPECT_EQ(canvas.colors(2, 3, 38, 16), (std::set<uint32_t>{kNearBlack, kRed}));
  EXPECT_EQ(canvas.rowsOf(kNearBlack), std::make_pair(3, 3 + 13));
  EXPECT_EQ(canvas.rowsOf(kRed), std::make_pair(3 + 4, 3 + 11));  // the viewer's baseline
  EXPECT_EQ(canvas.colors(38, 0, 80, 20), std::set<uint32_t>{kPaper});
  EXPECT_TRUE(canvas.guardIntact());
  reset();
  FontRequest request;
  EXPECT_TRUE(openFace(request)) << "lookup is on again after a reset";
}

// A small glyph's pixels as one number, row after row.
uint64_t shapeOf(const Glyph &g) {
  uint64_t shape = 0;
  for (int r = 0; r < g.rows; ++r)
    for (int c = 0; c < g.width; ++c) shape = shape << 1 | (g.isSet(c, r) ? 1 : 0);
  return shape;
}

TEST_F(TextRender, BuiltInFontShowsEveryPrintableCharacterDistinctly) {
  FontFace &face = builtinFace();
  std::set<uint64_t> shapes;
  for (int c = 33; c <= 126; ++c) {
    const Glyph &g = face.glyph(static_cast<unsigned char>(c));
    ASSERT_LE(g.rows * g.width, 64);
    EXPECT_EQ(g.advance, 6);
    EXPECT_NE(shapeOf(g), 0u) << "character " << c << " is blank";
    shapes.insert(shapeOf(g));
  }
  EXPECT_EQ(shapes.size(), 94u);
  EXPECT_EQ(shapeOf(face.glyph(0x80)), shapeOf(face.glyph(0x01)));  // the rest share the box
  EXPECT_EQ(shapes.count(shapeOf(face.glyph(0x80))), 0u);
}

}  // namespace

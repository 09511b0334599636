// Text rasterising and drawing below the entry points: faces from fontconfig
// and FreeType, the built-in font, and drawText onto a DC's pixels.
#include <gtest/gtest.h>

#include <algorithm>
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
constexpr uint32_t kGuard = 0xA5;      // bytes around the target that nothing may touch
constexpr COLORREF kRed = 255;
constexpr COLORREF kNearBlack = 1;

const char kZoomLine[] = " ZOOM: 100 %";
const char kPrompt[] = "| Press spacebar for menu |";
const char kHelp2[] =
    "| d to darken | e to add red | r to add green | t to add blue | y to minus red | u to minus green | i to minus "
    "blue |";

// A pixel target with a guard band of `kMargin` pixels on every side.
struct Canvas {
  static constexpr int kMargin = 8;
  std::vector<uint8_t> memory;
  PixelBuffer view;

  Canvas(int width, int height, PixelLayout layout = layout24()) {
    const int bpp = layout.bytesPerPixel();
    const int pitch = (width + 2 * kMargin) * bpp;
    memory.assign(static_cast<size_t>(pitch) * (height + 2 * kMargin), kGuard);
    view.bits = memory.data() + kMargin * pitch + kMargin * bpp;
    view.width = width;
    view.height = height;
    view.pitch = pitch;
    view.layout = layout;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) writePixel(view, x, y, packColor(layout, kPaper));
  }
  uint32_t color(int x, int y) const { return unpackColor(view.layout, readPixel(view, x, y)); }
  bool guardIntact() const {
    const int bpp = view.layout.bytesPerPixel();
    for (size_t i = 0; i < memory.size(); ++i) {
      const long offset = static_cast<long>(i) - (view.bits - memory.data());
      const long row = offset >= 0 ? offset / view.pitch : -1;
      const long column = offset >= 0 ? (offset % view.pitch) / bpp : -1;
      const bool inside = offset >= 0 && row < view.height && column < view.width;
      if (!inside && memory[i] != kGuard) return false;
    }
    return true;
  }
};

DeviceContext contextOn(const Canvas &canvas, Font *font) {
  DeviceContext dc;
  dc.label = "dc#test";
  dc.target = canvas.view;
  dc.font = font;
  dc.textColor = kRed;
  dc.backColor = kNearBlack;
  dc.backMode = OPAQUE;
  return dc;
}

// Bounding box of the pixels of one colour, right and bottom exclusive.
struct Box {
  int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
  bool empty() const { return left > right; }
};
Box boxOf(const Canvas &canvas, uint32_t color) {
  Box b;
  for (int y = 0; y < canvas.view.height; ++y)
    for (int x = 0; x < canvas.view.width; ++x)
      if (canvas.color(x, y) == color) {
        b.left = std::min(b.left, x), b.top = std::min(b.top, y);
        b.right = std::max(b.right, x + 1), b.bottom = std::max(b.bottom, y + 1);
      }
  return b;
}

std::set<uint32_t> colorsIn(const Canvas &canvas, int left, int top, int right, int bottom) {
  std::set<uint32_t> colors;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) colors.insert(canvas.color(x, y));
  return colors;
}

class TextRender : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }

  // The Arial of the viewer's text: a 13-pixel cell. Skips when the machine
  // lacks Liberation Sans, which the measured widths belong to.
  Font *arial(int height = 13, bool underline = false, int weight = FW_NORMAL) {
    FontRequest request;
    request.height = height;
    request.weight = weight;
    request.faceName = "Arial";
    font_.face = openFace(request);
    if (!font_.face || font_.face->family != "Liberation Sans") return nullptr;
    font_.underline = underline;
    return &font_;
  }

  Font font_;
};

#define REQUIRE_LIBERATION(font) \
  if (font) {                    \
  } else                         \
    GTEST_SKIP() << "Liberation Sans (fonts-liberation) is not installed; the measured widths belong to it"

TEST_F(TextRender, ViewerTextsHaveTheMeasuredAdvances) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  Canvas canvas(8, 8);
  DeviceContext dc = contextOn(canvas, font);
  int height = 0;
  EXPECT_EQ(measureText(dc, kZoomLine, sizeof(kZoomLine) - 1, &height), 78);
  EXPECT_EQ(height, 13);
  EXPECT_EQ(measureText(dc, kPrompt, sizeof(kPrompt) - 1, &height), 152);
  EXPECT_EQ(measureText(dc, kHelp2, sizeof(kHelp2) - 1, &height), 586);
  // A prefix measures its own characters only.
  EXPECT_EQ(measureText(dc, kZoomLine, 1, nullptr) * 2, measureText(dc, "  ", 2, nullptr));
  EXPECT_EQ(measureText(dc, kZoomLine, 0, &height), 0);

  const TEXTMETRICA &tm = font->face->metrics;
  EXPECT_EQ(tm.tmHeight, 13);
  EXPECT_EQ(tm.tmAscent, 11);
  EXPECT_EQ(tm.tmDescent, 2);
  EXPECT_EQ(tm.tmInternalLeading, 1);  // rendered at 12 ppem
}

TEST_F(TextRender, OpaqueBoxIsTheCellAndTheAdvanceInTwoColours) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  Canvas canvas(120, 30);
  DeviceContext dc = contextOn(canvas, font);
  EXPECT_EQ(drawText(dc, 5, 4, kZoomLine, sizeof(kZoomLine) - 1), 78);

  // Everything drawn lies in the box 78 x 13 at (5, 4); the rest is untouched.
  for (int y = 0; y < canvas.view.height; ++y)
    for (int x = 0; x < canvas.view.width; ++x) {
      const bool inBox = x >= 5 && x < 83 && y >= 4 && y < 17;
      if (!inBox) {
        ASSERT_EQ(canvas.color(x, y), kPaper) << x << "," << y;
      }
    }
  EXPECT_EQ(colorsIn(canvas, 5, 4, 83, 17), (std::set<uint32_t>{kNearBlack, kRed}));
  // The box is filled edge to edge: its corners and border rows are background.
  EXPECT_EQ(canvas.color(5, 4), kNearBlack);
  EXPECT_EQ(canvas.color(82, 16), kNearBlack);
  EXPECT_EQ(colorsIn(canvas, 5, 4, 83, 5), std::set<uint32_t>{kNearBlack});
  EXPECT_TRUE(canvas.guardIntact());
}

TEST_F(TextRender, CapitalsStandNineRowsOnABaselineElevenBelowTheTop) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  for (const char *capitals : {"E", "H", "EHZ"}) {
    Canvas canvas(60, 20);
    DeviceContext dc = contextOn(canvas, font);
    drawText(dc, 3, 2, capitals, static_cast<int>(strlen(capitals)));
    Box ink = boxOf(canvas, kRed);
    ASSERT_FALSE(ink.empty()) << capitals;
    EXPECT_EQ(ink.bottom - ink.top, 9) << capitals;
    EXPECT_EQ(ink.bottom, 2 + 11) << capitals;  // last row of ink sits on the baseline
  }
  // Descenders reach below the baseline, into the cell's last two rows.
  Canvas canvas(60, 20);
  DeviceContext dc = contextOn(canvas, font);
  drawText(dc, 3, 2, "gjpqy", 5);
  EXPECT_GT(boxOf(canvas, kRed).bottom, 13);
  EXPECT_LE(boxOf(canvas, kRed).bottom, 15);
}

TEST_F(TextRender, TransparentModeDrawsTheSameGlyphsWithoutTheBox) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  Canvas opaque(100, 20), clear(100, 20);
  DeviceContext a = contextOn(opaque, font), b = contextOn(clear, font);
  b.backMode = TRANSPARENT;
  drawText(a, 2, 3, kZoomLine, sizeof(kZoomLine) - 1);
  EXPECT_EQ(drawText(b, 2, 3, kZoomLine, sizeof(kZoomLine) - 1), 78);
  int glyphPixels = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 100; ++x) {
      const bool ink = opaque.color(x, y) == kRed;
      glyphPixels += ink;
      ASSERT_EQ(clear.color(x, y), ink ? kRed : kPaper) << x << "," << y;
    }
  EXPECT_GT(glyphPixels, 50);
}

TEST_F(TextRender, ClippedAtEveryEdgeInEveryLayout) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  const PixelLayout layouts[] = {layout8(), layout555(), layout565(), layout24(), layout32()};
  struct Place {
    int x, y;
  };
  const Place places[] = {{-30, -6}, {25, 12}, {-500, 0}, {0, -12}, {39, 0}, {0, 19}, {-78, 0}, {40, 0}, {0, 20}};
  for (const PixelLayout &layout : layouts) {
    for (const Place &p : places) {
      Canvas canvas(40, 20, layout);
      DeviceContext dc = contextOn(canvas, font);
      EXPECT_EQ(drawText(dc, p.x, p.y, kZoomLine, sizeof(kZoomLine) - 1), 78);
      ASSERT_TRUE(canvas.guardIntact()) << layout.bitsPerPixel << " at " << p.x << "," << p.y;
      // The visible part of the box is filled; nothing outside it changed.
      const uint32_t back = unpackColor(layout, packColor(layout, kNearBlack));
      const uint32_t paper = unpackColor(layout, packColor(layout, kPaper));
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
          const bool inBox = x >= p.x && x < p.x + 78 && y >= p.y && y < p.y + 13;
          if (!inBox) {
            ASSERT_EQ(canvas.color(x, y), paper) << x << "," << y;
          } else {
            ASSERT_NE(canvas.color(x, y), paper) << x << "," << y;
          }
        }
      if (p.x == 25 && p.y == 12) {
        EXPECT_EQ(canvas.color(25, 12), back);
      }
    }
  }
}

TEST_F(TextRender, ClippedDrawingMatchesTheSamePartOfAnUnclippedOne) {
  for (int height : {13, 40}) {
    Font *font = arial(height);
    REQUIRE_LIBERATION(font);
    Canvas whole(400, 80);
    DeviceContext reference = contextOn(whole, font);
    reference.backMode = TRANSPARENT;
    drawText(reference, 10, 10, "WMmw@%Q|", 8);
    // Windows onto the same picture whose edges cut through glyphs at every column.
    for (int left = 0; left < 60; left += 3)
      for (int top : {0, 9, 17, 25}) {
        Canvas part(37, 23);
        DeviceContext dc = contextOn(part, font);
        dc.backMode = TRANSPARENT;
        drawText(dc, 10 - left, 10 - top, "WMmw@%Q|", 8);
        ASSERT_TRUE(part.guardIntact());
        for (int y = 0; y < 23; ++y)
          for (int x = 0; x < 37; ++x)
            ASSERT_EQ(part.color(x, y), whole.color(x + left, y + top))
                << "height " << height << ", window at " << left << "," << top << ", pixel " << x << "," << y;
      }
  }
}

TEST_F(TextRender, FarCoordinatesDrawNothingAndDoNotOverflow) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  Canvas canvas(40, 20);
  DeviceContext dc = contextOn(canvas, font);
  const int far[][2] = {{INT_MAX - 5, 0}, {INT_MIN, 0}, {0, INT_MAX - 3}, {0, INT_MIN}, {INT_MIN + 10, INT_MIN + 10}};
  for (const auto &p : far) {
    EXPECT_EQ(drawText(dc, p[0], p[1], kZoomLine, sizeof(kZoomLine) - 1), 78);
    EXPECT_TRUE(canvas.guardIntact());
    EXPECT_EQ(colorsIn(canvas, 0, 0, 40, 20), std::set<uint32_t>{kPaper});
  }
}

TEST_F(TextRender, ColoursAreStoredInTheTargetsLayout) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  Canvas c565(90, 15, layout565()), c32(90, 15, layout32());
  DeviceContext a = contextOn(c565, font), b = contextOn(c32, font);
  const int advance = drawText(a, 0, 0, "E", 1);
  EXPECT_EQ(drawText(b, 0, 0, "E", 1), advance);
  std::set<uint32_t> raw565, raw32;
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < advance; ++x)
      raw565.insert(readPixel(c565.view, x, y)), raw32.insert(readPixel(c32.view, x, y));
  EXPECT_EQ(raw565, (std::set<uint32_t>{0xF800, 0x0000}));     // red, and red 1 narrowed to 0
  EXPECT_EQ(raw32, (std::set<uint32_t>{0xFF0000, 0x010000}));  // X8R8G8B8
}

TEST_F(TextRender, UnderlineRunsTheAdvanceOnTheCellsLastRow) {
  Font *font = arial(13, true);
  REQUIRE_LIBERATION(font);
  Canvas canvas(100, 20);
  DeviceContext dc = contextOn(canvas, font);
  drawText(dc, 4, 1, kZoomLine, sizeof(kZoomLine) - 1);
  const int row = 1 + font->face->underlineTop;
  EXPECT_GE(row, 1 + 11);
  EXPECT_LT(row, 1 + 13);
  EXPECT_EQ(colorsIn(canvas, 4, row, 82, row + 1), std::set<uint32_t>{kRed});
  EXPECT_EQ(canvas.color(3, row), kPaper);
  EXPECT_EQ(canvas.color(82, row), kPaper);
}

TEST_F(TextRender, FacesAreSharedPerSizeAndSizedByCellOrEm) {
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  FontRequest request;
  request.faceName = "Arial";
  request.height = 13;
  EXPECT_EQ(openFace(request), font->face);  // the same face and glyph cache
  request.height = -12;                      // an em of 12 pixels
  auto em12 = openFace(request);
  ASSERT_TRUE(em12);
  EXPECT_NE(em12, font->face);
  EXPECT_EQ(em12->metrics.tmHeight, 13);  // 12 * 2288 / 2048 = 13.4
  EXPECT_EQ(em12->metrics.tmInternalLeading, 1);
  request.height = 0;
  EXPECT_EQ(openFace(request)->metrics.tmHeight, 16);
  request.height = 26;
  auto big = openFace(request);
  EXPECT_EQ(big->metrics.tmHeight, 26);
  EXPECT_EQ(big->metrics.tmAscent + big->metrics.tmDescent, 26);
  // Sizes whose glyphs would need unbounded memory are refused.
  request.height = kMaxFontPixels + 1;
  EXPECT_FALSE(openFace(request));
  request.height = -kMaxFontPixels - 1;
  EXPECT_FALSE(openFace(request));

  // Bold comes from the bold face, and is wider.
  request.height = 13;
  request.weight = FW_BOLD;
  auto bold = openFace(request);
  ASSERT_TRUE(bold);
  EXPECT_EQ(bold->metrics.tmWeight, FW_BOLD);
  Font boldFont;
  boldFont.face = bold;
  Canvas canvas(4, 4);
  DeviceContext regular = contextOn(canvas, font), heavy = contextOn(canvas, &boldFont);
  EXPECT_GT(measureText(heavy, kPrompt, sizeof(kPrompt) - 1, nullptr),
            measureText(regular, kPrompt, sizeof(kPrompt) - 1, nullptr));
}

TEST_F(TextRender, AnsiCharactersMapThroughWindows1252) {
  EXPECT_EQ(ansiToUnicode('A'), 0x41u);
  EXPECT_EQ(ansiToUnicode(0x80), 0x20ACu);  // euro sign
  EXPECT_EQ(ansiToUnicode(0x92), 0x2019u);  // right single quote
  EXPECT_EQ(ansiToUnicode(0x9F), 0x0178u);
  EXPECT_EQ(ansiToUnicode(0x81), 0x81u);  // unassigned: left alone
  EXPECT_EQ(ansiToUnicode(0xE9), 0xE9u);  // Latin-1 above
  Font *font = arial();
  REQUIRE_LIBERATION(font);
  // The euro sign is a real glyph, not the missing-glyph box of 0x81.
  const Glyph &euro = font->face->glyph(0x80), &missing = font->face->glyph(0x81);
  EXPECT_GT(euro.rows, 0);
  EXPECT_TRUE(euro.bits != missing.bits || euro.width != missing.width);
}

TEST_F(TextRender, WithoutLookupTheBuiltInFontDrawsInstead) {
  setFontLookupEnabled(false);
  FontRequest request;
  request.faceName = "Arial";
  request.height = 13;
  EXPECT_FALSE(openFace(request));

  Canvas canvas(80, 20);
  DeviceContext dc = contextOn(canvas, nullptr);  // no font selected
  int height = 0;
  EXPECT_EQ(measureText(dc, "ZOOM", 4, &height), 24);
  EXPECT_EQ(height, 13);
  EXPECT_EQ(drawText(dc, 2, 3, "ZOOM 1", 6), 36);
  EXPECT_EQ(colorsIn(canvas, 2, 3, 38, 16), (std::set<uint32_t>{kNearBlack, kRed}));
  Box ink = boxOf(canvas, kRed);
  EXPECT_EQ(ink.bottom, 3 + 11);  // the same baseline as the viewer's Arial
  EXPECT_EQ(ink.top, 3 + 4);
  Box box = boxOf(canvas, kNearBlack);
  EXPECT_EQ(box.left, 2);
  EXPECT_EQ(box.right, 38);
  EXPECT_EQ(box.top, 3);
  EXPECT_EQ(box.bottom, 16);
  EXPECT_TRUE(canvas.guardIntact());

  reset();
  EXPECT_TRUE(openFace(request)) << "lookup is on again after a reset";
}

TEST_F(TextRender, BuiltInFontCoversPrintableAsciiAndBoxesTheRest) {
  FontFace &face = builtinFace();
  EXPECT_EQ(face.metrics.tmHeight, 13);
  EXPECT_EQ(face.metrics.tmAscent, 11);
  std::set<std::vector<uint8_t>> shapes;
  for (int c = 33; c <= 126; ++c) {
    const Glyph &g = face.glyph(static_cast<unsigned char>(c));
    EXPECT_EQ(g.advance, 6);
    bool any = false;
    for (uint8_t row : g.bits) any |= row != 0;
    EXPECT_TRUE(any) << "character " << c << " is blank";
    shapes.insert(g.bits);
  }
  EXPECT_EQ(shapes.size(), 94u);  // every printable character looks different
  EXPECT_EQ(face.glyph(0x80).bits, face.glyph(0x01).bits);
  EXPECT_EQ(shapes.count(face.glyph(0x80).bits), 0u);
  // Built-in underline sits on the cell's last rows too.
  Font underlined;
  underlined.underline = true;
  Canvas canvas(30, 15);
  DeviceContext dc = contextOn(canvas, &underlined);
  drawText(dc, 0, 0, "ab", 2);
  EXPECT_EQ(colorsIn(canvas, 0, face.underlineTop, 12, face.underlineTop + 1), std::set<uint32_t>{kRed});
}

TEST_F(TextRender, NothingDrawnForEmptyTextOrATargetWithoutPixels) {
  Canvas canvas(20, 20);
  DeviceContext dc = contextOn(canvas, nullptr);
  EXPECT_EQ(drawText(dc, 0, 0, "", 0), 0);
  EXPECT_EQ(drawText(dc, 0, 0, nullptr, 5), 0);
  EXPECT_EQ(drawText(dc, 0, 0, "abc", -1), 0);
  EXPECT_EQ(colorsIn(canvas, 0, 0, 20, 20), std::set<uint32_t>{kPaper});
  DeviceContext empty;
  EXPECT_EQ(drawText(empty, 0, 0, "abc", 3), 18);  // measured all the same
}

}  // namespace

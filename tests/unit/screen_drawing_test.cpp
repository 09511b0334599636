// Text and lines on the back buffer: the text box's rows and colours,
// formatting and its cut at the buffer's size, the device context taken and
// given back, inclusive lines, swapped ends and pixels off the surface.
#include <climits>
#include <string>

#include "screen_fixture.h"

namespace {

constexpr COLORREF kBox = 0x000001;  // red 1, green 0, blue 0
constexpr COLORREF kRed = 0x0000FF;

class ScreenDrawingTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    ASSERT_TRUE(createScreen());
    ASSERT_EQ(screen->clearBackBuffer(), DD_OK);
    layer::clearCalls();
  }

  layer::SurfaceImage backBuffer() { return layer::readSurface(screen->surfaces.backBuffer); }

  // The pixels that are not black.
  static int litPixels(const layer::SurfaceImage &image) {
    int lit = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) lit += image.color(x, y) != 0;
    return lit;
  }

  // Width in pixels of a text in the writer's font.
  int textWidth(const std::string &text) {
    HDC dc = nullptr;
    EXPECT_EQ(screen->surfaces.backBuffer->GetDC(&dc), DD_OK);
    SelectObject(dc, screen->textWriter.font);
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    screen->surfaces.backBuffer->ReleaseDC(dc);
    return size.cx;
  }

  void clear() { ASSERT_EQ(screen->clearBackBuffer(), DD_OK); }
};

TEST_F(ScreenDrawingTest, TextLiesOnAThirteenRowBoxInRed) {
  screen->textWriter.printf(0, 0, " ZOOM: %i %%", 100);
  layer::SurfaceImage image = backBuffer();
  int boxWidth = 0;
  while (boxWidth < image.width && image.color(boxWidth, 0) != 0) ++boxWidth;
  EXPECT_GT(boxWidth, 40);
  EXPECT_LT(boxWidth, 120);

  int red = 0;
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < image.width; ++x) {
      COLORREF color = image.color(x, y);
      if (x < boxWidth) {
        // Glyphs are pure red on the box: no blend between them.
        ASSERT_TRUE(color == kBox || color == kRed) << x << "," << y << " " << std::hex << color;
        red += color == kRed;
      } else {
        ASSERT_EQ(color, 0u) << x << "," << y;
      }
    }
  EXPECT_GT(red, 50);
  for (int x = 0; x < image.width; ++x) ASSERT_EQ(image.color(x, 13), 0u) << x;
  EXPECT_EQ(litPixels(image), boxWidth * 13);
}

TEST_F(ScreenDrawingTest, FormattingMatchesTheFormattedText) {
  screen->textWriter.printf(0, 0, " ZOOM: %i %%", 100);
  layer::SurfaceImage formatted = backBuffer();
  clear();
  screen->textWriter.printText(" ZOOM: 100 %", 0, 0);
  EXPECT_EQ(backBuffer().bytes, formatted.bytes);
  std::string textOut = layer::callTexts({"TextOutA"}).front();
  EXPECT_NE(textOut.find(", 0, 0, \" ZOOM: 100 %\")"), std::string::npos) << textOut;

  // Without conversions the format prints as it stands, whatever the arguments.
  clear();
  const char *prompt = "| Press spacebar for menu |";
  screen->textWriter.printf(0, 460, prompt, 12345, "unused");
  layer::SurfaceImage plain = backBuffer();
  clear();
  screen->textWriter.printText("| Press spacebar for menu |", 0, 460);
  EXPECT_EQ(backBuffer().bytes, plain.bytes);
}

TEST_F(ScreenDrawingTest, TheBoxCoversWhatLayUnderIt) {
  layer::SurfaceImage white = backBuffer();
  for (uint8_t &byte : white.bytes) byte = 0xFF;
  layer::writeSurface(screen->surfaces.backBuffer, white);
  screen->textWriter.printf(10, 100, "Hello");
  layer::SurfaceImage image = backBuffer();
  int boxWidth = 0;
  while (image.color(10 + boxWidth, 100) != 0xFFFFFF) ++boxWidth;
  ASSERT_GT(boxWidth, 10);
  for (int y = 100; y < 113; ++y)
    for (int x = 10; x < 10 + boxWidth; ++x) {
      COLORREF color = image.color(x, y);
      ASSERT_TRUE(color == kBox || color == kRed) << x << "," << y;
    }
  for (int x = 10; x < 10 + boxWidth; ++x) {
    EXPECT_EQ(image.color(x, 99), 0xFFFFFFu);
    EXPECT_EQ(image.color(x, 113), 0xFFFFFFu);
  }
  EXPECT_EQ(image.color(9, 105), 0xFFFFFFu);
}

TEST_F(ScreenDrawingTest, EachPrintTakesTheContextAndGivesItBack) {
  screen->textWriter.printf(0, 0, "%s", "");
  EXPECT_EQ(litPixels(backBuffer()), 0);
  EXPECT_EQ(callNames({"IDirectDrawSurface::GetDC", "SetTextColor", "SetBkColor", "SelectObject", "TextOutA",
                       "IDirectDrawSurface::ReleaseDC"}),
            (std::vector<std::string>{"IDirectDrawSurface::GetDC", "SetTextColor", "SetBkColor", "SelectObject",
                                      "TextOutA", "IDirectDrawSurface::ReleaseDC"}));
  EXPECT_FALSE(layer::isSurfaceBusy(screen->surfaces.backBuffer));
  EXPECT_EQ(layer::countCalls("SetBkMode"), 0u);
}

TEST_F(ScreenDrawingTest, WithoutAFontTheDefaultOneIsUsed) {
  screen->textWriter.font = nullptr;
  screen->textWriter.printf(0, 0, "Hello");
  EXPECT_EQ(layer::countCalls("SelectObject"), 0u);
  EXPECT_GT(litPixels(backBuffer()), 0);
}

TEST_F(ScreenDrawingTest, TextBeyondTheBufferIsCut) {
  // 4,995 characters and then eight more: only four of those fit.
  std::string head(4995, 'x');
  int headWidth = textWidth(head);
  ASSERT_GT(headWidth, 0);
  int x = 20 - headWidth;  // the tail lands at x 20
  screen->textWriter.printf(x, 200, (head + "%s").c_str(), "ABCDEFGH");
  layer::SurfaceImage cut = backBuffer();
  EXPECT_GT(litPixels(cut), 0);

  clear();
  screen->textWriter.printText((head + "ABCD").c_str(), x, 200);
  EXPECT_EQ(backBuffer().bytes, cut.bytes);
  clear();
  screen->textWriter.printText((head + "ABCDE").c_str(), x, 200);
  EXPECT_NE(backBuffer().bytes, cut.bytes);
}

TEST_F(ScreenDrawingTest, AFailedContextSkipsThePrint) {
  layer::injectFault("IDirectDrawSurface::GetDC", DDERR_SURFACELOST);
  screen->textWriter.printf(0, 0, "Hello");
  EXPECT_EQ(litPixels(backBuffer()), 0);
  EXPECT_EQ(layer::countCalls("TextOutA"), 0u);
  EXPECT_EQ(layer::countCalls("SetTextColor"), 0u);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::ReleaseDC"), 0u);
}

TEST_F(ScreenDrawingTest, LinesIncludeBothEnds) {
  screen->lineDrawer.drawVertical(16, 464, 619, 255);
  layer::SurfaceImage image = backBuffer();
  EXPECT_EQ(litPixels(image), 449);
  for (int y = 16; y <= 464; ++y) ASSERT_EQ(image.color(619, y), kRed) << y;
  EXPECT_EQ(layer::countCalls("SetPixel"), 449u);

  clear();
  screen->lineDrawer.drawHorizontal(21, 619, 16, 255);
  image = backBuffer();
  EXPECT_EQ(litPixels(image), 599);
  for (int x = 21; x <= 619; ++x) ASSERT_EQ(image.color(x, 16), kRed) << x;

  clear();
  screen->lineDrawer.drawVertical(100, 100, 5, 255);
  image = backBuffer();
  EXPECT_EQ(litPixels(image), 1);
  EXPECT_EQ(image.color(5, 100), kRed);
}

TEST_F(ScreenDrawingTest, SwappedEndsDrawNothingButStillTakeTheContext) {
  screen->lineDrawer.drawHorizontal(619, 21, 16, 255);
  screen->lineDrawer.drawVertical(464, 16, 619, 255);
  EXPECT_EQ(litPixels(backBuffer()), 0);
  EXPECT_EQ(layer::countCalls("SetPixel"), 0u);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::GetDC"), 2u);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::ReleaseDC"), 2u);
}

TEST_F(ScreenDrawingTest, LinesPartlyOffTheSurfaceSetOnlyTheirPixelsOnIt) {
  screen->lineDrawer.drawHorizontal(-10, 9, 5, 0x00FF00);
  screen->lineDrawer.drawVertical(470, 490, 3, 0x00FF00);
  screen->lineDrawer.drawHorizontal(630, 700, 479, 0x00FF00);
  layer::SurfaceImage image = backBuffer();
  EXPECT_EQ(litPixels(image), 10 + 10 + 10);
  for (int x = 0; x <= 9; ++x) EXPECT_EQ(image.color(x, 5), 0x00FF00u);
  for (int y = 470; y < 480; ++y) EXPECT_EQ(image.color(3, y), 0x00FF00u);
  for (int x = 630; x < 640; ++x) EXPECT_EQ(image.color(x, 479), 0x00FF00u);
  EXPECT_EQ(layer::countCalls("SetPixel"), 20u + 21u + 71u);
}

TEST_F(ScreenDrawingTest, LinesAtTheLimitsOfTheCoordinatesEnd) {
  screen->lineDrawer.drawHorizontal(INT32_MAX, INT32_MAX, 0, 255);
  screen->lineDrawer.drawVertical(INT32_MAX - 1, INT32_MAX, 0, 255);
  EXPECT_EQ(layer::countCalls("SetPixel"), 3u);
  EXPECT_EQ(litPixels(backBuffer()), 0);
}

TEST_F(ScreenDrawingTest, AFailedContextSkipsTheLine) {
  layer::injectFault("IDirectDrawSurface::GetDC", DDERR_SURFACELOST, 2);
  screen->lineDrawer.drawHorizontal(0, 10, 0, 255);
  screen->lineDrawer.drawVertical(0, 10, 0, 255);
  EXPECT_EQ(layer::countCalls("SetPixel"), 0u);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::ReleaseDC"), 0u);
  EXPECT_EQ(litPixels(backBuffer()), 0);
}

}  // namespace

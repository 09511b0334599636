// Drawing a picture stretched and cut to the clip rectangle: the rectangles
// and flags that reach the blit, the cases that draw nothing, and the
// restore after a failed blit.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "graphics/graphic.h"
#include "support/graphic_fixture.h"

namespace {

using graphictest::bmpFile;
using graphictest::TempFile;

const ClipRect kClip{21, 16, 619, 464};

uint32_t pattern(int x, int y) { return RGB(x & 0xFF, y & 0xFF, (x * 7 + y * 3) & 0xFF); }

class ClippedDraw : public graphictest::GraphicTest {
 protected:
  void SetUp() override {
    GraphicTest::SetUp();
    useDisplay(24);
    backBuffer = surfaces.backBuffer = newSurface(640, 480);
    extraSurfaces.pop_back();  // `surfaces` releases it
  }
  void attachPicture() {
    picture = attachSurface(640, 480);
    writePixels(picture, pattern);
  }

  // The blits of one draw, as "destination, source, flags".
  std::vector<std::string> blitsOf(int x, int y, int width, int height, const ClipRect &clip = kClip) {
    layer::clearCalls();
    graphic.draw(x, y, width, height, clip);
    std::vector<std::string> out;
    for (const layer::Call &call : layer::calls()) {
      if (call.name != "IDirectDrawSurface::Blt") continue;
      std::string text = call.arguments;
      for (IDirectDrawSurface *surface : {backBuffer, picture}) {
        const std::string label = layer::surfaceLabel(surface) + ", ";
        if (size_t at = text.find(label); at != std::string::npos) text.erase(at, label.size());
      }
      out.push_back(text);
    }
    return out;
  }
  std::string blitOf(int x, int y, int width, int height, const ClipRect &clip = kClip) {
    std::vector<std::string> made = blitsOf(x, y, width, height, clip);
    EXPECT_EQ(made.size(), 1u) << x << "," << y << " " << width << "x" << height;
    return made.empty() ? std::string() : made[0];
  }

  IDirectDrawSurface *backBuffer = nullptr;
  IDirectDrawSurface *picture = nullptr;
};

TEST_F(ClippedDraw, TheWorkedExamplesCutBothRectangles) {
  attachPicture();
  const struct {
    int x, y, width, height;
    const char *blit;
  } rows[] = {
      {288, 216, 64, 48, "[288,216,352,264], [0,0,640,480], 0x1000000"},
      {161, 121, 319, 239, "[161,121,480,360], [0,0,640,480], 0x1000000"},
      {0, 0, 640, 480, "[21,16,619,464], [21,16,619,464], 0x1000000"},
      {-160, -120, 960, 720, "[21,16,619,464], [121,91,519,389], 0x1000000"},
      {-320, -240, 1280, 960, "[21,16,619,464], [171,128,469,352], 0x1000000"},
      {-415, -311, 1471, 1103, "[21,16,619,464], [190,142,450,337], 0x1000000"},
      {-4800, -3600, 10240, 7680, "[21,16,619,464], [301,226,339,254], 0x1000000"},
  };
  for (const auto &row : rows) EXPECT_EQ(blitOf(row.x, row.y, row.width, row.height), row.blit) << row.x;
}

TEST_F(ClippedDraw, EachEdgeIsCutOnItsOwnWithItsFactorsPrecision) {
  attachPicture();
  // 480 / 14336 rounded to single precision cuts 232 rows at the top where
  // the double would cut 233; 640 / 5888 kept in double cuts 288 columns
  // where a float would cut 287.
  EXPECT_EQ(blitOf(0, -6928, 640, 14336), "[21,16,619,464], [21,232,619,248], 0x1000000");
  EXPECT_EQ(blitOf(-2624, 0, 5888, 480), "[21,16,619,464], [288,16,352,464], 0x1000000");
  // The left edge alone: 341 columns at 0.5 are 170.5, taken up to 171.
  EXPECT_EQ(blitOf(-320, 100, 1280, 200), "[21,100,619,300], [171,0,469,480], 0x1000000");
  // The right edge alone, measured from the uncut destination.
  EXPECT_EQ(blitOf(100, 100, 200, 100, ClipRect{0, 0, 250, 480}), "[100,100,250,200], [0,0,480,480], 0x1000000");
  // An edge exactly on the clip edge is not cut.
  EXPECT_EQ(blitOf(21, 16, 598, 448), "[21,16,619,464], [0,0,640,480], 0x1000000");
  graphic.colorKeyEnabled = true;
  EXPECT_EQ(blitOf(288, 216, 64, 48), "[288,216,352,264], [0,0,640,480], 0x1008000");
}

TEST_F(ClippedDraw, OutsideTheClipNothingIsDrawnButTouchingStillBlits) {
  attachPicture();
  for (auto [x, y, width, height] :
       {std::array{-101, 100, 120, 100}, std::array{100, -50, 100, 65}, std::array{620, 100, 100, 100},
        std::array{100, 465, 100, 100}, std::array{10, 10, 0, 100}, std::array{10, 10, 100, -5}})
    EXPECT_TRUE(blitsOf(x, y, width, height).empty()) << x << "," << y << " " << width << "x" << height;
  EXPECT_EQ(blitOf(-79, 100, 100, 100), "[21,100,21,200], [640,0,640,480], 0x1000000");
  EXPECT_EQ(blitOf(619, 100, 100, 100), "[619,100,619,200], [0,0,0,480], 0x1000000");
  EXPECT_EQ(blitOf(100, -84, 100, 100), "[100,16,200,16], [0,480,640,480], 0x1000000");
  EXPECT_EQ(blitOf(100, 464, 100, 100), "[100,464,200,464], [0,0,640,0], 0x1000000");
}

TEST_F(ClippedDraw, AnEmptyGraphicDrawsNothingAndRestoresNothing) {
  EXPECT_TRUE(blitsOf(0, 0, 640, 480).empty());
  EXPECT_EQ(layer::countCalls("LoadImageA"), 0u);
}

TEST_F(ClippedDraw, AFailedBlitRestoresThePictureFromItsFile) {
  TempFile file("draw.bmp");
  file.write(bmpFile(64, 48, pattern));
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  picture = graphic.surface;
  graphic.invert();
  layer::loseSurface(picture);
  EXPECT_EQ(blitsOf(288, 216, 64, 48).size(), 1u);  // not tried again
  EXPECT_EQ(picture->IsLost(), DD_OK);
  EXPECT_EQ(layer::readSurface(picture).color(5, 7), pattern(5, 7));      // the inversion is undone
  EXPECT_EQ(layer::readSurface(backBuffer).color(288 + 5, 216 + 7), 0u);  // missing from this frame
  graphic.draw(288, 216, 64, 48, kClip);
  EXPECT_EQ(layer::readSurface(backBuffer).color(288 + 5, 216 + 7), pattern(5, 7));

  // While the file is gone, every failed blit says so.
  file.remove();
  layer::injectFault("IDirectDrawSurface::Blt", DDERR_SURFACELOST, 3);
  for (int frame = 0; frame < 3; ++frame) graphic.draw(288, 216, 64, 48, kClip);
  EXPECT_EQ(layer::debugOutput(), std::vector<std::string>(3, "handle is null\n"));
}

}  // namespace

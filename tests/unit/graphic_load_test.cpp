// Loading a Graphic from its bitmap file and restoring it: the new surface,
// the failures and what each leaves behind, the diagnostics, names at the
// buffer's limit, and the bitmap resource that restoring prefers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "graphics/bitmap_loading.h"
#include "graphics/graphic.h"
#include "support/graphic_fixture.h"

namespace {

using graphictest::bmpFile;
using graphictest::TempFile;

uint32_t pictureColor(int x, int y) { return RGB(x * 40 + 5, y * 60 + 7, (x + y) * 17 + 3); }
uint32_t otherColor(int x, int y) { return RGB(200 - x, 90 + y, 17); }

class BitmapLoading : public graphictest::GraphicTest {
 protected:
  void SetUp() override {
    GraphicTest::SetUp();
    useDisplay(24);
    graphic.owner = nullptr;
    lastBitmapWidth = lastBitmapHeight = 0;
    file.write(bmpFile(4, 3, pictureColor));
  }

  // The surface's pixels as COLORREF values, row by row, or those a color function gives.
  static std::vector<uint32_t> colors(IDirectDrawSurface *surface) {
    layer::SurfaceImage image = layer::readSurface(surface);
    std::vector<uint32_t> out;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) out.push_back(image.color(x, y));
    return out;
  }
  static std::vector<uint32_t> colors(int width, int height, uint32_t (*color)(int, int)) {
    std::vector<uint32_t> out;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) out.push_back(color(x, y));
    return out;
  }
  std::string loadCall(const char *module, const char *flags) const {
    return std::string("LoadImageA(") + module + ", \"" + file.path() + "\", 0, 0, 0, " + flags + ")";
  }

  TempFile file{"picture.bmp"};
};

TEST_F(BitmapLoading, LoadReadsOnlyTheFileIntoASurfaceOfItsSize) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  EXPECT_EQ(graphic.owner, &surfaces);
  EXPECT_STREQ(graphic.fileName, file.path().c_str());
  EXPECT_TRUE(graphic.width == 4 && graphic.height == 3 && lastBitmapWidth == 4 && lastBitmapHeight == 3);
  EXPECT_EQ(colors(graphic.surface), colors(4, 3, pictureColor));  // upright, every colour kept
  EXPECT_EQ(layer::callTexts({"LoadImageA"}), (std::vector<std::string>{loadCall("null", "0x2010")}));
  const std::vector<std::string> create = layer::callTexts({"IDirectDraw::CreateSurface"});
  EXPECT_NE(create.at(0).find("flags 0x7, caps 0x40, 4x3"), std::string::npos) << create[0];
  EXPECT_NE(layer::callTexts({"GetObjectA"}).at(0).find(", " + std::to_string(sizeof(BITMAP)) + ")"),
            std::string::npos);
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);  // bitmap and memory DC freed
  EXPECT_FALSE(layer::isSurfaceBusy(graphic.surface));
  EXPECT_TRUE(layer::debugOutput().empty());
}

TEST_F(BitmapLoading, FailedLoadsLeaveWhatTheirStepLeaves) {
  // Without an owner only the name is kept.
  IDirectDrawSurface *held = newSurface(2, 2);
  graphic.surface = held;
  EXPECT_FALSE(graphic.load(file.path().c_str()));
  EXPECT_STREQ(graphic.fileName, file.path().c_str());
  EXPECT_EQ(graphic.surface, held);
  graphic.surface = nullptr;

  // A missing or broken file: no surface, sizes untouched.
  graphic.owner = &surfaces;
  TempFile broken("broken.bmp");
  broken.write({'B', 'M', 1, 2, 3});
  lastBitmapWidth = 11;
  for (const std::string &name : {std::string("no-such-file.bmp"), broken.path()}) {
    EXPECT_FALSE(graphic.load(name.c_str())) << name;
    EXPECT_TRUE(graphic.surface == nullptr && graphic.width == 0 && lastBitmapWidth == 11) << name;
  }

  // A surface that cannot be made: the file's size is known all the same.
  ASSERT_TRUE(graphic.load(file.path().c_str()));
  TempFile other("other.bmp");
  other.write(bmpFile(7, 2, otherColor));
  layer::injectFault("IDirectDraw::CreateSurface", DDERR_OUTOFVIDEOMEMORY);
  EXPECT_FALSE(graphic.load(other.path().c_str()));
  EXPECT_EQ(graphic.surface, nullptr);
  EXPECT_TRUE(graphic.width == 4 && graphic.height == 3 && lastBitmapWidth == 7 && lastBitmapHeight == 2);
  EXPECT_EQ(layer::liveSurfaceCount(), 1);  // only the test's own
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
  EXPECT_TRUE(layer::debugOutput().empty());

  // A copy that fails at GetDC still loads, with the new surface's pixels.
  layer::injectFault("IDirectDrawSurface::GetDC", DDERR_SURFACEBUSY);
  EXPECT_TRUE(graphic.load(file.path().c_str()));
  EXPECT_EQ(colors(graphic.surface), std::vector<uint32_t>(12, 0));
}

TEST_F(BitmapLoading, ASecondLoadReleasesTheSurfaceItReplaces) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  TempFile other("other.bmp");
  other.write(bmpFile(2, 5, otherColor));
  ASSERT_TRUE(graphic.load(other.path().c_str()));
  EXPECT_EQ(layer::liveSurfaceCount(), 1);
  EXPECT_TRUE(graphic.width == 2 && graphic.height == 5);
  EXPECT_EQ(colors(graphic.surface), colors(2, 5, otherColor));
  EXPECT_FALSE(graphic.load("no-such-file.bmp"));
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
}

TEST_F(BitmapLoading, NamesOfFortyNineCharactersFitAndLongerOnesAreRefused) {
  const size_t prefix = file.path().size() - std::strlen("picture.bmp");
  TempFile exact(std::string(49 - prefix - 4, 'n') + ".bmp"), tooLong(std::string(50 - prefix - 4, 'm') + ".bmp");
  ASSERT_TRUE(exact.path().size() == 49 && tooLong.path().size() == 50);
  exact.write(bmpFile(3, 2, otherColor));
  tooLong.write(bmpFile(1, 1, otherColor));
  ASSERT_TRUE(graphic.load(exact.path().c_str(), &surfaces));
  EXPECT_EQ(graphic.fileName, exact.path());
  graphic.invert();
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(colors(graphic.surface), colors(3, 2, otherColor));

  IDirectDrawSurface *kept = graphic.surface;
  layer::clearCalls();
  EXPECT_FALSE(graphic.load(tooLong.path().c_str()));
  EXPECT_FALSE(graphic.load(nullptr));
  EXPECT_TRUE(layer::calls().empty());
  EXPECT_EQ(graphic.fileName, exact.path());
  EXPECT_TRUE(graphic.surface == kept && graphic.width == 3);
}

TEST_F(BitmapLoading, RestoreRefillsTheSameLostSurfaceUndoingColourChanges) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  IDirectDrawSurface *surface = graphic.surface;
  graphic.invert();
  layer::loseSurface(surface);
  layer::clearCalls();
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(graphic.surface, surface);
  EXPECT_EQ(colors(surface), colors(4, 3, pictureColor));
  // A resource first, then the file; the surface restored before it is drawn into.
  EXPECT_EQ(layer::callTexts({"LoadImageA"}),
            (std::vector<std::string>{loadCall("module", "0x2000"), loadCall("null", "0x2010")}));
  EXPECT_EQ(layer::callTexts({"IDirectDrawSurface::Restore", "StretchBlt"}).at(0).rfind("IDirectDrawSurface::Restore"),
            0u);
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
  EXPECT_TRUE(layer::debugOutput().empty());
}

TEST_F(BitmapLoading, RestoreStretchesAResizedFileToTheOldSize) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  file.write(bmpFile(2, 1, [](int x, int) { return x == 0 ? RGB(255, 0, 0) : RGB(0, 0, 255); }));
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_TRUE(graphic.width == 4 && graphic.height == 3);
  EXPECT_EQ(colors(graphic.surface), colors(4, 3, [](int x, int) { return x < 2 ? RGB(255, 0, 0) : RGB(0, 0, 255); }));
}

TEST_F(BitmapLoading, RestoreFailuresAndTheirDiagnostics) {
  // An empty Graphic: the file is found, the copy has no surface.
  std::strcpy(graphic.fileName, file.path().c_str());
  EXPECT_EQ(graphic.restore(), E_FAIL);
  EXPECT_EQ(layer::debugOutput().back(), "ddcopybitmap failed\n");

  // GetDC fails: the surface is restored but not refilled.
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  graphic.invert();
  const std::vector<uint8_t> inverted = rawBytes(graphic.surface);
  layer::loseSurface(graphic.surface);
  layer::injectFault("IDirectDrawSurface::GetDC", DDERR_CANTCREATEDC);
  EXPECT_EQ(graphic.restore(), DDERR_CANTCREATEDC);
  EXPECT_EQ(layer::debugOutput().back(), "ddcopybitmap failed\n");
  EXPECT_EQ(graphic.surface->IsLost(), DD_OK);

  // No memory DC: said so, nothing copied, and the result is GetDC's.
  layer::injectFault("CreateCompatibleDC", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(layer::debugOutput().back(), "createcompatible dc failed\n");

  // The file gone: the surface is not touched, not even restored.
  file.remove();
  layer::loseSurface(graphic.surface);
  EXPECT_EQ(graphic.restore(), E_FAIL);
  EXPECT_EQ(layer::debugOutput().back(), "handle is null\n");
  EXPECT_EQ(graphic.surface->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(layer::debugOutput().size(), 4u);
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
  EXPECT_FALSE(layer::isSurfaceBusy(graphic.surface));
}

TEST_F(BitmapLoading, RestorePrefersABitmapResourceThatLoadIgnores) {
  layer::registerBitmapResource(file.path(), bmpFile(4, 3, otherColor));
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  EXPECT_EQ(colors(graphic.surface), colors(4, 3, pictureColor));
  file.remove();  // the resource is found without the file
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(colors(graphic.surface), colors(4, 3, otherColor));
}

}  // namespace

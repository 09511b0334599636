// Loading a Graphic from its bitmap file and restoring it: the new surface,
// the failures and what each leaves behind, the diagnostics, names at the
// buffer's limit, and the bitmap resource that restoring prefers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "graphics/bitmap_loading.h"
#include "graphics/graphic.h"
#include "support/graphic_fixture.h"

namespace {

using graphictest::bmpFile;
using graphictest::GraphicTest;
using graphictest::TempFile;

uint32_t pictureColor(int x, int y) { return RGB(x * 40 + 5, y * 60 + 7, (x + y) * 17 + 3); }
uint32_t otherColor(int x, int y) { return RGB(200 - x, 90 + y, 17); }

class BitmapLoading : public GraphicTest {
 protected:
  void SetUp() override {
    GraphicTest::SetUp();
    useDisplay(24);
    graphic.owner = nullptr;
    lastBitmapWidth = lastBitmapHeight = 0;
    file.write(bmpFile(4, 3, pictureColor));
  }

  // The surface's pixels as COLORREF values, row by row.
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
  static std::vector<std::string> releases() {
    std::vector<std::string> out;
    for (const layer::Call &call : layer::calls())
      if (call.name == "IDirectDrawSurface::Release") out.push_back(call.text());
    return out;
  }
  std::string quoted() const { return "\"" + file.path() + "\""; }
  // A scratch file whose whole name has `length` characters.
  TempFile fileOfLength(size_t length, char fill) const {
    const size_t prefix = file.path().size() - std::string("picture.bmp").size();
    return TempFile(std::string(length - prefix - 4, fill) + ".bmp");
  }

  TempFile file{"picture.bmp"};
};

TEST_F(BitmapLoading, LoadMakesASurfaceOfTheFilesSizeHoldingItsPixelsUpright) {
  layer::clearCalls();
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  EXPECT_EQ(graphic.owner, &surfaces);
  EXPECT_STREQ(graphic.fileName, file.path().c_str());
  EXPECT_EQ(graphic.width, 4);
  EXPECT_EQ(graphic.height, 3);
  EXPECT_EQ(lastBitmapWidth, 4);
  EXPECT_EQ(lastBitmapHeight, 3);
  ASSERT_NE(graphic.surface, nullptr);
  EXPECT_EQ(colors(graphic.surface), colors(4, 3, pictureColor));
  EXPECT_TRUE(layer::debugOutput().empty());
  // Only the file is read, never a resource; the bitmap is freed.
  EXPECT_EQ(calls({"LoadImageA"}), (std::vector<std::string>{"LoadImageA(null, " + quoted() + ", 0, 0, 0, 0x2010)"}));
  std::vector<std::string> create = calls({"IDirectDraw::CreateSurface"});
  ASSERT_EQ(create.size(), 1u);
  EXPECT_NE(create[0].find("flags 0x7, caps 0x40, 4x3"), std::string::npos) << create[0];
  EXPECT_EQ(layer::countCalls("DeleteObject"), 1u);
  EXPECT_EQ(layer::countCalls("BitBlt"), 1u);
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
  EXPECT_FALSE(layer::isSurfaceBusy(graphic.surface));
  for (const std::string &call : calls({"GetObjectA"}))
    EXPECT_NE(call.find(", " + std::to_string(sizeof(BITMAP)) + ")"), std::string::npos) << call;
}

TEST_F(BitmapLoading, LoadTakesTheDisplaysLayout) {
  for (int depth : {16, 32}) {
    restart(depth);
    ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces)) << depth;
    EXPECT_EQ(layer::readSurface(graphic.surface).bitsPerPixel, depth);
    const uint32_t want = pictureColor(3, 2), got = layer::readSurface(graphic.surface).color(3, 2);
    for (int shift : {0, 8, 16}) {
      const int difference = int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF);
      EXPECT_LE(std::abs(difference), depth == 32 ? 0 : 8) << depth << " channel at " << shift;
    }
  }
}

TEST_F(BitmapLoading, LoadWithoutAnOwnerKeepsTheNameOnly) {
  IDirectDrawSurface *held = newSurface(2, 2);
  graphic.surface = held;
  layer::clearCalls();
  EXPECT_FALSE(graphic.load(file.path().c_str()));
  EXPECT_STREQ(graphic.fileName, file.path().c_str());
  EXPECT_EQ(graphic.surface, held);
  EXPECT_TRUE(layer::calls().empty());
  graphic.surface = nullptr;
}

TEST_F(BitmapLoading, AMissingOrBrokenFileLeavesAnEmptyGraphic) {
  TempFile broken("broken.bmp");
  broken.write({'B', 'M', 1, 2, 3});
  lastBitmapWidth = 11;
  lastBitmapHeight = 12;
  for (std::string name : {std::string("no-such-file.bmp"), broken.path()}) {
    EXPECT_FALSE(graphic.load(name.c_str(), &surfaces)) << name;
    EXPECT_EQ(graphic.surface, nullptr);
    EXPECT_EQ(graphic.width, 0);
    EXPECT_EQ(graphic.height, 0);
    EXPECT_STREQ(graphic.fileName, name.c_str());
  }
  EXPECT_EQ(lastBitmapWidth, 11);
  EXPECT_EQ(lastBitmapHeight, 12);
  EXPECT_TRUE(layer::debugOutput().empty());
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
}

TEST_F(BitmapLoading, ASurfaceThatCannotBeMadeStillRecordsTheFilesSize) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  TempFile other("other.bmp");
  other.write(bmpFile(7, 2, otherColor));
  // The platform refuses the surface as it would one too large for it.
  layer::injectFault("IDirectDraw::CreateSurface", DDERR_OUTOFVIDEOMEMORY);
  EXPECT_FALSE(graphic.load(other.path().c_str()));
  EXPECT_EQ(graphic.surface, nullptr);
  EXPECT_EQ(graphic.width, 4);
  EXPECT_EQ(graphic.height, 3);
  EXPECT_EQ(lastBitmapWidth, 7);
  EXPECT_EQ(lastBitmapHeight, 2);
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::GetDC"), 1u);  // the first load's copy only
  EXPECT_TRUE(layer::debugOutput().empty());
}

TEST_F(BitmapLoading, ACopyThatFailsAtGetDCStillLoads) {
  layer::injectFault("IDirectDrawSurface::GetDC", DDERR_SURFACEBUSY);
  EXPECT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  ASSERT_NE(graphic.surface, nullptr);
  EXPECT_EQ(graphic.width, 4);
  EXPECT_EQ(colors(graphic.surface), std::vector<uint32_t>(12, 0));
  EXPECT_EQ(layer::countCalls("BitBlt"), 0u);
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
}

TEST_F(BitmapLoading, ASecondLoadReleasesTheSurfaceItReplaces) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  IDirectDrawSurface *first = graphic.surface;
  const std::string firstLabel = layer::surfaceLabel(first);
  TempFile other("other.bmp");
  other.write(bmpFile(2, 5, otherColor));
  layer::clearCalls();
  ASSERT_TRUE(graphic.load(other.path().c_str()));
  EXPECT_EQ(layer::liveSurfaceCount(), 1);
  EXPECT_EQ(releases(), (std::vector<std::string>{"IDirectDrawSurface::Release(" + firstLabel + ")"}));
  EXPECT_EQ(graphic.width, 2);
  EXPECT_EQ(graphic.height, 5);
  EXPECT_EQ(colors(graphic.surface), colors(2, 5, otherColor));
  // A failing second load leaves the Graphic empty, with nothing held.
  EXPECT_FALSE(graphic.load("no-such-file.bmp"));
  EXPECT_EQ(graphic.surface, nullptr);
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
}

TEST_F(BitmapLoading, NamesOfFortyNineCharactersFitAndLongerOnesAreRefused) {
  TempFile exact = fileOfLength(49, 'n');
  ASSERT_EQ(exact.path().size(), 49u);
  exact.write(bmpFile(3, 2, otherColor));
  ASSERT_TRUE(graphic.load(exact.path().c_str(), &surfaces));
  EXPECT_EQ(std::string(graphic.fileName), exact.path());
  graphic.invert();
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(colors(graphic.surface), colors(3, 2, otherColor));

  IDirectDrawSurface *kept = graphic.surface;
  TempFile tooLong = fileOfLength(50, 'm');
  ASSERT_EQ(tooLong.path().size(), 50u);
  tooLong.write(bmpFile(1, 1, otherColor));
  layer::clearCalls();
  EXPECT_FALSE(graphic.load(tooLong.path().c_str()));
  EXPECT_EQ(std::string(graphic.fileName), exact.path());
  EXPECT_EQ(graphic.surface, kept);
  EXPECT_EQ(graphic.width, 3);
  EXPECT_TRUE(layer::calls().empty());
  EXPECT_FALSE(graphic.load(std::string(300, 'x').c_str()));
  EXPECT_FALSE(graphic.load(nullptr));
  EXPECT_EQ(std::string(graphic.fileName), exact.path());
}

TEST_F(BitmapLoading, RestoreRefillsTheSameSurfaceUndoingColourChanges) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  IDirectDrawSurface *surface = graphic.surface;
  graphic.invert();
  graphic.darken(0.5f);
  layer::loseSurface(surface);
  layer::clearCalls();
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(graphic.surface, surface);
  EXPECT_EQ(colors(surface), colors(4, 3, pictureColor));
  EXPECT_TRUE(layer::debugOutput().empty());
  // A resource first, then the file; the surface restored before it is drawn into.
  EXPECT_EQ(calls({"LoadImageA", "IDirectDrawSurface::Restore", "StretchBlt"}).size(), 4u);
  EXPECT_EQ(calls({"LoadImageA"}), (std::vector<std::string>{"LoadImageA(module, " + quoted() + ", 0, 0, 0, 0x2000)",
                                                             "LoadImageA(null, " + quoted() + ", 0, 0, 0, 0x2010)"}));
  EXPECT_EQ(calls({"IDirectDrawSurface::Restore", "StretchBlt"})[0].rfind("IDirectDrawSurface::Restore", 0), 0u);
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
  EXPECT_FALSE(layer::isSurfaceBusy(surface));
}

TEST_F(BitmapLoading, RestoreStretchesAResizedFileToTheOldSize) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  // Two columns of one row: the left half and the right half of the picture.
  file.write(bmpFile(2, 1, [](int x, int) { return x == 0 ? RGB(255, 0, 0) : RGB(0, 0, 255); }));
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(graphic.width, 4);
  EXPECT_EQ(graphic.height, 3);
  EXPECT_EQ(layer::readSurface(graphic.surface).width, 4);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(layer::readSurface(graphic.surface).color(x, y), x < 2 ? RGB(255, 0, 0) : RGB(0, 0, 255)) << x << y;
}

TEST_F(BitmapLoading, RestoreWithoutTheFileLeavesTheSurfaceAsItWas) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  graphic.invert();
  std::vector<uint8_t> inverted = rawBytes(graphic.surface);
  file.remove();
  layer::clearCalls();
  EXPECT_EQ(graphic.restore(), E_FAIL);
  EXPECT_EQ(layer::debugOutput(), (std::vector<std::string>{"handle is null\n"}));
  EXPECT_EQ(rawBytes(graphic.surface), inverted);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Restore"), 0u);
  // Lost, it stays lost: nothing restores it.
  layer::loseSurface(graphic.surface);
  EXPECT_EQ(graphic.restore(), E_FAIL);
  EXPECT_EQ(graphic.surface->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(layer::debugOutput().size(), 2u);
}

TEST_F(BitmapLoading, RestoringAnEmptyGraphicFails) {
  std::strcpy(graphic.fileName, file.path().c_str());
  EXPECT_EQ(graphic.restore(), E_FAIL);
  EXPECT_EQ(layer::debugOutput(), (std::vector<std::string>{"ddcopybitmap failed\n"}));
  file.remove();
  EXPECT_EQ(graphic.restore(), E_FAIL);
  EXPECT_EQ(layer::debugOutput().back(), "handle is null\n");
  Graphic fresh;
  EXPECT_EQ(fresh.restore(), E_FAIL);
  EXPECT_EQ(layer::debugOutput().back(), "handle is null\n");
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
}

TEST_F(BitmapLoading, RestoreWhoseGetDCFailsRestoresTheSurfaceOnly) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  graphic.invert();
  std::vector<uint8_t> inverted = rawBytes(graphic.surface);
  layer::loseSurface(graphic.surface);
  layer::injectFault("IDirectDrawSurface::GetDC", DDERR_CANTCREATEDC);
  EXPECT_EQ(graphic.restore(), DDERR_CANTCREATEDC);
  EXPECT_EQ(layer::debugOutput(), (std::vector<std::string>{"ddcopybitmap failed\n"}));
  EXPECT_EQ(graphic.surface->IsLost(), DD_OK);
  EXPECT_EQ(layer::countCalls("StretchBlt"), 0u);
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
}

TEST_F(BitmapLoading, RestoreWithoutAMemoryDCSaysSoAndCopiesNothing) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  graphic.invert();
  std::vector<uint32_t> inverted = colors(graphic.surface);
  layer::injectFault("CreateCompatibleDC", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(layer::debugOutput(), (std::vector<std::string>{"createcompatible dc failed\n"}));
  EXPECT_EQ(colors(graphic.surface), inverted);
  EXPECT_FALSE(layer::isSurfaceBusy(graphic.surface));
}

TEST_F(BitmapLoading, RestorePrefersABitmapResourceThatLoadIgnores) {
  layer::registerBitmapResource(file.path(), bmpFile(4, 3, otherColor));
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  EXPECT_EQ(colors(graphic.surface), colors(4, 3, pictureColor));
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(colors(graphic.surface), colors(4, 3, otherColor));
  EXPECT_EQ(layer::countCalls("LoadImageA"), 2u);  // the load's and the resource's
  // The resource is found even when the file has gone.
  file.remove();
  graphic.invert();
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(colors(graphic.surface), colors(4, 3, otherColor));
}

TEST_F(BitmapLoading, CopyBitmapRefusesNullsAndStretchesAPart) {
  ASSERT_TRUE(graphic.load(file.path().c_str(), &surfaces));
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, file.path().c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  ASSERT_NE(bitmap, nullptr);
  layer::clearCalls();
  EXPECT_EQ(copyBitmap(nullptr, bitmap, 0, 0, 0, 0), E_FAIL);
  EXPECT_EQ(copyBitmap(graphic.surface, nullptr, 0, 0, 0, 0), E_FAIL);
  EXPECT_TRUE(layer::calls().empty());
  // One source pixel (2, 1) over the whole surface.
  EXPECT_EQ(copyBitmap(graphic.surface, bitmap, 2, 1, 1, 1), DD_OK);
  EXPECT_EQ(colors(graphic.surface), std::vector<uint32_t>(12, pictureColor(2, 1)));
  DeleteObject(bitmap);
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
}

}  // namespace

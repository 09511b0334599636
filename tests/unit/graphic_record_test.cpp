// The Graphic record: its fields and their defaults, and what construction,
// reset and destruction do with the surface.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <optional>

#include "graphics/graphic.h"
#include "support/graphic_fixture.h"

namespace {

using graphictest::GraphicTest;

TEST(GraphicRecord, ANewGraphicIsEmpty) {
  Graphic graphic;
  EXPECT_EQ(graphic.owner, nullptr);
  EXPECT_EQ(graphic.surface, nullptr);
  EXPECT_FALSE(graphic.colorKeyEnabled);
  EXPECT_EQ(graphic.width, 0);
  EXPECT_EQ(graphic.height, 0);
  EXPECT_STREQ(graphic.fileName, "");
  EXPECT_EQ(graphic.colorKey, 0u);
  DDBLTFX expected;
  std::memset(&expected, 0, sizeof(expected));
  expected.dwSize = sizeof(DDBLTFX);
  EXPECT_EQ(std::memcmp(&graphic.bltFx, &expected, sizeof(DDBLTFX)), 0);
}

TEST(GraphicRecord, FieldsKeepTheirOrder) {
  static_assert(sizeof(Graphic::fileName) == 50);
  EXPECT_LT(offsetof(Graphic, owner), offsetof(Graphic, surface));
  EXPECT_LT(offsetof(Graphic, surface), offsetof(Graphic, fileName));
  EXPECT_LT(offsetof(Graphic, fileName), offsetof(Graphic, colorKeyEnabled));
  EXPECT_LT(offsetof(Graphic, colorKeyEnabled), offsetof(Graphic, width));
  EXPECT_LT(offsetof(Graphic, width), offsetof(Graphic, height));
  EXPECT_LT(offsetof(Graphic, height), offsetof(Graphic, bltFx));
  EXPECT_LT(offsetof(Graphic, bltFx), offsetof(Graphic, colorKey));
}

class GraphicLife : public GraphicTest {};

TEST_F(GraphicLife, DestroyingAnEmptyGraphicReleasesNothing) {
  useDisplay(24);
  layer::clearCalls();
  { Graphic empty; }
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Release"), 0u);
}

TEST_F(GraphicLife, DestroyingAGraphicReleasesItsSurfaceOnce) {
  useDisplay(24);
  std::optional<Graphic> held;
  held.emplace();
  held->owner = &surfaces;
  held->surface = newSurface(8, 8);
  extraSurfaces.clear();  // the Graphic owns it now
  const std::string label = layer::surfaceLabel(held->surface);
  ASSERT_EQ(layer::liveSurfaceCount(), 1);
  layer::clearCalls();
  held.reset();
  EXPECT_EQ(layer::callTexts({"IDirectDrawSurface::Release"}),
            (std::vector<std::string>{"IDirectDrawSurface::Release(" + label + ")"}));
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
  EXPECT_EQ(layer::countCalls("IDirectDraw::Release"), 0u);  // the owner's objects stay
}

TEST_F(GraphicLife, ResetForgetsWithoutReleasing) {
  useDisplay(24);
  IDirectDrawSurface *surface = attachSurface(4, 4);
  graphic.colorKeyEnabled = true;
  graphic.colorKey = 0x123456;
  std::strcpy(graphic.fileName, "kept.bmp");
  layer::clearCalls();
  graphic.reset();
  EXPECT_EQ(graphic.owner, nullptr);
  EXPECT_EQ(graphic.surface, nullptr);
  EXPECT_FALSE(graphic.colorKeyEnabled);
  EXPECT_EQ(graphic.colorKey, 0x123456u);
  EXPECT_STREQ(graphic.fileName, "kept.bmp");
  EXPECT_EQ(graphic.width, 4);
  EXPECT_TRUE(layer::calls().empty());
  EXPECT_EQ(layer::liveSurfaceCount(), 1);
  surface->Release();
}

}  // namespace

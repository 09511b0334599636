// The Graphic record: its defaults, and what reset and destruction do with
// the surface.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "graphics/graphic.h"
#include "support/graphic_fixture.h"

namespace {

class GraphicRecord : public graphictest::GraphicTest {};

TEST_F(GraphicRecord, ANewGraphicIsEmpty) {
  Graphic fresh;
  EXPECT_TRUE(fresh.owner == nullptr && fresh.surface == nullptr && !fresh.colorKeyEnabled);
  EXPECT_TRUE(fresh.width == 0 && fresh.height == 0 && fresh.colorKey == 0 && fresh.fileName[0] == '\0');
  DDBLTFX expected;
  std::memset(&expected, 0, sizeof(expected));
  expected.dwSize = sizeof(DDBLTFX);
  EXPECT_EQ(std::memcmp(&fresh.bltFx, &expected, sizeof(DDBLTFX)), 0);
}

TEST_F(GraphicRecord, DestructionReleasesTheSurfaceOnceAndResetReleasesNothing) {
  useDisplay(24);
  { Graphic empty; }
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Release"), 0u);

  std::optional<Graphic> held(std::in_place);
  held->owner = &surfaces;
  held->surface = newSurface(8, 8);
  extraSurfaces.clear();  // the Graphic owns it now
  const std::string label = layer::surfaceLabel(held->surface);
  held->colorKeyEnabled = true;
  IDirectDrawSurface *surface = held->surface;
  held->reset();
  EXPECT_TRUE(held->owner == nullptr && held->surface == nullptr && !held->colorKeyEnabled);
  EXPECT_EQ(layer::liveSurfaceCount(), 1);
  held->surface = surface;
  layer::clearCalls();
  held.reset();
  EXPECT_EQ(layer::callTexts({"IDirectDrawSurface::Release"}),
            (std::vector<std::string>{"IDirectDrawSurface::Release(" + label + ")"}));
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
}

}  // namespace

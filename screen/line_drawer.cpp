// Line drawing: one SetPixel a pixel on the back buffer's device context,
// without clipping of its own. Counters are 64-bit so that a line ending at
// the largest coordinate stops there.
#include "screen/line_drawer.h"

#include "graphics/display_surfaces.h"

void LineDrawer::init(DisplaySurfaces *owner) { this->owner = owner; }

void LineDrawer::drawVertical(int32_t y1, int32_t y2, int32_t x, COLORREF color) {
  if (!owner || !owner->backBuffer) return;
  HDC dc = nullptr;
  if (owner->backBuffer->GetDC(&dc) != DD_OK || !dc) return;  // nothing to draw on
  for (int64_t y = y1; y <= y2; ++y) SetPixel(dc, x, static_cast<int>(y), color);
  owner->backBuffer->ReleaseDC(dc);
}

void LineDrawer::drawHorizontal(int32_t x1, int32_t x2, int32_t y, COLORREF color) {
  if (!owner || !owner->backBuffer) return;
  HDC dc = nullptr;
  if (owner->backBuffer->GetDC(&dc) != DD_OK || !dc) return;
  for (int64_t x = x1; x <= x2; ++x) SetPixel(dc, static_cast<int>(x), y, color);
  owner->backBuffer->ReleaseDC(dc);
}

// One-pixel horizontal and vertical lines on the back buffer, one SetPixel a
// pixel, both ends included. A line whose first end lies beyond its second
// draws nothing; pixels off the surface are left to SetPixel to ignore.
#pragma once

#include <windows.h>

#include <cstdint>

class DisplaySurfaces;

class LineDrawer {
 public:
  DisplaySurfaces *owner = nullptr;  // not owned; lines land on its back buffer

  void init(DisplaySurfaces *owner);
  void drawVertical(int32_t y1, int32_t y2, int32_t x, COLORREF color);
  void drawHorizontal(int32_t x1, int32_t x2, int32_t y, COLORREF color);
};

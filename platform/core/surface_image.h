// A copy of a surface's or a presented frame's pixels, as tests read them.
// The headless host keeps its frames in this form; pixel() and color() come
// with the layer's test build (platform/testing/ddraw_test_api.cpp), which
// knows the display's current 16-bit layout.
#pragma once

#include <cstdint>
#include <vector>

namespace layer {

struct SurfaceImage {
  int width = 0, height = 0, pitch = 0, bitsPerPixel = 0;
  std::vector<uint8_t> bytes;          // height * pitch bytes, row 0 first
  uint32_t greenMask = 0;              // 16 bits: 0x3E0 is 5-5-5; 0 means the layer's current 16-bit display layout
  uint32_t pixel(int x, int y) const;  // raw pixel value
  uint32_t color(int x, int y) const;  // as COLORREF 0x00BBGGRR
};

}  // namespace layer

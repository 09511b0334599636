// Pixel layouts and pixel buffers shared by DirectDraw surfaces, GDI device
// contexts and DIB sections. A buffer is a view: it never owns its bytes.
#pragma once

#include <cstdint>

namespace layer {

// A layout by bit count and channel masks. Eight bits per pixel is palette
// indexed; every other layout is packed RGB, little-endian in memory.
struct PixelLayout {
  int bitsPerPixel = 0;
  uint32_t redMask = 0;
  uint32_t greenMask = 0;
  uint32_t blueMask = 0;

  int bytesPerPixel() const { return (bitsPerPixel + 7) / 8; }
  bool operator==(const PixelLayout &other) const = default;
};

// The layouts the layer offers for display modes and surfaces.
PixelLayout layout8();    // palette indexed
PixelLayout layout555();  // 15-bit, green mask 0x3E0
PixelLayout layout565();  // 16-bit, green mask 0x7E0
PixelLayout layout24();   // red in the byte at the lowest address (red mask 0x0000FF)
PixelLayout layout32();   // X8R8G8B8

struct PixelBuffer {
  uint8_t *bits = nullptr;  // first byte of the top row
  int width = 0;
  int height = 0;
  int pitch = 0;  // bytes from one row's start to the next
  PixelLayout layout;
  const uint32_t *palette = nullptr;  // 256 COLORREF-ordered entries for 8-bit buffers, may be null

  uint8_t *row(int y) const { return bits + static_cast<intptr_t>(y) * pitch; }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// A rectangle of pixels: left, top, right, bottom; right and bottom exclusive.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return left >= right || top >= bottom; }
  bool overlaps(const PixelRect &other) const {
    return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
  }
};

// Colours as 0x00BBGGRR (the platform's COLORREF order).
// Narrowing drops low bits; widening repeats the high bits so that full
// scale stays full scale.
uint32_t packColor(const PixelLayout &layout, uint32_t colorref);
uint32_t unpackColor(const PixelLayout &layout, uint32_t pixel, const uint32_t *palette = nullptr);

uint32_t readPixel(const PixelBuffer &buffer, int x, int y);               // raw pixel value
void writePixel(const PixelBuffer &buffer, int x, int y, uint32_t pixel);  // raw pixel value

// Index of the nearest palette entry to a colour (8-bit layouts).
uint8_t nearestPaletteIndex(const uint32_t *palette, uint32_t colorref);

// The layer's default 256-entry palette: entry 0 black, 255 white, a 6x6x6
// colour cube and a gray ramp in between.
const uint32_t *defaultPalette();

}  // namespace layer

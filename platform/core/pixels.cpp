#include "core/pixels.h"

#include "core/raw_pixel.h"

#include <array>
#include <bit>
#include <cstring>

namespace layer {

PixelLayout layout8() { return {8, 0, 0, 0}; }
PixelLayout layout555() { return {16, 0x7C00, 0x03E0, 0x001F}; }
PixelLayout layout565() { return {16, 0xF800, 0x07E0, 0x001F}; }
PixelLayout layout24() { return {24, 0x0000FF, 0x00FF00, 0xFF0000}; }
PixelLayout layout32() { return {32, 0xFF0000, 0x00FF00, 0x0000FF}; }

namespace {

// Narrow an 8-bit channel into a mask by dropping low bits.
uint32_t narrow(uint32_t value8, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  int bits = std::popcount(mask);
  uint32_t v = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
  return (v << shift) & mask;
}

// Widen a channel from a mask to 8 bits, repeating its high bits.
uint32_t widen(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  int bits = std::popcount(mask);
  uint32_t v = (pixel & mask) >> shift;
  if (bits >= 8) return v >> (bits - 8);
  uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << bits) | v;
    filled += bits;
  }
  return out >> (filled - 8);
}

}  // namespace

uint32_t packColor(const PixelLayout &layout, uint32_t colorref) {
  uint32_t r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
  // The layer's own layouts first: SetPixel packs a colour for every pixel.
  if (layout.bitsPerPixel == 24 && layout.redMask == 0x0000FF && layout.blueMask == 0xFF0000)
    return colorref & 0xFFFFFF;
  if (layout.bitsPerPixel == 32 && layout.redMask == 0xFF0000 && layout.blueMask == 0x0000FF)
    return (r << 16) | (g << 8) | b;
  if (layout.bitsPerPixel == 16 && layout.greenMask == 0x07E0 && layout.redMask == 0xF800)
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
  if (layout.bitsPerPixel == 8) return nearestPaletteIndex(defaultPalette(), colorref);
  return narrow(r, layout.redMask) | narrow(g, layout.greenMask) | narrow(b, layout.blueMask);
}

uint32_t unpackColor(const PixelLayout &layout, uint32_t pixel, const uint32_t *palette) {
  if (layout.bitsPerPixel == 24 && layout.redMask == 0x0000FF && layout.blueMask == 0xFF0000) return pixel & 0xFFFFFF;
  if (layout.bitsPerPixel == 32 && layout.redMask == 0xFF0000 && layout.blueMask == 0x0000FF)
    return ((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16);
  if (layout.bitsPerPixel == 8) return (palette ? palette : defaultPalette())[pixel & 0xFF];
  return widen(pixel, layout.redMask) | (widen(pixel, layout.greenMask) << 8) | (widen(pixel, layout.blueMask) << 16);
}

namespace {

// The pixel's address, or null for a layout that is not whole bytes of 1 to 4.
uint8_t *pixelAt(const PixelBuffer &buffer, int x, int y) {
  int bits = buffer.layout.bitsPerPixel;
  if (bits % 8 != 0 || bits < 8 || bits > 32) return nullptr;
  return buffer.row(y) + static_cast<intptr_t>(x) * buffer.layout.bytesPerPixel();
}

}  // namespace

uint32_t readPixel(const PixelBuffer &buffer, int x, int y) {
  const uint8_t *p = pixelAt(buffer, x, y);
  return p ? loadRaw(p, buffer.layout.bytesPerPixel()) : 0;
}

void writePixel(const PixelBuffer &buffer, int x, int y, uint32_t pixel) {
  if (uint8_t *p = pixelAt(buffer, x, y)) storeRaw(p, buffer.layout.bytesPerPixel(), pixel);
}

uint8_t nearestPaletteIndex(const uint32_t *palette, uint32_t colorref) {
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < 256; ++i) {
    long dr = long(palette[i] & 0xFF) - long(colorref & 0xFF);
    long dg = long((palette[i] >> 8) & 0xFF) - long((colorref >> 8) & 0xFF);
    long db = long((palette[i] >> 16) & 0xFF) - long((colorref >> 16) & 0xFF);
    long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return static_cast<uint8_t>(best);
}

const uint32_t *defaultPalette() {
  static const std::array<uint32_t, 256> palette = [] {
    std::array<uint32_t, 256> p{};
    int i = 0;
    p[i++] = 0x000000;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) {
          if (r == 0 && g == 0 && b == 0) continue;
          if (r == 5 && g == 5 && b == 5) continue;
          p[i++] = uint32_t(r * 51) | (uint32_t(g * 51) << 8) | (uint32_t(b * 51) << 16);
        }
    int grays = 255 - i;  // entries left before the final white
    for (int k = 1; i < 255; ++k) {
      uint32_t v = uint32_t(k * 255 / (grays + 1));
      p[i++] = v | (v << 8) | (v << 16);
    }
    p[255] = 0xFFFFFF;
    return p;
  }();
  return palette.data();
}

}  // namespace layer

#include "ddraw/layout_convert.h"

#include <cstring>

namespace layer::ddraw {
namespace {

// 24 bits with red and blue trading places: the one conversion made on every
// Lock of a 24-bit surface kept in GDI's order.
bool swapsRedAndBlue(const PixelLayout &a, const PixelLayout &b) {
  return a.bitsPerPixel == 24 && b.bitsPerPixel == 24 && a.redMask == b.blueMask && a.blueMask == b.redMask &&
         a.greenMask == b.greenMask;
}

}  // namespace

void convertPixels(const PixelBuffer &from, const PixelBuffer &to) {
  const size_t rowBytes = static_cast<size_t>(from.width) * from.layout.bytesPerPixel();
  for (int y = 0; y < from.height; ++y) {
    const uint8_t *in = from.row(y);
    uint8_t *out = to.row(y);
    if (from.layout == to.layout) {
      std::memcpy(out, in, rowBytes);
    } else if (swapsRedAndBlue(from.layout, to.layout)) {
      for (size_t i = 0; i < rowBytes; i += 3) {
        const uint8_t first = in[i];
        out[i + 1] = in[i + 1];
        out[i] = in[i + 2];
        out[i + 2] = first;
      }
    } else {
      for (int x = 0; x < from.width; ++x)
        writePixel(to, x, y, packColor(to.layout, unpackColor(from.layout, readPixel(from, x, y), from.palette)));
    }
  }
}

}  // namespace layer::ddraw

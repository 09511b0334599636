// The walk over a locked surface's pixels: every pixel unpacked into red,
// green and blue on a 0..255 scale, transformed, packed and stored in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/graphic.h"
#include "graphics/pixel_rows.h"

struct ColorKey {
  bool enabled = false;
  uint32_t value = 0;  // 0x00BBGGRR, compared in all 32 bits
};

// Bytes from one row's start to the next as the walk steps them: in the
// word layouts the skip beyond the row is counted in whole pixels,
// truncating, so a pitch that is not a multiple of the pixel size steps
// rows a little short of it.
ptrdiff_t rowStep(PixelFormat format, int32_t pitch, int32_t width);

// Applies op with the three amounts to every pixel of the rows; a pixel that
// matches an enabled key is left untouched. Formats other than the four
// supported ones change nothing.
void walkPixels(PixelFormat format, const PixelRows &rows, ColorOp op, float redAmount, float greenAmount,
                float blueAmount, ColorKey key);

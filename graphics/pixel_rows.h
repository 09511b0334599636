// Locked pixel memory as the walk sees it, and the plain loop over one row
// that puts each pixel through Graphic::transformPixel. The portable walk
// runs it over whole rows; the vector loops over the pixels left at a row's
// end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/graphic.h"

// Pixel memory as the lock gave it, with the extent of the walk.
struct PixelRows {
  uint8_t *first = nullptr;  // the first pixel
  int32_t pitch = 0;         // bytes from one row's start to the next, as locked
  int32_t width = 0;
  int32_t height = 0;
};

// Stands for every code outside the five operations.
constexpr ColorOp kUnknownOp = static_cast<ColorOp>(-1);

struct Amounts {
  float red, green, blue;
};

// One row in layout L; everything it reads comes by value, so that the
// stores into the row (bytes, which may alias anything) cannot change the
// loop's bounds.
template <class L, ColorOp Op>
[[gnu::always_inline]] inline void transformRow(uint8_t *row, int32_t width, Amounts amounts) {
  for (int32_t x = 0; x < width; ++x) {
    uint8_t *p = row + static_cast<ptrdiff_t>(x) * L::bytes;
    int32_t red, green, blue;
    uint32_t kept = L::unpack(p, red, green, blue);
    Graphic::transformPixel(Op, red, green, blue, amounts.red, amounts.green, amounts.blue);
    L::pack(p, kept, red, green, blue);
  }
}

template <class L, ColorOp Op>
[[gnu::always_inline]] inline void transformRows(const PixelRows &rows, ptrdiff_t step, Amounts amounts) {
  uint8_t *row = rows.first;
  const int32_t width = rows.width, height = rows.height;
  for (int32_t y = 0; y < height; ++y, row += step) transformRow<L, Op>(row, width, amounts);
}

// The walk's vector loops, for x86-64 processors with AVX2 (and AVX-512 for
// the 16-bit layouts' grayscale and channel maps), behind one entry. Built
// with gcc only (they use its vector builtins); elsewhere, or where the
// processor lacks AVX2, the entry declines and the portable loops run. All
// give the same pixels.
#pragma once

#include <cstddef>

#include "graphics/channel_maps.h"
#include "graphics/pixel_rows.h"

// What the walk does to every pixel: its channel maps, or where it has none
// (grayscale, invert in 24 and 32 bits, codes that change nothing) the
// operation itself.
struct RowWork {
  ColorOp op;
  const ChannelMaps *maps;  // null: op, pixel by pixel
};

// Does the work over the rows with vector instructions and returns true, or
// returns false having touched nothing.
bool walkRowsVector(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const RowWork &work);

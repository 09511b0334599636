// DirectDraw's software blitter: colour fills and nearest-neighbour
// stretching copies between pixel buffers, with an optional source colour
// key. Rectangles are checked by the caller; these functions trust them.
//
// Speed: a stretch precomputes one source offset per destination column,
// writes each distinct destination row once and copies rows that map to the
// same source row with memcpy; a copy whose width is not scaled is a memcpy
// per row. On x86-64 with SSSE3, rows of enlargements and mild shrinks are
// gathered 16 destination bytes at a time by byte shuffles.
#pragma once

#include <cstdint>

#include "core/pixels.h"

namespace layer::ddraw {

// The source index that destination index i (0-based) of a stretch from
// `sourceSize` onto `destSize` takes: floor((i + 0.5) * sourceSize / destSize),
// exactly, in integers.
inline int nearestSourceIndex(int i, int sourceSize, int destSize) {
  return static_cast<int>(((2 * static_cast<int64_t>(i) + 1) * sourceSize) / (2 * static_cast<int64_t>(destSize)));
}

// The bits of a raw pixel value that a layout's depth holds.
uint32_t depthMask(const PixelLayout &layout);

// Writes a raw pixel value (already masked) into every pixel of `rect`.
void fillPixels(const PixelBuffer &dest, const PixelRect &rect, uint32_t pixel);

// Stretches `sourceRect` of `source` onto `destRect` of `dest`, nearest
// neighbour. With `sourceKey`, source pixels whose raw value equals *sourceKey
// are skipped. Buffers of differing layouts are converted pixel by pixel
// through COLORREF (the key still compares raw source values). The two
// rectangles must not share memory: copy an overlapping source first.
void stretchPixels(const PixelBuffer &dest, const PixelRect &destRect, const PixelBuffer &source,
                   const PixelRect &sourceRect, const uint32_t *sourceKey);

}  // namespace layer::ddraw

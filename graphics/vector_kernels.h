// The vector loops behind walkRowsVector, for its files alone. Each runs
// over whole rows and leaves each row's last pixels to the portable loops.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define CORVANE_VECTOR_LOOPS 1

#include <cstddef>
#include <cstdint>

#include "graphics/channel_maps.h"
#include "graphics/pixel_rows.h"

namespace vectorLoops {

typedef char Bytes32 __attribute__((vector_size(32)));
typedef uint8_t UnsignedBytes32 __attribute__((vector_size(32)));
typedef uint16_t Words16 __attribute__((vector_size(32)));
typedef short Shorts16 __attribute__((vector_size(32)));
typedef int Lanes8 __attribute__((vector_size(32)));
typedef long long Quads __attribute__((vector_size(32)));
typedef long long Halves __attribute__((vector_size(16)));

// Calls block(p) on each whole block of `Pixels` pixels (`Bytes` bytes) of
// every row, and tail(p, count) on the pixels left at the row's end. The
// bounds are read once, so that stores into the rows cannot change them.
template <int Pixels, int Bytes, class Block, class Tail>
[[gnu::target("avx2"), gnu::always_inline]] inline void eachBlock(const PixelRows &rows, ptrdiff_t step, Block block,
                                                                  Tail tail) {
  uint8_t *row = rows.first;
  const int32_t width = rows.width, height = rows.height;
  for (int32_t y = 0; y < height; ++y, row += step) {
    uint8_t *p = row;
    int32_t x = 0;
    for (; x + Pixels <= width; x += Pixels, p += Bytes) block(p);
    tail(p, width - x);
  }
}

// floor(sum * kEighthOfThird / 65536) is sum / 3 / 8: the average's top five
// bits, which are all that the 16-bit layouts keep of it.
constexpr unsigned short kEighthOfThird = 2731;
constexpr bool eighthOfThirdByMultiplyExact() {
  for (int sum = 0; sum <= 3 * 255; ++sum)
    if ((sum * kEighthOfThird) >> 16 != sum / 3 / 8) return false;
  return true;
}
static_assert(eighthOfThirdByMultiplyExact());

// Grayscale in every layout.
void grayscale(PixelFormat format, const PixelRows &rows, ptrdiff_t step);
// Channel maps in the 24- and 32-bit layouts, by byte position.
void mapByteRows(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const BytePositions &positions);
// Channel maps in the 16-bit layouts, by field. With avx512, maps that do
// more than keep or complement fields are looked up by mapWordRowsAvx512.
void mapWordRows(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const FieldTables &tables, bool avx512);

// The 16-bit layouts with AVX-512 (F, BW and VL): channel maps and grayscale.
void mapWordRowsAvx512(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const FieldTables &tables);
void grayscaleWordsAvx512(PixelFormat format, const PixelRows &rows, ptrdiff_t step);

}  // namespace vectorLoops

#endif

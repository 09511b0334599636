// The surface walk, specialised per layout and operation so that
// Graphic::transformPixel inlines into each row loop and the loops
// vectorise; an AVX2 build of each loop is chosen at run time where the
// processor has it.
#include "graphics/pixel_walk.h"

#include <type_traits>

#include "graphics/channel_maps.h"
#include "graphics/cpu_features.h"
#include "graphics/pixel_layouts.h"

namespace {

using namespace pixelLayouts;

struct Amounts {
  float red, green, blue;
};

// Stands for every code outside the five operations.
constexpr ColorOp kUnknownOp = static_cast<ColorOp>(-1);

// One row; everything it reads comes by value, so that the stores into the
// row (bytes, which may alias anything) cannot change the loop's bounds.
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

// The colour-key walk is rare (nothing in the viewer turns the key on), so
// it stays plain: one loop for every operation.
template <class L>
void transformKeyedRows(const PixelRows &rows, ptrdiff_t step, ColorOp op, Amounts amounts, uint32_t key) {
  uint8_t *row = rows.first;
  for (int32_t y = 0; y < rows.height; ++y, row += step) {
    for (int32_t x = 0; x < rows.width; ++x) {
      uint8_t *p = row + static_cast<ptrdiff_t>(x) * L::bytes;
      int32_t red, green, blue;
      uint32_t kept = L::unpack(p, red, green, blue);
      uint32_t color =
          (static_cast<uint32_t>(blue) << 16) | (static_cast<uint32_t>(green) << 8) | static_cast<uint32_t>(red);
      if (color == key) continue;
      Graphic::transformPixel(op, red, green, blue, amounts.red, amounts.green, amounts.blue);
      L::pack(p, kept, clampChannel(red), clampChannel(green), clampChannel(blue));
    }
  }
}

using RowsFunction = void (*)(const PixelRows &, ptrdiff_t, Amounts);

template <class L, ColorOp Op>
void transformPlain(const PixelRows &rows, ptrdiff_t step, Amounts amounts) {
  transformRows<L, Op>(rows, step, amounts);
}

#ifdef CORVANE_X86_AVX2
template <class L, ColorOp Op>
[[gnu::target("avx2")]] void transformAvx2(const PixelRows &rows, ptrdiff_t step, Amounts amounts) {
  transformRows<L, Op>(rows, step, amounts);
}

// Grayscale in the byte layouts by byte shuffles: each pixel's three
// channel bytes summed by multiply-adds, the sum divided by 3 by a high-half
// multiply and the average copied back into the three channel bytes.
typedef char Bytes32 __attribute__((vector_size(32)));
typedef short Words16 __attribute__((vector_size(32)));
typedef int Lanes8 __attribute__((vector_size(32)));
typedef long long Quads __attribute__((vector_size(32)));
typedef long long Halves __attribute__((vector_size(16)));

// floor(sum * kThird / 65536) is sum / 3 for every sum of three channels.
constexpr short kThird = 21846;
constexpr bool thirdByMultiplyExact() {
  for (int sum = 0; sum <= 3 * 255; ++sum)
    if ((sum * kThird) >> 16 != sum / 3) return false;
  return true;
}
static_assert(thirdByMultiplyExact());

// Eight pixels of 32 bits into lanes holding each one's average in the low
// byte.
[[gnu::target("avx2"), gnu::always_inline]] inline Lanes8 laneAverages(Bytes32 pixels) {
  const Bytes32 channels = {1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0,
                            1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0};
  Words16 pairs = __builtin_ia32_pmaddubsw256(pixels, channels);
  Lanes8 sums = __builtin_ia32_pmaddwd256(pairs, Words16{} + 1);
  return reinterpret_cast<Lanes8>(__builtin_ia32_pmulhuw256(reinterpret_cast<Words16>(sums), Words16{} + kThird));
}

[[gnu::target("avx2")]] void grayscale32Avx2(const PixelRows &rows, ptrdiff_t step, Amounts amounts) {
  // The average into bytes 0..2 of its lane, 0 into byte 3.
  const Bytes32 spread = {0, 0, 0, -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128,
                          0, 0, 0, -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128};
  uint8_t *row = rows.first;
  const int32_t width = rows.width, height = rows.height;
  for (int32_t y = 0; y < height; ++y, row += step) {
    uint8_t *p = row;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8, p += 32) {
      Bytes32 pixels;
      __builtin_memcpy(&pixels, p, sizeof(pixels));
      Bytes32 gray = __builtin_ia32_pshufb256(reinterpret_cast<Bytes32>(laneAverages(pixels)), spread);
      Lanes8 result = reinterpret_cast<Lanes8>(gray) | (reinterpret_cast<Lanes8>(pixels) & int(0xFF000000u));
      __builtin_memcpy(p, &result, sizeof(result));
    }
    transformRow<Layout32, ColorOp::Grayscale>(p, width - x, amounts);
  }
}

// Sixteen 3-byte pixels, the 48 bytes at p: the halves of two vectors hold
// bytes 0..15 and 24..39, and 8..23 and 32..47, from which byte shuffles
// gather each pixel's first two channels into a 16-bit word and its third
// into the low byte of another; the averages, one byte per pixel in both
// halves, are spread to three bytes each.
[[gnu::target("avx2"), gnu::always_inline]] inline void grayscale24Block(uint8_t *p) {
  const Bytes32 firstTwo = {0, 1, 3, 4, 6, 7, 9, 10, 12, 13, -128, -128, -128, -128, -128, -128,
                            0, 1, 3, 4, 6, 7, 9, 10, 12, 13, -128, -128, -128, -128, -128, -128};
  const Bytes32 third = {2, -128, 5, -128, 8, -128, 11, -128, 14, -128, -128, -128, -128, -128, -128, -128,
                         2, -128, 5, -128, 8, -128, 11, -128, 14, -128, -128, -128, -128, -128, -128, -128};
  const Bytes32 lastTwo = {-128, -128, -128, -128, -128, -128, -128, -128, -128, -128, 7, 8, 10, 11, 13, 14,
                           -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, 7, 8, 10, 11, 13, 14};
  const Bytes32 lastThird = {-128, -128, -128, -128, -128, -128, -128, -128, -128, -128, 9, -128, 12, -128, 15, -128,
                             -128, -128, -128, -128, -128, -128, -128, -128, -128, -128, 9, -128, 12, -128, 15, -128};
  const Bytes32 spreadLow = {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4,  5,
                             5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10};
  const Bytes32 spreadHigh = {10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15,
                              10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15};
  Halves a, b, c, d;
  __builtin_memcpy(&a, p, sizeof(a));
  __builtin_memcpy(&b, p + 24, sizeof(b));
  __builtin_memcpy(&c, p + 8, sizeof(c));
  __builtin_memcpy(&d, p + 32, sizeof(d));
  Bytes32 early = reinterpret_cast<Bytes32>(__builtin_shufflevector(a, b, 0, 1, 2, 3));
  Bytes32 late = reinterpret_cast<Bytes32>(__builtin_shufflevector(c, d, 0, 1, 2, 3));
  Bytes32 pairs = __builtin_ia32_pshufb256(early, firstTwo) | __builtin_ia32_pshufb256(late, lastTwo);
  Bytes32 singles = __builtin_ia32_pshufb256(early, third) | __builtin_ia32_pshufb256(late, lastThird);
  Words16 sums = __builtin_ia32_pmaddubsw256(pairs, Bytes32{} + 1) + reinterpret_cast<Words16>(singles);
  Words16 averages = __builtin_ia32_pmulhuw256(sums, Words16{} + kThird);
  Quads packed = reinterpret_cast<Quads>(__builtin_ia32_packuswb256(averages, averages));
  Bytes32 all = reinterpret_cast<Bytes32>(Quads{packed[0], packed[2], packed[0], packed[2]});
  Bytes32 low = __builtin_ia32_pshufb256(all, spreadLow);
  Quads high = reinterpret_cast<Quads>(__builtin_ia32_pshufb256(all, spreadHigh));
  Halves last = {high[0], high[1]};
  __builtin_memcpy(p, &low, sizeof(low));
  __builtin_memcpy(p + 32, &last, sizeof(last));
}

[[gnu::target("avx2")]] void grayscale24Avx2(const PixelRows &rows, ptrdiff_t step, Amounts amounts) {
  uint8_t *row = rows.first;
  const int32_t width = rows.width, height = rows.height;
  for (int32_t y = 0; y < height; ++y, row += step) {
    uint8_t *p = row;
    int32_t x = 0;
    for (; x + 16 <= width; x += 16, p += 48) grayscale24Block(p);
    transformRow<Layout24, ColorOp::Grayscale>(p, width - x, amounts);
  }
}
#endif

template <class L, ColorOp Op>
RowsFunction pickRows() {
#ifdef CORVANE_X86_AVX2
  if (useAvx2()) {
    if constexpr (Op == ColorOp::Grayscale && std::is_same_v<L, Layout32>) return grayscale32Avx2;
    if constexpr (Op == ColorOp::Grayscale && std::is_same_v<L, Layout24>) return grayscale24Avx2;
    return transformAvx2<L, Op>;
  }
#endif
  return transformPlain<L, Op>;
}

// Only the operations that byChannelMaps leaves to the walk get a loop of
// their own: grayscale, invert and the codes that change nothing.
template <class L>
RowsFunction pickRowsForOp(ColorOp op) {
  switch (op) {
    case ColorOp::Grayscale:
      return pickRows<L, ColorOp::Grayscale>();
    case ColorOp::Invert:
      return pickRows<L, ColorOp::Invert>();
    default:
      return pickRows<L, kUnknownOp>();
  }
}

template <class L>
void walkLayout(const PixelRows &rows, ptrdiff_t step, ColorOp op, Amounts amounts, ColorKey key) {
  if (key.enabled) {
    transformKeyedRows<L>(rows, step, op, amounts, key.value);
    return;
  }
  pickRowsForOp<L>(op)(rows, step, amounts);
}

bool isFiveOps(ColorOp op) { return static_cast<uint32_t>(op) <= static_cast<uint32_t>(ColorOp::AddColor); }

// Which operations go by channel maps: every one whose channels are
// independent, but for invert and the codes that change nothing in the byte
// layouts, whose loops cost no more than a copy.
bool byChannelMaps(PixelFormat format, ColorOp op) {
  if (!channelsIndependent(op)) return false;
  if (format == PixelFormat::Rgb555 || format == PixelFormat::Rgb565) return true;
  return op != ColorOp::Invert && isFiveOps(op);
}

}  // namespace

ptrdiff_t rowStep(PixelFormat format, int32_t pitch, int32_t width) {
  switch (format) {
    case PixelFormat::Rgb555:
    case PixelFormat::Rgb565:
      return (static_cast<ptrdiff_t>(width) + (static_cast<ptrdiff_t>(pitch) - 2 * ptrdiff_t{width}) / 2) * 2;
    case PixelFormat::Rgb24:
      return pitch;
    case PixelFormat::Rgb32:
      return (static_cast<ptrdiff_t>(width) + (static_cast<ptrdiff_t>(pitch) - 4 * ptrdiff_t{width}) / 4) * 4;
    case PixelFormat::Unsupported:
      break;
  }
  return 0;
}

void walkPixels(PixelFormat format, const PixelRows &rows, ColorOp op, float redAmount, float greenAmount,
                float blueAmount, ColorKey key) {
  if (rows.first == nullptr || rows.width <= 0 || rows.height <= 0) return;
  ptrdiff_t step = rowStep(format, rows.pitch, rows.width);
  if (!key.enabled && byChannelMaps(format, op)) {
    ChannelMaps maps;
    buildChannelMaps(op, redAmount, greenAmount, blueAmount, maps);
    mapPixels(format, rows, step, maps);
    return;
  }
  Amounts amounts{redAmount, greenAmount, blueAmount};
  switch (format) {
    case PixelFormat::Rgb555:
      walkLayout<Layout555>(rows, step, op, amounts, key);
      break;
    case PixelFormat::Rgb565:
      walkLayout<Layout565>(rows, step, op, amounts, key);
      break;
    case PixelFormat::Rgb24:
      walkLayout<Layout24>(rows, step, op, amounts, key);
      break;
    case PixelFormat::Rgb32:
      walkLayout<Layout32>(rows, step, op, amounts, key);
      break;
    case PixelFormat::Unsupported:
      break;
  }
}

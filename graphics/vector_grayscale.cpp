// Grayscale with AVX2. Channels are summed and the sum divided by 3 with a
// high-half multiply, exact for every sum (checked at compile time). In the
// byte layouts pixels are gathered and the average spread back by byte
// shuffles; in the 16-bit layouts each field is unpacked and widened as the
// walk does, and the average packed into all three fields by one multiply.
#include "graphics/pixel_layouts.h"
#include "graphics/vector_kernels.h"

#ifdef CORVANE_VECTOR_LOOPS

namespace vectorLoops {
namespace {

using namespace pixelLayouts;

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
  Shorts16 pairs = __builtin_ia32_pmaddubsw256(pixels, channels);
  Lanes8 sums = __builtin_ia32_pmaddwd256(pairs, Shorts16{} + 1);
  return reinterpret_cast<Lanes8>(__builtin_ia32_pmulhuw256(reinterpret_cast<Shorts16>(sums), Shorts16{} + kThird));
}

[[gnu::target("avx2")]] void grayscale32Avx2(const PixelRows &rows, ptrdiff_t step) {
  // The average into bytes 0..2 of its lane, 0 into byte 3.
  const Bytes32 spread = {0, 0, 0, -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128,
                          0, 0, 0, -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128};
  eachBlock<8, 32>(
      rows, step,
      [&](uint8_t * p) __attribute__((target("avx2"), always_inline)) {
        Bytes32 pixels;
        __builtin_memcpy(&pixels, p, sizeof(pixels));
        Bytes32 gray = __builtin_ia32_pshufb256(reinterpret_cast<Bytes32>(laneAverages(pixels)), spread);
        Lanes8 result = reinterpret_cast<Lanes8>(gray) | (reinterpret_cast<Lanes8>(pixels) & int(0xFF000000u));
        __builtin_memcpy(p, &result, sizeof(result));
      },
      [&](uint8_t *p, int32_t count) { transformRow<Layout32, ColorOp::Grayscale>(p, count, Amounts{}); });
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
  Shorts16 sums = __builtin_ia32_pmaddubsw256(pairs, Bytes32{} + 1) + reinterpret_cast<Shorts16>(singles);
  Shorts16 averages = __builtin_ia32_pmulhuw256(sums, Shorts16{} + kThird);
  Quads packed = reinterpret_cast<Quads>(__builtin_ia32_packuswb256(averages, averages));
  Bytes32 all = reinterpret_cast<Bytes32>(Quads{packed[0], packed[2], packed[0], packed[2]});
  Bytes32 low = __builtin_ia32_pshufb256(all, spreadLow);
  Quads high = reinterpret_cast<Quads>(__builtin_ia32_pshufb256(all, spreadHigh));
  Halves last = {high[0], high[1]};
  __builtin_memcpy(p, &low, sizeof(low));
  __builtin_memcpy(p + 32, &last, sizeof(last));
}

[[gnu::target("avx2")]] void grayscale24Avx2(const PixelRows &rows, ptrdiff_t step) {
  eachBlock<16, 48>(
      rows, step, [](uint8_t * p) __attribute__((target("avx2"), always_inline)) { grayscale24Block(p); },
      [](uint8_t *p, int32_t count) { transformRow<Layout24, ColorOp::Grayscale>(p, count, Amounts{}); });
}

// A field of L's unpacking widened as expand() does: 0 stays 0, anything
// else gets its three low bits set. A five-bit field's value is a multiple
// of 8, so its minimum with 7 is the bits to set; six-bit green's may be 4,
// so green takes the minimum of twice its value.
[[gnu::target("avx2"), gnu::always_inline]] inline Words16 widened(Words16 value, Words16 test) {
  return value | reinterpret_cast<Words16>(__builtin_ia32_pminuw256(reinterpret_cast<Shorts16>(test), Shorts16{} + 7));
}

template <class L>
[[gnu::target("avx2")]] void grayscaleWordsAvx2(const PixelRows &rows, ptrdiff_t step) {
  constexpr int redShift = L::redField - 3, greenShift = L::greenField + L::greenBits - 8;
  constexpr unsigned short greenMask = L::greenBits == 6 ? 0xFC : 0xF8;
  // The average's five bits into each field at once.
  constexpr unsigned short spread = (1u << L::redField) | (1u << (greenShift + 3)) | 1u;
  // Hidden from the optimiser, which would otherwise turn the one multiply
  // into four shifts and adds.
  Words16 spreadAll = Words16{} + spread;
  __asm__("" : "+x"(spreadAll));
  eachBlock<16, 32>(
      rows, step,
      [&](uint8_t * p) __attribute__((target("avx2"), always_inline)) {
        Words16 word;
        __builtin_memcpy(&word, p, sizeof(word));
        const Words16 red = (word >> redShift) & 0xF8, green = (word >> greenShift) & greenMask,
                      blue = (word << 3) & 0xF8;
        const Words16 sum =
            widened(red, red) + widened(green, L::greenBits == 6 ? green + green : green) + widened(blue, blue);
        const Shorts16 top =
            __builtin_ia32_pmulhuw256(reinterpret_cast<Shorts16>(sum), Shorts16{} + static_cast<short>(kEighthOfThird));
        const Words16 gray = reinterpret_cast<Words16>(top) * spreadAll;
        __builtin_memcpy(p, &gray, sizeof(gray));
      },
      [&](uint8_t *p, int32_t count) { transformRow<L, ColorOp::Grayscale>(p, count, Amounts{}); });
}

}  // namespace

void grayscale(PixelFormat format, const PixelRows &rows, ptrdiff_t step) {
  switch (format) {
    case PixelFormat::Rgb555:
      return grayscaleWordsAvx2<Layout555>(rows, step);
    case PixelFormat::Rgb565:
      return grayscaleWordsAvx2<Layout565>(rows, step);
    case PixelFormat::Rgb24:
      return grayscale24Avx2(rows, step);
    case PixelFormat::Rgb32:
      return grayscale32Avx2(rows, step);
    case PixelFormat::Unsupported:
      break;
  }
}

}  // namespace vectorLoops

#endif

// The surface walk, specialised per layout and operation so that
// Graphic::transformPixel inlines into each row loop and the loops
// vectorise; an AVX2 build of each loop is chosen at run time where the
// processor has it.
#include "graphics/pixel_walk.h"

#include <cstring>

namespace {

// A 5- or 6-bit field widened to 0..255 sets its three low bits, but 0 stays 0.
inline int32_t expand(int32_t value) { return value != 0 ? value | 7 : 0; }

inline uint32_t load16(const uint8_t *p) {
  uint16_t word;
  std::memcpy(&word, p, sizeof(word));
  return word;
}
inline void store16(uint8_t *p, uint32_t value) {
  uint16_t word = static_cast<uint16_t>(value);
  std::memcpy(p, &word, sizeof(word));
}
inline uint32_t load32(const uint8_t *p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof(word));
  return word;
}
inline void store32(uint8_t *p, uint32_t value) { std::memcpy(p, &value, sizeof(value)); }

// Each layout unpacks a pixel into channels (plus bits it must keep) and
// packs channels back.

// The two 16-bit layouts differ only in where red and green sit and in how
// many bits green has: 5-5-5 is <7, 2, 0xF8>, 5-6-5 is <8, 3, 0xFC>. Bit 15
// of 5-5-5 is not kept, and green is packed from five bits in both, so the
// lowest green bit of 5-6-5 is written as 0.
template <int RedShift, int GreenShift, uint32_t GreenMask>
struct WordLayout {
  static constexpr int bytes = 2;
  static uint32_t unpack(const uint8_t *p, int32_t &red, int32_t &green, int32_t &blue) {
    uint32_t word = load16(p);
    red = expand((word >> RedShift) & 0xF8);
    green = expand((word >> GreenShift) & GreenMask);
    blue = expand((word & 0x1F) << 3);
    return 0;
  }
  static void pack(uint8_t *p, uint32_t, int32_t red, int32_t green, int32_t blue) {
    store16(p, ((red & 0xF8) << RedShift) | ((green & 0xF8) << GreenShift) | (blue >> 3));
  }
};
using Layout555 = WordLayout<7, 2, 0xF8>;
using Layout565 = WordLayout<8, 3, 0xFC>;

struct Layout24 {
  static constexpr int bytes = 3;
  static uint32_t unpack(const uint8_t *p, int32_t &red, int32_t &green, int32_t &blue) {
    red = p[0];
    green = p[1];
    blue = p[2];
    return 0;
  }
  static void pack(uint8_t *p, uint32_t, int32_t red, int32_t green, int32_t blue) {
    p[0] = static_cast<uint8_t>(red);
    p[1] = static_cast<uint8_t>(green);
    p[2] = static_cast<uint8_t>(blue);
  }
};

struct Layout32 {
  static constexpr int bytes = 4;
  static uint32_t unpack(const uint8_t *p, int32_t &red, int32_t &green, int32_t &blue) {
    uint32_t word = load32(p);
    red = (word >> 16) & 0xFF;
    green = (word >> 8) & 0xFF;
    blue = word & 0xFF;
    return word & 0xFF000000u;  // the top byte goes back unchanged
  }
  static void pack(uint8_t *p, uint32_t top, int32_t red, int32_t green, int32_t blue) {
    store32(p, top | (static_cast<uint32_t>(red) << 16) | (static_cast<uint32_t>(green) << 8) |
                   static_cast<uint32_t>(blue));
  }
};

struct Amounts {
  float red, green, blue;
};

// Stands for every code outside the five operations.
constexpr ColorOp kUnknownOp = static_cast<ColorOp>(-1);

template <class L, ColorOp Op>
[[gnu::always_inline]] inline void transformRows(const PixelRows &rows, ptrdiff_t step, Amounts amounts) {
  uint8_t *row = rows.first;
  for (int32_t y = 0; y < rows.height; ++y, row += step) {
    for (int32_t x = 0; x < rows.width; ++x) {
      uint8_t *p = row + static_cast<ptrdiff_t>(x) * L::bytes;
      int32_t red, green, blue;
      uint32_t kept = L::unpack(p, red, green, blue);
      Graphic::transformPixel(Op, red, green, blue, amounts.red, amounts.green, amounts.blue);
      L::pack(p, kept, red, green, blue);
    }
  }
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
      L::pack(p, kept, red, green, blue);
    }
  }
}

using RowsFunction = void (*)(const PixelRows &, ptrdiff_t, Amounts);

template <class L, ColorOp Op>
void transformPlain(const PixelRows &rows, ptrdiff_t step, Amounts amounts) {
  transformRows<L, Op>(rows, step, amounts);
}

#if defined(__GNUC__) && defined(__x86_64__)
#define CORVANE_HAVE_AVX2_WALK 1
template <class L, ColorOp Op>
[[gnu::target("avx2")]] void transformAvx2(const PixelRows &rows, ptrdiff_t step, Amounts amounts) {
  transformRows<L, Op>(rows, step, amounts);
}

bool processorHasAvx2() {
  static const bool hasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return hasAvx2;
}
#endif

template <class L, ColorOp Op>
RowsFunction pickRows() {
#ifdef CORVANE_HAVE_AVX2_WALK
  if (processorHasAvx2()) return transformAvx2<L, Op>;
#endif
  return transformPlain<L, Op>;
}

template <class L>
RowsFunction pickRowsForOp(ColorOp op) {
  switch (op) {
    case ColorOp::Grayscale:
      return pickRows<L, ColorOp::Grayscale>();
    case ColorOp::Brighten:
      return pickRows<L, ColorOp::Brighten>();
    case ColorOp::Darken:
      return pickRows<L, ColorOp::Darken>();
    case ColorOp::Invert:
      return pickRows<L, ColorOp::Invert>();
    case ColorOp::AddColor:
      return pickRows<L, ColorOp::AddColor>();
  }
  return pickRows<L, kUnknownOp>();
}

template <class L>
void walkLayout(const PixelRows &rows, ptrdiff_t step, ColorOp op, Amounts amounts, ColorKey key) {
  if (key.enabled) {
    transformKeyedRows<L>(rows, step, op, amounts, key.value);
    return;
  }
  pickRowsForOp<L>(op)(rows, step, amounts);
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

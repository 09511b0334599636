// The surface walk, specialised per layout and operation so that
// Graphic::transformPixel inlines into each row loop and the loops
// vectorise; an AVX2 build of each loop is chosen at run time where the
// processor has it.
#include "graphics/pixel_walk.h"

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
#endif

template <class L, ColorOp Op>
RowsFunction pickRows() {
#ifdef CORVANE_X86_AVX2
  if (useAvx2()) return transformAvx2<L, Op>;
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

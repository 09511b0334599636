// The one entry to the vector loops: asks the processor for AVX2 and
// AVX-512 once per walk, then picks the loop for the layout and the work.
// AVX-512 serves the 16-bit layouts' grayscale and channel maps; all else
// runs on AVX2.
#include "graphics/vector_loops.h"

#include <windows.h>

#include "graphics/pixel_layouts.h"
#include "graphics/vector_kernels.h"

#ifdef CORVANE_VECTOR_LOOPS

namespace {

using namespace pixelLayouts;

// The plain row loop built for AVX2, which the compiler vectorises.
template <class L, ColorOp Op>
[[gnu::target("avx2")]] void transformAvx2(const PixelRows &rows, ptrdiff_t step) {
  transformRows<L, Op>(rows, step, Amounts{});
}

// Invert and the codes that change nothing; grayscale has loops of its own.
template <class L>
void transformLayout(const PixelRows &rows, ptrdiff_t step, ColorOp op) {
  if (op == ColorOp::Invert) return transformAvx2<L, ColorOp::Invert>(rows, step);
  transformAvx2<L, kUnknownOp>(rows, step);
}

bool isWordFormat(PixelFormat format) { return format == PixelFormat::Rgb555 || format == PixelFormat::Rgb565; }

void transform(PixelFormat format, const PixelRows &rows, ptrdiff_t step, ColorOp op, bool avx512) {
  if (op == ColorOp::Grayscale && avx512 && isWordFormat(format))
    return vectorLoops::grayscaleWordsAvx512(format, rows, step);
  if (op == ColorOp::Grayscale) return vectorLoops::grayscale(format, rows, step);
  switch (format) {
    case PixelFormat::Rgb555:
      return transformLayout<Layout555>(rows, step, op);
    case PixelFormat::Rgb565:
      return transformLayout<Layout565>(rows, step, op);
    case PixelFormat::Rgb24:
      return transformLayout<Layout24>(rows, step, op);
    case PixelFormat::Rgb32:
      return transformLayout<Layout32>(rows, step, op);
    case PixelFormat::Unsupported:
      break;
  }
}

void map(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const ChannelMaps &maps, bool avx512) {
  FieldTables tables;
  switch (format) {
    case PixelFormat::Rgb555:
      buildFieldTables<Layout555>(maps, tables);
      return vectorLoops::mapWordRows(format, rows, step, tables, avx512);
    case PixelFormat::Rgb565:
      buildFieldTables<Layout565>(maps, tables);
      return vectorLoops::mapWordRows(format, rows, step, tables, avx512);
    case PixelFormat::Rgb24:
    case PixelFormat::Rgb32:
      return vectorLoops::mapByteRows(format, rows, step, positionsFor(format, maps));
    case PixelFormat::Unsupported:
      break;
  }
}

}  // namespace

bool walkRowsVector(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const RowWork &work) {
  if (format == PixelFormat::Unsupported || !IsProcessorFeaturePresent(PF_AVX2_INSTRUCTIONS_AVAILABLE)) return false;
  const bool avx512 = IsProcessorFeaturePresent(PF_AVX512F_INSTRUCTIONS_AVAILABLE);
  if (work.maps)
    map(format, rows, step, *work.maps, avx512);
  else
    transform(format, rows, step, work.op, avx512);
  return true;
}

#else

bool walkRowsVector(PixelFormat, const PixelRows &, ptrdiff_t, const RowWork &) { return false; }

#endif

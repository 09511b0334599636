// The one entry to the vector loops: asks the processor for AVX2 once per
// walk, then picks the loop for the layout and the work.
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

void transform(PixelFormat format, const PixelRows &rows, ptrdiff_t step, ColorOp op) {
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

void map(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const ChannelMaps &maps) {
  FieldTables tables;
  switch (format) {
    case PixelFormat::Rgb555:
      buildFieldTables<Layout555>(maps, tables);
      return vectorLoops::mapWordRows(format, rows, step, tables);
    case PixelFormat::Rgb565:
      buildFieldTables<Layout565>(maps, tables);
      return vectorLoops::mapWordRows(format, rows, step, tables);
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
  if (work.maps)
    map(format, rows, step, *work.maps);
  else
    transform(format, rows, step, work.op);
  return true;
}

#else

bool walkRowsVector(PixelFormat, const PixelRows &, ptrdiff_t, const RowWork &) { return false; }

#endif

// The surface walk: the colour-keyed loop; channel maps for the operations
// whose channels are independent; and for the rest a loop per layout and
// operation, specialised so that Graphic::transformPixel inlines into it.
// The vector loops take the work first wherever they have a loop for it.
#include "graphics/pixel_walk.h"

#include "graphics/channel_maps.h"
#include "graphics/pixel_layouts.h"
#include "graphics/vector_loops.h"

namespace {

using namespace pixelLayouts;

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

// Only the operations that byChannelMaps leaves to the walk get a loop of
// their own: grayscale, invert and the codes that change nothing.
template <class L>
void transformLayout(const PixelRows &rows, ptrdiff_t step, ColorOp op, Amounts amounts, ColorKey key) {
  if (key.enabled) return transformKeyedRows<L>(rows, step, op, amounts, key.value);
  switch (op) {
    case ColorOp::Grayscale:
      return transformRows<L, ColorOp::Grayscale>(rows, step, amounts);
    case ColorOp::Invert:
      return transformRows<L, ColorOp::Invert>(rows, step, amounts);
    default:
      return transformRows<L, kUnknownOp>(rows, step, amounts);
  }
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

int32_t pixelBytes(PixelFormat format) {
  switch (format) {
    case PixelFormat::Rgb555:
    case PixelFormat::Rgb565:
      return 2;
    case PixelFormat::Rgb24:
      return 3;
    case PixelFormat::Rgb32:
      return 4;
    case PixelFormat::Unsupported:
      break;
  }
  return 0;
}

}  // namespace

ptrdiff_t rowStep(PixelFormat format, int32_t pitch, int32_t width) {
  const ptrdiff_t bytes = pixelBytes(format);
  if (bytes == 0) return 0;
  if (format == PixelFormat::Rgb24) return pitch;
  return (static_cast<ptrdiff_t>(width) + (static_cast<ptrdiff_t>(pitch) - bytes * width) / bytes) * bytes;
}

void walkPixels(PixelFormat format, const PixelRows &rows, ColorOp op, float redAmount, float greenAmount,
                float blueAmount, ColorKey key) {
  if (rows.first == nullptr || rows.width <= 0 || rows.height <= 0) return;
  const ptrdiff_t step = rowStep(format, rows.pitch, rows.width);
  // Rows that abut are walked as one, so that the vector loops meet no row
  // ends between them.
  PixelRows walked = rows;
  if (rows.height > 1 && step == static_cast<ptrdiff_t>(rows.width) * pixelBytes(format) &&
      static_cast<int64_t>(rows.width) * rows.height <= INT32_MAX) {
    walked.width = rows.width * rows.height;
    walked.height = 1;
  }
  ChannelMaps maps;
  RowWork work{op, nullptr};
  if (!key.enabled) {
    if (byChannelMaps(format, op)) {
      buildChannelMaps(op, redAmount, greenAmount, blueAmount, maps);
      work.maps = &maps;
    }
    if (walkRowsVector(format, walked, step, work)) return;
    if (work.maps) return mapPixels(format, walked, step, maps);
  }
  const Amounts amounts{redAmount, greenAmount, blueAmount};
  switch (format) {
    case PixelFormat::Rgb555:
      return transformLayout<Layout555>(walked, step, op, amounts, key);
    case PixelFormat::Rgb565:
      return transformLayout<Layout565>(walked, step, op, amounts, key);
    case PixelFormat::Rgb24:
      return transformLayout<Layout24>(walked, step, op, amounts, key);
    case PixelFormat::Rgb32:
      return transformLayout<Layout32>(walked, step, op, amounts, key);
    case PixelFormat::Unsupported:
      break;
  }
}

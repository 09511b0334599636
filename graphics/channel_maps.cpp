// Building channel maps and applying them with portable loops: one table
// lookup per channel, by byte in the 24- and 32-bit layouts and by field in
// the 16-bit ones.
#include "graphics/channel_maps.h"

#include <cstring>

namespace {

using namespace pixelLayouts;

bool isIdentity(const uint8_t *map) {
  for (int i = 0; i < 256; ++i)
    if (map[i] != i) return false;
  return true;
}

template <class L>
void mapWordRows(const PixelRows &rows, ptrdiff_t step, const ChannelMaps &maps) {
  FieldTables tables;
  buildFieldTables<L>(maps, tables);
  uint8_t *row = rows.first;
  for (int32_t y = 0; y < rows.height; ++y, row += step) mapWords<L>(row, rows.width, tables);
}

template <int Period>
void mapByteRows(const PixelRows &rows, ptrdiff_t step, const BytePositions &positions) {
  uint8_t *row = rows.first;
  for (int32_t y = 0; y < rows.height; ++y, row += step) mapBytes<Period>(row, rows.width, positions);
}

}  // namespace

bool channelsIndependent(ColorOp op) { return op != ColorOp::Grayscale; }

void buildChannelMaps(ColorOp op, float redAmount, float greenAmount, float blueAmount, ChannelMaps &maps) {
  for (int32_t value = 0; value < 256; ++value) {
    int32_t red = value, green = value, blue = value;
    Graphic::transformPixel(op, red, green, blue, redAmount, greenAmount, blueAmount);
    maps.red[value] = static_cast<uint8_t>(clampChannel(red));
    maps.green[value] = static_cast<uint8_t>(clampChannel(green));
    maps.blue[value] = static_cast<uint8_t>(clampChannel(blue));
  }
}

BytePositions positionsFor(PixelFormat format, const ChannelMaps &maps) {
  BytePositions positions = format == PixelFormat::Rgb24
                                ? BytePositions{3, {maps.red, maps.green, maps.blue, nullptr}}
                                : BytePositions{4, {maps.blue, maps.green, maps.red, nullptr}};  // top byte kept
  for (int position = 0; position < positions.period; ++position) {
    const uint8_t *&map = positions.map[position];
    if (map == nullptr) continue;
    if (isIdentity(map)) {
      map = nullptr;
      continue;
    }
    for (int earlier = 0; earlier < position; ++earlier)
      if (positions.map[earlier] && std::memcmp(positions.map[earlier], map, 256) == 0) map = positions.map[earlier];
  }
  return positions;
}

void mapPixels(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const ChannelMaps &maps) {
  switch (format) {
    case PixelFormat::Rgb555:
      return mapWordRows<Layout555>(rows, step, maps);
    case PixelFormat::Rgb565:
      return mapWordRows<Layout565>(rows, step, maps);
    case PixelFormat::Rgb24:
      return mapByteRows<3>(rows, step, positionsFor(format, maps));
    case PixelFormat::Rgb32:
      return mapByteRows<4>(rows, step, positionsFor(format, maps));
    case PixelFormat::Unsupported:
      break;
  }
}

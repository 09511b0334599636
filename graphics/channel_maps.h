// Channel maps: for every operation but Grayscale a channel's new value
// depends only on its old value and its own amount, so each channel's 256
// possible values are put through Graphic::transformPixel once and the
// pixels are then changed by table. Every pixel gets exactly what
// transforming it one by one would give it. Here are the maps, the tables
// derived from them for each layout, and the portable loops that apply them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/graphic.h"
#include "graphics/pixel_layouts.h"
#include "graphics/pixel_rows.h"

struct ChannelMaps {
  uint8_t red[256];
  uint8_t green[256];
  uint8_t blue[256];
};

// True for the operations whose channels are transformed independently.
bool channelsIndependent(ColorOp op);

// Each channel's new value for every old one. Values outside 0..255 (only
// amounts outside the public ranges give them) are clamped.
void buildChannelMaps(ColorOp op, float redAmount, float greenAmount, float blueAmount, ChannelMaps &maps);

// Applies the maps to every pixel of the rows in the given layout, unpacking
// and packing each as the walk does.
void mapPixels(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const ChannelMaps &maps);

// ---- the 16-bit layouts: one table per field ----

// For each value of a field, the packed bits of its mapped channel. The
// packing of a pixel is the OR of its channels' packings.
struct FieldTables {
  uint16_t red[32];
  uint16_t green[64];
  uint16_t blue[32];
};

// Built through the layout's own unpacking and packing: a word holding only
// the one field is unpacked, its channel mapped and packed alone.
template <class L>
void buildFieldTables(const ChannelMaps &maps, FieldTables &tables) {
  using namespace pixelLayouts;
  uint8_t word[2];
  int32_t red, green, blue;
  tables = FieldTables{};  // 5-bit green leaves half its table unused: kept zero, so tables compare whole
  for (uint32_t field = 0; field < 32; ++field) {
    store16(word, field << L::redField);
    L::unpack(word, red, green, blue);
    L::pack(word, 0, maps.red[red], 0, 0);
    tables.red[field] = static_cast<uint16_t>(load16(word));
    store16(word, field);
    L::unpack(word, red, green, blue);
    L::pack(word, 0, 0, 0, maps.blue[blue]);
    tables.blue[field] = static_cast<uint16_t>(load16(word));
  }
  for (uint32_t field = 0; field < (1u << L::greenBits); ++field) {
    store16(word, field << L::greenField);
    L::unpack(word, red, green, blue);
    L::pack(word, 0, 0, maps.green[green], 0);
    tables.green[field] = static_cast<uint16_t>(load16(word));
  }
}

template <class L>
inline void mapWords(uint8_t *p, int32_t count, const FieldTables &tables) {
  using namespace pixelLayouts;
  constexpr uint32_t greenMask = (1u << L::greenBits) - 1;
  for (int32_t x = 0; x < count; ++x, p += 2) {
    uint32_t word = load16(p);
    store16(p, tables.red[(word >> L::redField) & 31] | tables.green[(word >> L::greenField) & greenMask] |
                   tables.blue[word & 31]);
  }
}

// ---- the byte layouts: one map per byte position ----

// The map for each byte of a pixel; null for a byte that is kept.
struct BytePositions {
  int period;  // bytes per pixel
  const uint8_t *map[4];
};

// Positions whose map changes nothing are kept as they are, and positions
// with equal maps share one, so that each distinct map is applied once.
BytePositions positionsFor(PixelFormat format, const ChannelMaps &maps);

template <int Period>
inline void mapBytes(uint8_t *p, ptrdiff_t pixels, const BytePositions &positions) {
  for (ptrdiff_t x = 0; x < pixels; ++x, p += Period)
    for (int position = 0; position < Period; ++position)
      if (const uint8_t *map = positions.map[position]) p[position] = map[p[position]];
}

// Applying channel maps: one table lookup per channel, by byte in the 24-
// and 32-bit layouts and by field in the 16-bit ones. With AVX2 the lookups
// run 32 bytes at a time through byte shuffles.
#include "graphics/channel_maps.h"

#include <algorithm>
#include <cstring>

#include "graphics/cpu_features.h"
#include "graphics/pixel_layouts.h"

namespace {

using namespace pixelLayouts;

// ---- the 16-bit layouts: one table per field ----

// For each value of a field, the packed bits of its mapped channel.
struct FieldTables {
  uint16_t red[32];
  uint16_t green[64];
  uint16_t blue[32];
};

// Built through the layout's own unpacking and packing: a word holding only
// the one field is unpacked, its channel mapped and packed alone. The
// packing of a pixel is the OR of its channels' packings.
template <class L>
void buildFieldTables(const ChannelMaps &maps, FieldTables &tables) {
  uint8_t word[2];
  int32_t red, green, blue;
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
  constexpr uint32_t greenMask = (1u << L::greenBits) - 1;
  for (int32_t x = 0; x < count; ++x, p += 2) {
    uint32_t word = load16(p);
    store16(p, tables.red[(word >> L::redField) & 31] | tables.green[(word >> L::greenField) & greenMask] |
                   tables.blue[word & 31]);
  }
}

template <class L>
void mapWordRows(const PixelRows &rows, ptrdiff_t step, const FieldTables &tables) {
  uint8_t *row = rows.first;
  for (int32_t y = 0; y < rows.height; ++y, row += step) mapWords<L>(row, rows.width, tables);
}

// ---- the byte layouts: one table per byte position ----

// The map for each byte of a pixel; null for a byte that is kept.
struct BytePositions {
  int period;  // bytes per pixel
  const uint8_t *map[4];
};

bool isIdentity(const uint8_t *map) {
  for (int i = 0; i < 256; ++i)
    if (map[i] != i) return false;
  return true;
}

// Positions whose map changes nothing are kept as they are, and positions
// with equal maps share one, so that each distinct map is applied once.
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

template <int Period>
inline void mapBytes(uint8_t *p, ptrdiff_t pixels, const BytePositions &positions) {
  for (ptrdiff_t x = 0; x < pixels; ++x, p += Period)
    for (int position = 0; position < Period; ++position)
      if (const uint8_t *map = positions.map[position]) p[position] = map[p[position]];
}

template <int Period>
void mapByteRows(const PixelRows &rows, ptrdiff_t step, const BytePositions &positions) {
  uint8_t *row = rows.first;
  for (int32_t y = 0; y < rows.height; ++y, row += step) mapBytes<Period>(row, rows.width, positions);
}

#ifdef CORVANE_X86_AVX2

typedef char Bytes32 __attribute__((vector_size(32)));
typedef uint8_t UnsignedBytes32 __attribute__((vector_size(32)));
typedef uint16_t Words16 __attribute__((vector_size(32)));

[[gnu::target("avx2"), gnu::always_inline]] inline Bytes32 broadcast(char value) {
  Bytes32 v;
  for (int i = 0; i < 32; ++i) v[i] = value;
  return v;
}

// A table of 16 × Chunks entries (at most 128) for lookups by byte shuffle.
// A shuffle looks up the low four bits of each index byte among 16 bytes,
// or gives 0 where the index has bit 7 set. An index x = 16H + l is looked
// up as the XOR over h of shuffle(chunk[h], x - 16h): for h <= H the index
// becomes 16(H - h) + l, below 128, and adds chunk[h][l]; for h > H it
// wraps to 256 - 16(h - H) + l, at least 144, and adds nothing. So
// chunk[H][l] holds entry 16H + l XORed with chunk[0..H-1][l]. Indexes that
// have bit 7 set from the start give 0.
template <int Chunks>
struct ShuffleTable {
  static_assert(Chunks >= 1 && Chunks <= 8);
  Bytes32 chunk[Chunks];

  template <class Entry>
  void prepare(Entry entry) {
    uint8_t below[16] = {};
    for (int h = 0; h < Chunks; ++h)
      for (int l = 0; l < 16; ++l) {
        uint8_t value = static_cast<uint8_t>(entry(16 * h + l) ^ below[l]);
        below[l] ^= value;
        chunk[h][l] = chunk[h][l + 16] = static_cast<char>(value);
      }
  }

  [[gnu::target("avx2"), gnu::always_inline]] inline Bytes32 lookup(Bytes32 index) const {
    Bytes32 result = __builtin_ia32_pshufb256(chunk[0], index);
    for (int h = 1; h < Chunks; ++h) {
      index = reinterpret_cast<Bytes32>(reinterpret_cast<UnsignedBytes32>(index) - 16);  // wraps, unsigned
      result ^= __builtin_ia32_pshufb256(chunk[h], index);
    }
    return result;
  }
};

// All 256 entries: the low and the high half looked up apart, the index's
// own bit 7 choosing between them.
struct ByteTable {
  ShuffleTable<8> low, high;

  void prepare(const uint8_t *map) {
    low.prepare([map](int i) { return map[i]; });
    high.prepare([map](int i) { return map[128 + i]; });
  }

  [[gnu::target("avx2"), gnu::always_inline]] inline Bytes32 lookup(Bytes32 index) const {
    return __builtin_ia32_pblendvb256(low.lookup(index), high.lookup(index ^ broadcast(char(0x80))), index);
  }
};

template <class L>
[[gnu::target("avx2")]] void mapWordRowsAvx2(const PixelRows &rows, ptrdiff_t step, const FieldTables &tables) {
  ShuffleTable<2> red, blue;
  ShuffleTable<(1 << L::greenBits) / 16> green;
  // Red is looked up in the word's high byte, blue and green in its low one.
  red.prepare([&](int field) { return tables.red[field] >> 8; });
  blue.prepare([&](int field) { return tables.blue[field]; });
  green.prepare([&](int field) { return tables.green[field] >> L::greenPacked; });
  constexpr uint16_t greenMask = (1u << L::greenBits) - 1;

  uint8_t *row = rows.first;
  for (int32_t y = 0; y < rows.height; ++y, row += step) {
    uint8_t *p = row;
    int32_t x = 0;
    for (; x + 16 <= rows.width; x += 16, p += 32) {
      Words16 word;
      __builtin_memcpy(&word, p, sizeof(word));
      // The other byte of each index has bit 7 set, so its lookup gives 0.
      Words16 blueIndex = (word & 0x1F) | 0xFF00;
      Words16 redIndex = ((word >> (L::redField - 8)) & 0x1F00) | 0x00FF;
      Words16 greenIndex = ((word >> L::greenField) & greenMask) | 0xFF00;
      Words16 mapped =
          reinterpret_cast<Words16>(blue.lookup(reinterpret_cast<Bytes32>(blueIndex))) |
          reinterpret_cast<Words16>(red.lookup(reinterpret_cast<Bytes32>(redIndex))) |
          (reinterpret_cast<Words16>(green.lookup(reinterpret_cast<Bytes32>(greenIndex))) << L::greenPacked);
      __builtin_memcpy(p, &mapped, sizeof(mapped));
    }
    mapWords<L>(p, rows.width - x, tables);
  }
}

typedef short Shorts16 __attribute__((vector_size(32)));

// A byte map that lies on a line, f(c) = base + floor((c * slope + offset) / 65536),
// as brightening and darkening maps do: applied with 16-bit multiplies it
// costs a third of a table lookup. The line is taken only when it gives
// every one of the 256 entries exactly.
struct LinearByteMap {
  bool valid = false;
  uint16_t slope = 0, offset = 0;
  uint8_t base = 0;

  // The search costs more than a small picture's walk, and the same few maps
  // come back press after press, so the last lines found are kept.
  void prepare(const uint8_t *map) {
    struct Found {
      uint8_t map[256];
      LinearByteMap line;
    };
    static Found found[4];
    static int count = 0, next = 0;
    for (int i = 0; i < count; ++i)
      if (std::memcmp(found[i].map, map, 256) == 0) {
        *this = found[i].line;
        return;
      }
    search(map);
    std::memcpy(found[next].map, map, 256);
    found[next].line = *this;
    next = (next + 1) % 4;
    count = std::max(count, next == 0 ? 4 : next);
  }

  void search(const uint8_t *map) {
    valid = false;
    const int64_t base0 = map[0];
    // The slopes that could fit, from the entries' distance to the first one.
    double low = 0.0, high = 1.0;
    for (int c = 1; c < 256; ++c) {
      low = std::max(low, (map[c] - base0 - 1.0) / c);
      high = std::min(high, (map[c] + 1.0 - base0) / c);
    }
    if (low > high) return;
    const int64_t first = static_cast<int64_t>(low * 65536.0) - 1, last = static_cast<int64_t>(high * 65536.0) + 1;
    if (last - first > 2048) return;
    // The slopes that fit lie together, most likely around the middle.
    const int64_t middle = (first + last) / 2;
    for (int64_t step = 0; step <= last - first + 2; ++step) {
      const int64_t p = middle + ((step & 1) ? (step + 1) / 2 : -(step / 2));
      if (p < 0 || p > 65535) continue;
      // The offsets that keep every entry in its unit step.
      int64_t lowest = 0, highest = 65535;
      for (int64_t c = 0; c < 256; ++c) {
        lowest = std::max(lowest, 65536 * (map[c] - base0) - c * p);
        highest = std::min(highest, 65536 * (map[c] + 1 - base0) - c * p - 1);
      }
      if (lowest > highest) continue;
      bool exact = true;
      for (int64_t c = 0; c < 256 && exact; ++c) exact = base0 + ((c * p + lowest) >> 16) == map[c];
      if (!exact) continue;
      slope = static_cast<uint16_t>(p);
      offset = static_cast<uint16_t>(lowest);
      base = static_cast<uint8_t>(base0);
      valid = true;
      return;
    }
  }

  [[gnu::target("avx2"), gnu::always_inline]] inline Shorts16 apply16(Shorts16 c) const {
    Shorts16 p, k, t;
    for (int i = 0; i < 16; ++i) {
      p[i] = static_cast<short>(slope);
      k[i] = base;
      t[i] = static_cast<short>(65536 - offset);  // a low half at least this carries
    }
    const Shorts16 high = __builtin_ia32_pmulhuw256(c, p);
    // The low half of each product wraps: multiplied unsigned, where wrapping is defined.
    const Shorts16 lowHalf = reinterpret_cast<Shorts16>(reinterpret_cast<Words16>(c) * reinterpret_cast<Words16>(p));
    // carry: lowHalf + offset overflows 16 bits, that is lowHalf >= 65536 - offset (unsigned)
    Shorts16 carry = __builtin_ia32_pmaxuw256(lowHalf, t) == lowHalf;
    if (offset == 0) carry = carry & 0;
    return high - carry + k;
  }

  [[gnu::target("avx2"), gnu::always_inline]] inline Bytes32 apply(Bytes32 bytes) const {
    const Bytes32 zero = broadcast(0);
    const Shorts16 lowBytes = reinterpret_cast<Shorts16>(__builtin_ia32_punpcklbw256(bytes, zero));
    const Shorts16 highBytes = reinterpret_cast<Shorts16>(__builtin_ia32_punpckhbw256(bytes, zero));
    return __builtin_ia32_packuswb256(apply16(lowBytes), apply16(highBytes));
  }
};

// One lookup pass per distinct map: each byte takes the looked-up value of
// the pass that owns its position, or stays.
struct BytePass {
  ByteTable table;
  LinearByteMap linear;
  Bytes32 lanes[3];  // 0xFF where the pass applies, for blocks starting at each phase of the pixel
  bool everyLane;
};

// The rows with a fixed number of passes, so that each block's lookups
// unroll into one stretch of shuffles.
template <int Period, int Passes>
[[gnu::target("avx2")]] void mapByteRowsWithPasses(const PixelRows &rows, ptrdiff_t step,
                                                   const BytePositions &positions, const BytePass *passes) {
  // Each block of 32 bytes starts this many bytes further into a pixel.
  constexpr int phaseStep = 32 % Period;
  const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(rows.width) * Period;
  uint8_t *row = rows.first;
  for (int32_t y = 0; y < rows.height; ++y, row += step) {
    uint8_t *p = row;
    ptrdiff_t i = 0;
    int phase = 0;
    for (; i + 32 <= rowBytes; i += 32, p += 32) {
      Bytes32 bytes;
      __builtin_memcpy(&bytes, p, sizeof(bytes));
      Bytes32 mapped = bytes;
      for (int k = 0; k < Passes; ++k) {
        Bytes32 looked = passes[k].linear.valid ? passes[k].linear.apply(bytes) : passes[k].table.lookup(bytes);
        mapped = passes[k].everyLane ? looked : __builtin_ia32_pblendvb256(mapped, looked, passes[k].lanes[phase]);
      }
      __builtin_memcpy(p, &mapped, sizeof(mapped));
      phase += phaseStep;
      if (phase >= Period) phase -= Period;
    }
    // The rest of the row: finish the pixel the last block ended in, then whole pixels.
    for (int position = phase; position > 0 && position < Period; ++position, ++i, ++p)
      if (const uint8_t *map = positions.map[position]) *p = map[*p];
    mapBytes<Period>(p, (rowBytes - i) / Period, positions);
  }
}

// Where only one byte of each pixel changes (adding or taking one colour),
// the bytes of that position from Period blocks of 32 are gathered into one
// block, looked up together, and put back: a third or a quarter of the
// lookups. Each 16-byte lane gathers from the same lane of every block,
// which holds exactly 16 bytes of the position across the Period blocks.
template <int Period>
struct OneChannelShuffles {
  Bytes32 gather[Period];   // for each slot of the gathered block, its byte in block j (bit 7: none)
  Bytes32 scatter[Period];  // for each byte of block j, its slot
  Bytes32 owned[Period];    // 0xFF on the bytes of the position

  explicit OneChannelShuffles(int position) {
    int slots[2] = {0, 0};
    for (int j = 0; j < Period; ++j)
      for (int i = 0; i < 32; ++i) {
        gather[j][i] = scatter[j][i] = char(0x80);
        owned[j][i] = 0;
      }
    for (int j = 0; j < Period; ++j)
      for (int lane = 0; lane < 2; ++lane)
        for (int i = 0; i < 16; ++i) {
          if ((32 * j + 16 * lane + i) % Period != position) continue;
          const int slot = slots[lane]++;
          gather[j][16 * lane + slot] = static_cast<char>(i);
          scatter[j][16 * lane + i] = static_cast<char>(slot);
          owned[j][16 * lane + i] = char(0xFF);
        }
  }
};

template <int Period>
[[gnu::target("avx2")]] void mapOneChannelAvx2(const PixelRows &rows, ptrdiff_t step, const BytePositions &positions,
                                               int position, const BytePass &pass) {
  const OneChannelShuffles<Period> shuffles(position);
  constexpr ptrdiff_t group = 32 * Period;
  const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(rows.width) * Period;
  uint8_t *row = rows.first;
  for (int32_t y = 0; y < rows.height; ++y, row += step) {
    uint8_t *p = row;
    ptrdiff_t i = 0;
    for (; i + group <= rowBytes; i += group, p += group) {
      Bytes32 blocks[Period];
#pragma GCC unroll 4
      for (int j = 0; j < Period; ++j) __builtin_memcpy(&blocks[j], p + 32 * j, sizeof(Bytes32));
      Bytes32 gathered = __builtin_ia32_pshufb256(blocks[0], shuffles.gather[0]);
#pragma GCC unroll 4
      for (int j = 1; j < Period; ++j) gathered |= __builtin_ia32_pshufb256(blocks[j], shuffles.gather[j]);
      const Bytes32 mapped = pass.linear.valid ? pass.linear.apply(gathered) : pass.table.lookup(gathered);
#pragma GCC unroll 4
      for (int j = 0; j < Period; ++j) {
        const Bytes32 back = __builtin_ia32_pshufb256(mapped, shuffles.scatter[j]);
        const Bytes32 merged = __builtin_ia32_pblendvb256(blocks[j], back, shuffles.owned[j]);
        __builtin_memcpy(p + 32 * j, &merged, sizeof(Bytes32));
      }
    }
    mapBytes<Period>(p, (rowBytes - i) / Period, positions);
  }
}

template <int Period>
[[gnu::target("avx2")]] void mapByteRowsAvx2(const PixelRows &rows, ptrdiff_t step, const BytePositions &positions) {
  BytePass passes[3];
  int passCount = 0;
  for (int position = 0; position < Period; ++position) {
    const uint8_t *map = positions.map[position];
    bool seen = map == nullptr;
    for (int earlier = 0; earlier < position && !seen; ++earlier) seen = positions.map[earlier] == map;
    if (seen) continue;
    BytePass &pass = passes[passCount++];
    pass.table.prepare(map);
    pass.linear.prepare(map);
    pass.everyLane = true;
    for (int phase = 0; phase < 3; ++phase)
      for (int i = 0; i < 32; ++i) {
        bool owned = positions.map[(phase + i) % Period] == map;
        pass.lanes[phase][i] = owned ? char(0xFF) : 0;
        pass.everyLane = pass.everyLane && owned;
      }
  }
  int owner = -1, owners = 0;
  for (int position = 0; position < Period; ++position)
    if (positions.map[position]) owner = position, ++owners;
  if (owners == 1) return mapOneChannelAvx2<Period>(rows, step, positions, owner, passes[0]);
  switch (passCount) {
    case 1:
      return mapByteRowsWithPasses<Period, 1>(rows, step, positions, passes);
    case 2:
      return mapByteRowsWithPasses<Period, 2>(rows, step, positions, passes);
    case 3:
      return mapByteRowsWithPasses<Period, 3>(rows, step, positions, passes);
  }
}

#endif  // CORVANE_X86_AVX2

template <class L>
void mapWordLayout(const PixelRows &rows, ptrdiff_t step, const ChannelMaps &maps) {
  FieldTables tables;
  buildFieldTables<L>(maps, tables);
#ifdef CORVANE_X86_AVX2
  if (useAvx2()) return mapWordRowsAvx2<L>(rows, step, tables);
#endif
  mapWordRows<L>(rows, step, tables);
}

template <int Period>
void mapByteLayout(const PixelRows &rows, ptrdiff_t step, const BytePositions &positions) {
#ifdef CORVANE_X86_AVX2
  if (useAvx2()) return mapByteRowsAvx2<Period>(rows, step, positions);
#endif
  mapByteRows<Period>(rows, step, positions);
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

void mapPixels(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const ChannelMaps &maps) {
  switch (format) {
    case PixelFormat::Rgb555:
      return mapWordLayout<Layout555>(rows, step, maps);
    case PixelFormat::Rgb565:
      return mapWordLayout<Layout565>(rows, step, maps);
    case PixelFormat::Rgb24:
    case PixelFormat::Rgb32: {
      BytePositions positions = positionsFor(format, maps);
      if (format == PixelFormat::Rgb24) return mapByteLayout<3>(rows, step, positions);
      return mapByteLayout<4>(rows, step, positions);
    }
    case PixelFormat::Unsupported:
      break;
  }
}

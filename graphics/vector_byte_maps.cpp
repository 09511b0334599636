// Channel maps in the 24- and 32-bit layouts with AVX2: a map that lies on a
// line is applied by 16-bit multiplies, any other by byte shuffles, 32
// bytes at a time; where one byte of each pixel changes, that byte is
// gathered from several blocks and looked up once.
#include <algorithm>
#include <cstring>

#include "graphics/vector_kernels.h"
#include "graphics/vector_shuffle_table.h"

#ifdef CORVANE_VECTOR_LOOPS

namespace vectorLoops {
namespace {

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

}  // namespace

void mapByteRows(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const BytePositions &positions) {
  if (format == PixelFormat::Rgb24) return mapByteRowsAvx2<3>(rows, step, positions);
  mapByteRowsAvx2<4>(rows, step, positions);
}

}  // namespace vectorLoops

#endif

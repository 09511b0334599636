// Table lookups by byte shuffles, shared by the vector loops of channel maps.
#pragma once

#include "graphics/vector_kernels.h"

#ifdef CORVANE_VECTOR_LOOPS

namespace vectorLoops {

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

}  // namespace vectorLoops

#endif

// The 16-bit layouts with AVX-512, 32 words at a time, by word permutes:
// each field indexes a table of 32 words (64 for six-bit green, across two
// registers), so a channel map costs one lookup per field whatever its
// shape, and grayscale looks up each field's channel value, sums them and
// looks the average's five bits up packed into all three fields.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "graphics/pixel_layouts.h"
#include "graphics/vector_kernels.h"

#ifdef CORVANE_VECTOR_LOOPS

namespace vectorLoops {
namespace {

using namespace pixelLayouts;

typedef uint16_t Words32 __attribute__((vector_size(64)));
typedef short Shorts32 __attribute__((vector_size(64)));

// Tables of 32 and 64 words, as the permutes read them.
struct Table32 {
  Words32 words;
};
struct Table64 {
  Words32 low, high;
};

[[gnu::target("avx512bw,avx512vl"), gnu::always_inline]] inline Table32 table32(const uint16_t *words) {
  Table32 t;
  std::memcpy(&t.words, words, sizeof(t.words));
  return t;
}
[[gnu::target("avx512bw,avx512vl"), gnu::always_inline]] inline Table64 table64(const uint16_t *words) {
  Table64 t;
  std::memcpy(&t.low, words, sizeof(t.low));
  std::memcpy(&t.high, words + 32, sizeof(t.high));
  return t;
}

// Each word's entry by its low five or six bits; the bits above are ignored.
[[gnu::target("avx512bw,avx512vl"), gnu::always_inline]] inline Words32 lookUp(Words32 index, const Table32 &table) {
  return reinterpret_cast<Words32>(__builtin_ia32_permvarhi512_mask(
      reinterpret_cast<Shorts32>(table.words), reinterpret_cast<Shorts32>(index), Shorts32{}, ~0u));
}
[[gnu::target("avx512bw,avx512vl"), gnu::always_inline]] inline Words32 lookUp(Words32 index, const Table64 &table) {
  return reinterpret_cast<Words32>(__builtin_ia32_vpermt2varhi512_mask(reinterpret_cast<Shorts32>(index),
                                                                       reinterpret_cast<Shorts32>(table.low),
                                                                       reinterpret_cast<Shorts32>(table.high), ~0u));
}

// Green's table: 32 words in 5-5-5, 64 in 5-6-5.
template <class L>
using GreenTable = std::conditional_t<L::greenBits == 6, Table64, Table32>;

template <class L>
[[gnu::target("avx512bw,avx512vl"), gnu::always_inline]] inline GreenTable<L> greenTable(const uint16_t *words) {
  if constexpr (L::greenBits == 6)
    return table64(words);
  else
    return table32(words);
}

// The first `count` words at p (fewer than 32), under a mask.
template <class Words>
[[gnu::target("avx512bw,avx512vl"), gnu::always_inline]] inline void partBlock(uint8_t *p, int32_t count, Words words) {
  const unsigned mask = (1u << count) - 1;
  const Shorts32 word = __builtin_ia32_loaddquhi512_mask(reinterpret_cast<const short *>(p), Shorts32{}, mask);
  __builtin_ia32_storedquhi512_mask(reinterpret_cast<short *>(p),
                                    reinterpret_cast<Shorts32>(words(reinterpret_cast<Words32>(word))), mask);
}

// Calls words(w) -> w on every row's words, 32 at a time. Each row's first
// block is cut short to end on a 64-byte line, so that the rest load and
// store whole lines; the first and the last block are loaded and stored
// under a mask of the words they hold.
template <class Words>
[[gnu::target("avx512bw,avx512vl"), gnu::always_inline]] inline void eachWordBlock(const PixelRows &rows,
                                                                                   ptrdiff_t step, Words words) {
  uint8_t *row = rows.first;
  const int32_t width = rows.width, height = rows.height;
  for (int32_t y = 0; y < height; ++y, row += step) {
    uint8_t *p = row;
    int32_t left = width;
    const int32_t head = std::min<int32_t>(left, static_cast<int32_t>((0u - reinterpret_cast<uintptr_t>(p)) % 64 / 2));
    if (head > 0) {
      partBlock(p, head, words);
      p += 2 * head;
      left -= head;
    }
    for (; left >= 32; left -= 32, p += 64) {
      Words32 word;
      __builtin_memcpy(&word, p, sizeof(word));
      const Words32 result = words(word);
      __builtin_memcpy(p, &result, sizeof(result));
    }
    if (left > 0) partBlock(p, left, words);
  }
}

// The three fields' entries of every word, summed or (for entries in
// fields of their own) joined.
template <class L, bool Sum>
[[gnu::target("avx512bw,avx512vl"), gnu::always_inline]] inline Words32 byFields(Words32 word, const Table32 &red,
                                                                                 const GreenTable<L> &green,
                                                                                 const Table32 &blue) {
  const Words32 r = lookUp(word >> L::redField, red), g = lookUp(word >> L::greenField, green), b = lookUp(word, blue);
  if constexpr (Sum) return r + g + b;
  return r | g | b;
}

template <class L>
[[gnu::target("avx512bw,avx512vl")]] void mapWordsAvx512(const PixelRows &rows, ptrdiff_t step,
                                                         const FieldTables &tables) {
  const Table32 red = table32(tables.red), blue = table32(tables.blue);
  const GreenTable<L> green = greenTable<L>(tables.green);
  eachWordBlock(
      rows, step, [&](Words32 word) __attribute__((target("avx512bw,avx512vl"), always_inline)) {
        return byFields<L, false>(word, red, green, blue);
      });
}

// Each field's channel value as L unpacks a word holding that field alone,
// and the word that L packs from a gray of each five bits.
template <class L>
struct GrayTables {
  uint16_t red[32], green[64], blue[32], packed[32];

  GrayTables() {
    uint8_t word[2];
    int32_t r, g, b;
    for (uint32_t field = 0; field < 32; ++field) {
      store16(word, field << L::redField);
      L::unpack(word, r, g, b);
      red[field] = static_cast<uint16_t>(r);
      store16(word, field);
      L::unpack(word, r, g, b);
      blue[field] = static_cast<uint16_t>(b);
      const int32_t gray = static_cast<int32_t>(field << 3);
      L::pack(word, 0, gray, gray, gray);
      packed[field] = static_cast<uint16_t>(load16(word));
    }
    for (uint32_t field = 0; field < (1u << L::greenBits); ++field) {
      store16(word, field << L::greenField);
      L::unpack(word, r, g, b);
      green[field] = static_cast<uint16_t>(g);
    }
  }
};

template <class L>
[[gnu::target("avx512bw,avx512vl")]] void grayscaleWordsAvx512(const PixelRows &rows, ptrdiff_t step) {
  static const GrayTables<L> tables;
  const Table32 red = table32(tables.red), blue = table32(tables.blue), packed = table32(tables.packed);
  const GreenTable<L> green = greenTable<L>(tables.green);
  eachWordBlock(
      rows, step, [&](Words32 word) __attribute__((target("avx512bw,avx512vl"), always_inline)) {
        const Words32 sum = byFields<L, true>(word, red, green, blue);
        const Words32 top = reinterpret_cast<Words32>(__builtin_ia32_pmulhuw512_mask(
            reinterpret_cast<Shorts32>(sum), Shorts32{} + static_cast<short>(kEighthOfThird), Shorts32{}, ~0u));
        return lookUp(top, packed);
      });
}

}  // namespace

void mapWordRowsAvx512(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const FieldTables &tables) {
  if (format == PixelFormat::Rgb555) return mapWordsAvx512<Layout555>(rows, step, tables);
  mapWordsAvx512<Layout565>(rows, step, tables);
}

void grayscaleWordsAvx512(PixelFormat format, const PixelRows &rows, ptrdiff_t step) {
  if (format == PixelFormat::Rgb555) return grayscaleWordsAvx512<Layout555>(rows, step);
  grayscaleWordsAvx512<Layout565>(rows, step);
}

}  // namespace vectorLoops

#endif

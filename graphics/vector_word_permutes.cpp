// The 16-bit layouts with AVX-512, 32 words at a time. Channel maps go by
// word permutes: each field indexes a table of 32 words (64 for six-bit
// green, across two registers), so a map costs one lookup per field whatever
// its shape. Grayscale needs no lookups: the fields are summed in place with
// a byte multiply-add, divided by a high-half multiply and spread into the
// fields by one lookup.
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

// The three fields' entries of every word, joined (each entry lies in its
// own field).
template <class L>
[[gnu::target("avx512bw,avx512vl"), gnu::always_inline]] inline Words32 byFields(Words32 word, const Table32 &red,
                                                                                 const GreenTable<L> &green,
                                                                                 const Table32 &blue) {
  return lookUp(word >> L::redField, red) | lookUp(word >> L::greenField, green) | lookUp(word, blue);
}

template <class L>
[[gnu::target("avx512bw,avx512vl")]] void mapWordsAvx512(const PixelRows &rows, ptrdiff_t step,
                                                         const FieldTables &tables) {
  const Table32 red = table32(tables.red), blue = table32(tables.blue);
  const GreenTable<L> green = greenTable<L>(tables.green);
  eachWordBlock(
      rows, step, [&](Words32 word) __attribute__((target("avx512bw,avx512vl"), always_inline)) {
        return byFields<L>(word, red, green, blue);
      });
}

// Grayscale without lookups. A field f widened as L unpacks it is 8f + 7
// unless it is 0 (six-bit green: 8 * (f >> 1) + 7), so the average's five
// bits are (8S + 7N) / 24, S the sum of the fields' five kept bits and N the
// number of fields that are not 0. (S + N) times a multiplier just below a
// third, rounded down, gives the same for every word, even with red's flag
// counting only 7/8 of a unit in 5-6-5 (3/4 in 5-5-5) so that it fits red's
// byte; the check below covers every word. The sum is counted in `unit`s,
// the value of green's lowest kept bit in place: blue (the low byte) and red
// (the high byte) gain their flags and are weighted by a byte multiply-add,
// and green, masked in place, gains a unit.
template <class L>
struct GrayBySum {
  static constexpr uint16_t redMask = 0x1Fu << L::redField, blueMask = 0x1F;
  static constexpr uint16_t greenMask = ((1u << L::greenBits) - 1) << L::greenField;
  static constexpr uint16_t greenTop = 0x1Fu << (L::greenField + L::greenBits - 5);
  static constexpr int unit = greenTop & -greenTop, redUnit = 1 << (L::redField - 8);
  static constexpr uint8_t blueFlag = 1, redFlag = redUnit - 1;
  static constexpr int8_t blueWeight = unit, redWeight = unit / redUnit;
  static constexpr uint16_t divisor = 65536 / (3 * unit);
  // The average's five bits into each field at once.
  static constexpr uint16_t spread = (1u << L::redField) | (1u << L::greenPacked) | 1u;

  static constexpr uint32_t sum(uint32_t word) {
    uint32_t blue = word & blueMask, red = (word & redMask) >> 8;
    blue += blue != 0 ? blueFlag : 0;
    red += red != 0 ? redFlag : 0;
    return blue * blueWeight + red * redWeight + (word & greenTop) + ((word & greenMask) != 0 ? unit : 0);
  }
};

// Every word's five gray bits against its fields widened one by one.
template <class L>
constexpr bool grayBySumExact() {
  using G = GrayBySum<L>;
  const auto widened = [](uint32_t field, int bits) { return field == 0 ? 0 : (field << (8 - bits)) | 7; };
  for (uint32_t word = 0; word < 65536; ++word) {
    const uint32_t channels = widened((word & G::redMask) >> L::redField, 5) +
                              widened((word & G::greenMask) >> L::greenField, L::greenBits) +
                              widened(word & G::blueMask, 5);
    if ((G::sum(word) * G::divisor) >> 16 != channels / 3 / 8) return false;
  }
  return true;
}
static_assert(grayBySumExact<Layout555>() && grayBySumExact<Layout565>());

template <class L>
[[gnu::target("avx512bw,avx512vl")]] void grayscaleWordsAvx512(const PixelRows &rows, ptrdiff_t step) {
  using G = GrayBySum<L>;
  typedef char Bytes64 __attribute__((vector_size(64)));
  Bytes64 fieldBytes, flags, weights;
  for (int i = 0; i < 64; i += 2) {
    fieldBytes[i] = G::blueMask, fieldBytes[i + 1] = static_cast<char>(G::redMask >> 8);
    flags[i] = G::blueFlag, flags[i + 1] = G::redFlag;
    weights[i] = G::blueWeight, weights[i + 1] = G::redWeight;
  }
  // The five gray bits spread into each field by a lookup, which keeps the
  // multiplier port free for the two multiplies before it.
  uint16_t spreadWords[32];
  for (uint16_t gray = 0; gray < 32; ++gray) spreadWords[gray] = static_cast<uint16_t>(gray * G::spread);
  const Table32 spread = table32(spreadWords);
  const Shorts32 green = Shorts32{} + static_cast<short>(G::greenMask), unit = Shorts32{} + G::unit;
  eachWordBlock(
      rows, step, [&](Words32 word) __attribute__((target("avx512bw,avx512vl"), always_inline)) {
        // A field that is 0 masks to 0, so a zero-masked add gives the
        // flagged field where it is not 0 and 0 where it is.
        const Bytes64 bytes = reinterpret_cast<Bytes64>(word);
        const Bytes64 redBlue =
            __builtin_ia32_paddb512_mask(reinterpret_cast<Bytes64>(word & (G::redMask | G::blueMask)), flags, Bytes64{},
                                         __builtin_ia32_ptestmb512(bytes, fieldBytes, ~0ull));
        const Shorts32 greenPart =
            __builtin_ia32_paddw512_mask(reinterpret_cast<Shorts32>(word & G::greenTop), unit, Shorts32{},
                                         __builtin_ia32_ptestmw512(reinterpret_cast<Shorts32>(word), green, ~0u));
        const Shorts32 sum = __builtin_ia32_pmaddubsw512_mask(redBlue, weights, Shorts32{}, ~0u) + greenPart;
        const Words32 top = reinterpret_cast<Words32>(
            __builtin_ia32_pmulhuw512_mask(sum, Shorts32{} + static_cast<short>(G::divisor), Shorts32{}, ~0u));
        return lookUp(top, spread);
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

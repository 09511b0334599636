// Channel maps in the 16-bit layouts with AVX2, 16 words at a time. Each
// field's map, read from its table, is applied in the cheapest form that
// gives every one of its entries exactly: kept, complemented, or on a line
// that a 16-bit multiply and a saturating add compute (complemented or not).
// Maps that fit none of these are looked up by byte shuffles.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/vector_kernels.h"
#include "graphics/vector_shuffle_table.h"

#ifdef CORVANE_VECTOR_LOOPS

namespace vectorLoops {
namespace {

using namespace pixelLayouts;

// One field of a layout: `bits` bits from bit `at` of the word, packed back
// as five bits from bit `packedAt`.
struct FieldPlace {
  int bits, at, packedAt;
  uint16_t packedMask() const { return static_cast<uint16_t>(31u << packedAt); }
};

template <class L>
constexpr FieldPlace redPlace{5, L::redField, L::redField};
template <class L>
constexpr FieldPlace greenPlace{L::greenBits, L::greenField, L::greenPacked};
template <class L>
constexpr FieldPlace bluePlace{5, 0, 0};

// Where a line reads its field and leaves its result. A field that is not
// at the word's bottom is read in place, and its result packed in place; the
// bottom field is moved to the top first, for precision, and back after.
struct LineShifts {
  int in;   // the field's lowest bit where the multiply reads it
  int out;  // the result's lowest bit before it is masked or moved
};

constexpr LineShifts lineShifts(FieldPlace place, int bits) {
  return place.at == 0 ? LineShifts{16 - bits, 16 - 5} : LineShifts{place.at + place.bits - bits, place.packedAt};
}

// m(f) = (floor((f << in) * slope / 65536) + offset) >> out, in 16 bits: a
// saturating add, so the bottom field's results that lie above 31 stay 31.
struct FieldLine {
  uint16_t slope = 0, offset = 0;
  uint16_t input = 0;  // the bits of the word (after moving) that the line reads

  static uint32_t at(uint32_t field, LineShifts shifts, uint32_t slope, uint32_t offset) {
    const uint32_t z = std::min<uint32_t>(((field << shifts.in) * slope >> 16) + offset, 65535);
    return shifts.out == 11 ? z >> 11 : z >> shifts.out > 31 ? 32 : z >> shifts.out;
  }

  // The line through every entry of `m` (0..31 each, `bits` bits of field),
  // if there is one.
  bool fit(const uint8_t *m, int bits, LineShifts shifts) {
    const int count = 1 << bits;
    // The slopes that could fit, in steps of m per step of f, from each
    // entry's distance to the first; entries at 31 may lie higher.
    double low = 0.0, high = 1.0;
    for (int f = 1; f < count; ++f) {
      low = std::max(low, (m[f] - m[0] - 1.0) / f);
      if (m[f] < 31) high = std::min(high, (m[f] - m[0] + 1.0) / f);
    }
    if (low > high) return false;
    const double scale = std::ldexp(1.0, 16 + shifts.out - shifts.in);
    const int64_t first = std::max<int64_t>(0, static_cast<int64_t>(low * scale) - 1);
    const int64_t last = std::min<int64_t>(65535, static_cast<int64_t>(high * scale) + 1);
    const int64_t unit = int64_t{1} << shifts.out;
    // The slopes that fit lie together, most likely around the middle.
    const int64_t middle = (first + last) / 2;
    for (int64_t step = 0; step <= last - first + 1; ++step) {
      const int64_t p = middle + ((step & 1) ? (step + 1) / 2 : -(step / 2));
      if (p < first || p > last) continue;
      // The offsets that put every entry in its step.
      int64_t lowest = 0, highest = 65535;
      for (int f = 0; f < count; ++f) {
        const int64_t t = (static_cast<int64_t>(f) << shifts.in) * p >> 16;
        lowest = std::max(lowest, unit * m[f] - t);
        if (m[f] < 31 || shifts.out != 11) highest = std::min(highest, unit * m[f] + unit - 1 - t);
      }
      if (lowest > highest) continue;
      bool exact = true;
      for (int f = 0; f < count && exact; ++f)
        exact = at(static_cast<uint32_t>(f), shifts, static_cast<uint32_t>(p), static_cast<uint32_t>(lowest)) == m[f];
      if (!exact) continue;
      slope = static_cast<uint16_t>(p);
      offset = static_cast<uint16_t>(lowest);
      input = static_cast<uint16_t>(((1u << bits) - 1) << shifts.in);
      return true;
    }
    return false;
  }
};

// How one field's map is applied.
struct FieldForm {
  bool onLine = false;        // else kept as it is (its top five bits)
  bool complemented = false;  // the result's five bits inverted
  FieldLine line;

  // The map's entries as packed five-bit values, from the field's table.
  bool fit(const uint16_t *table, FieldPlace place) {
    const int count = 1 << place.bits;
    uint8_t m[64], inverse[64];
    bool kept = true, keptInverted = true;
    for (int f = 0; f < count; ++f) {
      m[f] = static_cast<uint8_t>(table[f] >> place.packedAt);
      inverse[f] = static_cast<uint8_t>(31 - m[f]);
      const int own = f >> (place.bits - 5);
      kept = kept && m[f] == own;
      keptInverted = keptInverted && inverse[f] == own;
    }
    onLine = false;
    if (kept || keptInverted) {
      complemented = !kept;
      return true;
    }
    onLine = true;
    if (fitLine(m, inverse, place.bits, place)) return true;
    // Six-bit green widens its fields 2k and 2k + 1 alike, but for 0 and 1:
    // where those agree too, the map is one of the top five bits.
    if (place.bits != 6) return false;
    for (int f = 0; f < 32; ++f) {
      if (m[2 * f] != m[2 * f + 1]) return false;
      m[f] = m[2 * f];
      inverse[f] = inverse[2 * f];
    }
    return fitLine(m, inverse, 5, place);
  }

  bool fitLine(const uint8_t *m, const uint8_t *inverse, int bits, FieldPlace place) {
    complemented = false;
    if (line.fit(m, bits, lineShifts(place, bits))) return true;
    complemented = true;
    return line.fit(inverse, bits, lineShifts(place, bits));
  }
};

// The forms of the three fields. Finding lines costs more than a small
// picture's walk and the same few maps come back press after press, so the
// last forms found are kept.
struct WordForms {
  FieldForm red, green, blue;
  bool valid = false;

  template <class L>
  void prepare(const FieldTables &tables) {
    struct Found {
      FieldTables tables;
      WordForms forms;
    };
    static Found found[4];
    static int count = 0, next = 0;
    for (int i = 0; i < count; ++i)
      if (std::memcmp(&found[i].tables, &tables, sizeof(tables)) == 0) {
        *this = found[i].forms;
        return;
      }
    valid = red.fit(tables.red, redPlace<L>) && green.fit(tables.green, greenPlace<L>) &&
            blue.fit(tables.blue, bluePlace<L>);
    found[next].tables = tables;
    found[next].forms = *this;
    next = (next + 1) % 4;
    count = std::max(count, next == 0 ? 4 : next);
  }
};

// The mapped field on its line, in its packed place.
template <FieldPlace Place>
[[gnu::target("avx2"), gnu::always_inline]] inline Words16 onLine(Words16 word, const FieldLine &line) {
  constexpr int up = Place.at == 0 ? 16 - Place.bits : 0;
  const Words16 field = up ? word << up : word & line.input;  // nothing below the bottom field
  const Shorts16 scaled =
      __builtin_ia32_pmulhuw256(reinterpret_cast<Shorts16>(field), Shorts16{} + static_cast<short>(line.slope));
  const Words16 z =
      reinterpret_cast<Words16>(__builtin_ia32_paddusw256(scaled, Shorts16{} + static_cast<short>(line.offset)));
  if constexpr (up != 0) return z >> up;
  return z & Place.packedMask();
}

// Rows with the fields that lie on lines fixed, so that each block is one
// stretch of multiplies without tests.
template <class L, bool Red, bool Green, bool Blue>
[[gnu::target("avx2")]] void mapWordLines(const PixelRows &rows, ptrdiff_t step, const WordForms &forms,
                                          const FieldTables &tables) {
  uint16_t kept = 0, flipped = 0;
  const FieldForm *all[3] = {&forms.red, &forms.green, &forms.blue};
  const FieldPlace places[3] = {redPlace<L>, greenPlace<L>, bluePlace<L>};
  for (int i = 0; i < 3; ++i) {
    if (!all[i]->onLine) kept |= places[i].packedMask();
    if (all[i]->complemented) flipped |= places[i].packedMask();
  }
  const FieldLine red = forms.red.line, green = forms.green.line, blue = forms.blue.line;
  eachBlock<16, 32>(
      rows, step,
      [&](uint8_t * p) __attribute__((target("avx2"), always_inline)) {
        Words16 word;
        __builtin_memcpy(&word, p, sizeof(word));
        Words16 mapped = word & kept;
        if constexpr (Red) mapped |= onLine<redPlace<L>>(word, red);
        if constexpr (Green) mapped |= onLine<greenPlace<L>>(word, green);
        if constexpr (Blue) mapped |= onLine<bluePlace<L>>(word, blue);
        mapped ^= flipped;
        __builtin_memcpy(p, &mapped, sizeof(mapped));
      },
      [&](uint8_t *p, int32_t count) { mapWords<L>(p, count, tables); });
}

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

template <class L>
void mapWordLayout(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const FieldTables &tables, bool avx512) {
  WordForms forms;
  forms.prepare<L>(tables);
  // Fields only kept or complemented cost one and and one xor, less than
  // AVX-512's three lookups; anything more is cheaper looked up.
  const bool lookUp = !forms.valid || forms.red.onLine || forms.green.onLine || forms.blue.onLine;
  if (avx512 && lookUp) return mapWordRowsAvx512(format, rows, step, tables);
  if (!forms.valid) return mapWordRowsAvx2<L>(rows, step, tables);
  using Rows = void (*)(const PixelRows &, ptrdiff_t, const WordForms &, const FieldTables &);
  static constexpr Rows byLines[8] = {mapWordLines<L, false, false, false>, mapWordLines<L, false, false, true>,
                                      mapWordLines<L, false, true, false>,  mapWordLines<L, false, true, true>,
                                      mapWordLines<L, true, false, false>,  mapWordLines<L, true, false, true>,
                                      mapWordLines<L, true, true, false>,   mapWordLines<L, true, true, true>};
  byLines[4 * forms.red.onLine + 2 * forms.green.onLine + forms.blue.onLine](rows, step, forms, tables);
}

}  // namespace

void mapWordRows(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const FieldTables &tables, bool avx512) {
  if (format == PixelFormat::Rgb555) return mapWordLayout<Layout555>(format, rows, step, tables, avx512);
  mapWordLayout<Layout565>(format, rows, step, tables, avx512);
}

}  // namespace vectorLoops

#endif

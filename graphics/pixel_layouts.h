// How each pixel layout unpacks a pixel into red, green and blue on a
// 0..255 scale (plus the bits it keeps) and packs the channels back. Shared
// by the surface walk and the channel maps.
#pragma once

#include <cstdint>
#include <cstring>

namespace pixelLayouts {

// A 5- or 6-bit field widened to 0..255 sets its three low bits, but 0 stays 0.
inline int32_t expand(int32_t value) { return value != 0 ? value | 7 : 0; }

// A channel value into 0..255. Only amounts outside the public ranges give
// values beyond it; they are stored clamped rather than spilling into other
// channels.
inline int32_t clampChannel(int32_t value) { return value < 0 ? 0 : value > 255 ? 255 : value; }

inline uint32_t load16(const uint8_t *p) {
  uint16_t word;
  std::memcpy(&word, p, sizeof(word));
  return word;
}
inline void store16(uint8_t *p, uint32_t value) {
  uint16_t word = static_cast<uint16_t>(value);
  std::memcpy(p, &word, sizeof(word));
}
inline uint32_t load32(const uint8_t *p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof(word));
  return word;
}
inline void store32(uint8_t *p, uint32_t value) { std::memcpy(p, &value, sizeof(value)); }

// Each layout unpacks a pixel into channels (plus bits it must keep) and
// packs channels back.

// The two 16-bit layouts differ only in where red and green sit and in how
// many bits green has: 5-5-5 is <7, 2, 0xF8>, 5-6-5 is <8, 3, 0xFC>. Bit 15
// of 5-5-5 is not kept, and green is packed from five bits in both, so the
// lowest green bit of 5-6-5 is written as 0.
template <int RedShift, int GreenShift, uint32_t GreenMask>
struct WordLayout {
  static constexpr int bytes = 2;
  static constexpr int redField = RedShift + 3;  // lowest bit of each field in the word
  static constexpr int greenField = 5;
  static constexpr int greenBits = GreenMask == 0xFC ? 6 : 5;
  static constexpr int greenPacked = GreenShift + 3;  // where the five green bits are packed
  static uint32_t unpack(const uint8_t *p, int32_t &red, int32_t &green, int32_t &blue) {
    uint32_t word = load16(p);
    red = expand((word >> RedShift) & 0xF8);
    green = expand((word >> GreenShift) & GreenMask);
    blue = expand((word & 0x1F) << 3);
    return 0;
  }
  static void pack(uint8_t *p, uint32_t, int32_t red, int32_t green, int32_t blue) {
    store16(p, ((red & 0xF8) << RedShift) | ((green & 0xF8) << GreenShift) | (blue >> 3));
  }
};
using Layout555 = WordLayout<7, 2, 0xF8>;
using Layout565 = WordLayout<8, 3, 0xFC>;

struct Layout24 {
  static constexpr int bytes = 3;
  static uint32_t unpack(const uint8_t *p, int32_t &red, int32_t &green, int32_t &blue) {
    red = p[0];
    green = p[1];
    blue = p[2];
    return 0;
  }
  static void pack(uint8_t *p, uint32_t, int32_t red, int32_t green, int32_t blue) {
    p[0] = static_cast<uint8_t>(red);
    p[1] = static_cast<uint8_t>(green);
    p[2] = static_cast<uint8_t>(blue);
  }
};

struct Layout32 {
  static constexpr int bytes = 4;
  static uint32_t unpack(const uint8_t *p, int32_t &red, int32_t &green, int32_t &blue) {
    uint32_t word = load32(p);
    red = (word >> 16) & 0xFF;
    green = (word >> 8) & 0xFF;
    blue = word & 0xFF;
    return word & 0xFF000000u;  // the top byte goes back unchanged
  }
  static void pack(uint8_t *p, uint32_t top, int32_t red, int32_t green, int32_t blue) {
    store32(p, top | (static_cast<uint32_t>(red) << 16) | (static_cast<uint32_t>(green) << 8) |
                   static_cast<uint32_t>(blue));
  }
};

}  // namespace pixelLayouts

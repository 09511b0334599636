// A pixel's raw value in memory: 1 to 4 bytes, lowest address first (the
// layer runs on little-endian processors only). The template forms are for
// loops specialised per pixel size; the others pick the size at run time.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace layer {

template <int Bytes>
inline uint32_t loadRaw(const uint8_t *p) {
  static_assert(Bytes >= 1 && Bytes <= 4);
  if constexpr (Bytes == 1) {
    return p[0];
  } else if constexpr (Bytes == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  } else if constexpr (Bytes == 3) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
  } else {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
}

template <int Bytes>
inline void storeRaw(uint8_t *p, uint32_t v) {
  static_assert(Bytes >= 1 && Bytes <= 4);
  if constexpr (Bytes == 1) {
    p[0] = static_cast<uint8_t>(v);
  } else if constexpr (Bytes == 2) {
    uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
  } else if constexpr (Bytes == 3) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
  } else {
    std::memcpy(p, &v, 4);
  }
}

// Calls f(std::integral_constant<int, bytes>()) for a pixel size of 1 to 4
// bytes, so that f can run a loop specialised for it; nothing for others.
template <class F>
void withPixelSize(int bytes, F &&f) {
  switch (bytes) {
    case 1:
      return f(std::integral_constant<int, 1>());
    case 2:
      return f(std::integral_constant<int, 2>());
    case 3:
      return f(std::integral_constant<int, 3>());
    case 4:
      return f(std::integral_constant<int, 4>());
  }
}

inline uint32_t loadRaw(const uint8_t *p, int bytes) {
  switch (bytes) {
    case 1:
      return loadRaw<1>(p);
    case 2:
      return loadRaw<2>(p);
    case 3:
      return loadRaw<3>(p);
    default:
      return loadRaw<4>(p);
  }
}

inline void storeRaw(uint8_t *p, int bytes, uint32_t v) {
  switch (bytes) {
    case 1:
      return storeRaw<1>(p, v);
    case 2:
      return storeRaw<2>(p, v);
    case 3:
      return storeRaw<3>(p, v);
    default:
      return storeRaw<4>(p, v);
  }
}

}  // namespace layer

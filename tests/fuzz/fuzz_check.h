// What the fuzz harnesses share: a check that aborts with a message (a
// finding for libFuzzer and a failure for the replay runs), and a reader of
// the parameters that a harness takes from the front of its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                       \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                                 \
      std::fputc('\n', stderr);                                                          \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace fuzzing {

// Takes little-endian numbers from the front of the input; past its end
// every number reads as zero.
class ParameterReader {
 public:
  ParameterReader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

  uint8_t byte() { return offset_ < size_ ? data_[offset_++] : (offset_++, 0); }
  uint16_t u16() {
    uint16_t low = byte();
    return static_cast<uint16_t>(low | (byte() << 8));
  }
  int16_t s16() { return static_cast<int16_t>(u16()); }

  // What is left after the parameters read so far.
  const uint8_t *rest() const { return offset_ < size_ ? data_ + offset_ : nullptr; }
  size_t restSize() const { return offset_ < size_ ? size_ - offset_ : 0; }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t offset_ = 0;
};

// RLE pictures of more than a quarter million pixels from a few bytes of
// stream only cost time (the output is allocated and cleared whole, and the
// instrumented build does that a byte at a time); their streams take the
// same paths at a smaller size.
inline bool hugeRle(const uint8_t *data, size_t size) {
  if (size < 34) return false;
  auto u32 = [&](size_t at) {
    return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
           uint32_t(data[at + 3]) << 24;
  };
  if (u32(14) < 20) return false;  // core headers have no compression
  const uint32_t compression = u32(30);
  const int64_t width = static_cast<int32_t>(u32(18)), height = static_cast<int32_t>(u32(22));
  return (compression == 1 || compression == 2) && std::abs(width * height) > (int64_t{1} << 18);
}

}  // namespace fuzzing

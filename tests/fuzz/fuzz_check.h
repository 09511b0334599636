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

}  // namespace fuzzing

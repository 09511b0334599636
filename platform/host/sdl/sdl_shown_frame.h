// A copy of the frame a window shows, so that a flipped frame equal to it
// need not be uploaded and presented again. The viewer clears and redraws
// every frame, so "written since the last flip" is true of every frame;
// only comparing the pixels tells that nothing changed.
#pragma once

#include <cstdint>
#include <vector>

#include "core/pixels.h"

namespace layer::sdl {

class ShownFrame {
 public:
  // Whether `frame` would look different from the one kept: other pixels,
  // size, layout or (at 8 bits) palette. True while nothing is kept.
  bool differs(const PixelBuffer &frame) const;
  // Keeps a copy of `frame` as the one on the screen.
  void keep(const PixelBuffer &frame);
  // Forgets the kept frame: the next one differs whatever it holds.
  void clear();

 private:
  bool kept_ = false;
  int width_ = 0, height_ = 0;
  PixelLayout layout_;
  std::vector<uint32_t> palette_;  // 256 entries at 8 bits, the default one when the frame had none
  std::vector<uint8_t> pixels_;    // rows without padding
};

}  // namespace layer::sdl

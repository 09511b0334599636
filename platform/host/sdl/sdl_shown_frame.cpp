// Comparing a flipped frame with the one on the screen: one memcmp per row
// (a whole 640x480x24 frame costs about as much as one memcpy of it).
#include "host/sdl/sdl_shown_frame.h"

#include <cstring>

namespace layer::sdl {
namespace {

size_t rowBytes(const PixelBuffer &frame) {
  return static_cast<size_t>(frame.width) * static_cast<size_t>(frame.layout.bytesPerPixel());
}

const uint32_t *paletteOf(const PixelBuffer &frame) {
  if (frame.layout.bitsPerPixel != 8) return nullptr;
  return frame.palette ? frame.palette : defaultPalette();
}

}  // namespace

bool ShownFrame::differs(const PixelBuffer &frame) const {
  if (!kept_ || frame.width != width_ || frame.height != height_ || !(frame.layout == layout_)) return true;
  if (const uint32_t *palette = paletteOf(frame)) {
    if (std::memcmp(palette, palette_.data(), palette_.size() * sizeof palette_[0]) != 0) return true;
  }
  const size_t bytes = rowBytes(frame);
  for (int y = 0; y < frame.height; ++y) {
    if (std::memcmp(pixels_.data() + bytes * static_cast<size_t>(y), frame.row(y), bytes) != 0) return true;
  }
  return false;
}

void ShownFrame::keep(const PixelBuffer &frame) {
  const size_t bytes = rowBytes(frame);
  pixels_.resize(bytes * static_cast<size_t>(frame.height));
  for (int y = 0; y < frame.height; ++y)
    std::memcpy(pixels_.data() + bytes * static_cast<size_t>(y), frame.row(y), bytes);
  const uint32_t *palette = paletteOf(frame);
  if (palette)
    palette_.assign(palette, palette + 256);
  else
    palette_.clear();
  width_ = frame.width;
  height_ = frame.height;
  layout_ = frame.layout;
  kept_ = true;
}

void ShownFrame::clear() {
  kept_ = false;
  pixels_.clear();
  palette_.clear();
}

}  // namespace layer::sdl

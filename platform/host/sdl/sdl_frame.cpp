// Placement, pixel conversion and pacing of presented frames.
#include "host/sdl/sdl_frame.h"

#include <cstring>

namespace layer::sdl {

Placement placeFrame(int outputWidth, int outputHeight, int frameWidth, int frameHeight) {
  if (outputWidth <= 0 || outputHeight <= 0 || frameWidth <= 0 || frameHeight <= 0) return {};
  Placement p;
  const int factor =
      outputWidth / frameWidth < outputHeight / frameHeight ? outputWidth / frameWidth : outputHeight / frameHeight;
  if (factor >= 1) {
    p.width = frameWidth * factor;
    p.height = frameHeight * factor;
  } else if (static_cast<int64_t>(outputWidth) * frameHeight <= static_cast<int64_t>(outputHeight) * frameWidth) {
    // Width limits: full width, height in proportion.
    p.width = outputWidth;
    p.height = static_cast<int>(static_cast<int64_t>(frameHeight) * outputWidth / frameWidth);
  } else {
    p.height = outputHeight;
    p.width = static_cast<int>(static_cast<int64_t>(frameWidth) * outputHeight / frameHeight);
  }
  if (p.width < 1) p.width = 1;
  if (p.height < 1) p.height = 1;
  p.x = (outputWidth - p.width) / 2;
  p.y = (outputHeight - p.height) / 2;
  return p;
}

Uint32 directTextureFormat(const PixelLayout &layout) {
  if (layout == layout24()) return SDL_PIXELFORMAT_RGB24;
  if (layout == layout32()) return SDL_PIXELFORMAT_RGB888;  // X8R8G8B8
  // 15 and 16 bits are widened here, the layer's way: renderers differ in
  // how they widen (llvmpipe shows 565 white with green 254).
  return SDL_PIXELFORMAT_UNKNOWN;
}

void convertToRgb24(const PixelBuffer &frame, uint8_t *out, int outPitch) {
  if (frame.layout.bitsPerPixel == 8) {
    const uint32_t *palette = frame.palette ? frame.palette : defaultPalette();
    for (int y = 0; y < frame.height; ++y) {
      const uint8_t *src = frame.row(y);
      uint8_t *dst = out + static_cast<intptr_t>(y) * outPitch;
      for (int x = 0; x < frame.width; ++x) {
        const uint32_t c = palette[src[x]];  // 0x00BBGGRR
        dst[3 * x] = static_cast<uint8_t>(c);
        dst[3 * x + 1] = static_cast<uint8_t>(c >> 8);
        dst[3 * x + 2] = static_cast<uint8_t>(c >> 16);
      }
    }
    return;
  }
  if (frame.layout == layout24()) {
    for (int y = 0; y < frame.height; ++y) {
      std::memcpy(out + static_cast<intptr_t>(y) * outPitch, frame.row(y), static_cast<size_t>(frame.width) * 3);
    }
    return;
  }
  for (int y = 0; y < frame.height; ++y) {
    uint8_t *dst = out + static_cast<intptr_t>(y) * outPitch;
    for (int x = 0; x < frame.width; ++x) {
      const uint32_t c = unpackColor(frame.layout, readPixel(frame, x, y), frame.palette);
      dst[3 * x] = static_cast<uint8_t>(c);
      dst[3 * x + 1] = static_cast<uint8_t>(c >> 8);
      dst[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
}

void FramePacer::setRefreshRate(double refreshHz) {
  if (!(refreshHz >= 20.0 && refreshHz <= 500.0)) refreshHz = 60.0;
  interval_ = 1.0 / refreshHz;
}

double FramePacer::afterPresent(double now, double presentSeconds, bool rendererClaimsVsync) {
  // A present that blocks for most of a refresh waited for the display
  // itself; a little hysteresis keeps the verdict from flickering.
  averagePresent_ = started_ ? averagePresent_ * 0.75 + presentSeconds * 0.25 : presentSeconds;
  if (!rendererClaimsVsync)
    vsyncTrusted_ = false;
  else if (averagePresent_ > 0.6 * interval_)
    vsyncTrusted_ = true;
  else if (averagePresent_ < 0.4 * interval_)
    vsyncTrusted_ = false;

  if (!started_ || vsyncTrusted_) {
    started_ = true;
    next_ = now + interval_;
    return 0;
  }
  return untilNextDeadline(now);
}

double FramePacer::afterSkip(double now) {
  if (!started_) {
    started_ = true;
    next_ = now + interval_;
    return 0;
  }
  return untilNextDeadline(now);
}

double FramePacer::untilNextDeadline(double now) {
  if (now >= next_) {
    // Late: keep to the beat if only a little behind, start afresh if more.
    next_ = now - next_ > interval_ ? now + interval_ : next_ + interval_;
    return 0;
  }
  const double wait = next_ - now;
  next_ += interval_;
  return wait;
}

}  // namespace layer::sdl

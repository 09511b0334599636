// Frame handling of the SDL host that needs no display: where a frame lands
// in a window, how its pixels reach a texture, and the pace of presents.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "core/pixels.h"

namespace layer::sdl {

struct Placement {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Placement &other) const = default;
};

// The frame centred in the output with its aspect kept: enlarged by the
// largest whole factor that fits, or shrunk to fit when even 1x does not.
Placement placeFrame(int outputWidth, int outputHeight, int frameWidth, int frameHeight);

// The SDL pixel format that holds a layout's pixels as they are, or
// SDL_PIXELFORMAT_UNKNOWN when the frame has to be converted first.
Uint32 directTextureFormat(const PixelLayout &layout);

// Writes the frame as RGB24 bytes (red first) into `out`, `outPitch` bytes
// per row. Eight-bit frames go through their palette, or the layer's
// default palette when they have none.
void convertToRgb24(const PixelBuffer &frame, uint8_t *out, int outPitch);

// Paces presents to a refresh rate where the renderer does not. Told how
// long each present took, it decides whether the present itself waited for
// the display (real vsync) and otherwise says how long to sleep so that
// presents follow one another once per refresh.
class FramePacer {
 public:
  explicit FramePacer(double refreshHz = 60.0) { setRefreshRate(refreshHz); }
  // Rates outside 20..500 Hz (unknown, 0) count as 60 Hz.
  void setRefreshRate(double refreshHz);
  double interval() const { return interval_; }
  // Called right after a present finished at `now` (seconds) having taken
  // `presentSeconds`; returns the seconds to sleep before the next frame.
  // A renderer that does not claim vsync is never trusted to wait.
  double afterPresent(double now, double presentSeconds, bool rendererClaimsVsync = true);
  // Called for a frame that was not presented (it was already on the
  // screen); returns the seconds to sleep so that it still takes one
  // refresh, on the beat of the presents before it.
  double afterSkip(double now);
  bool vsyncTrusted() const { return vsyncTrusted_; }
  double averagePresent() const { return averagePresent_; }

 private:
  double untilNextDeadline(double now);

  double interval_ = 1.0 / 60.0;
  double next_ = 0;
  double averagePresent_ = 0;
  bool started_ = false;
  bool vsyncTrusted_ = false;
};

}  // namespace layer::sdl

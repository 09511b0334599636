// A picture held in an offscreen DirectDraw surface of its own size, in the
// display's pixel layout: loaded from a bitmap file, drawn scaled and clipped
// onto the owner's back buffer, and recoloured in place.
#pragma once

#include <ddraw.h>
#include <windows.h>

#include <cstdint>

#include "graphics/clip_rect.h"
#include "graphics/display_surfaces.h"

// The per-pixel colour operations. Any other code leaves a pixel's channels
// as they are.
enum class ColorOp : int32_t { Grayscale = 0, Brighten = 1, Darken = 2, Invert = 3, AddColor = 4 };

// Pixel layouts, named by the value the walk works with.
enum class PixelFormat : int32_t {
  Unsupported = -1,
  Rgb555 = 15,  // 16-bit word, green mask 0x3E0
  Rgb565 = 16,  // 16-bit word, any other green mask
  Rgb24 = 24,   // three bytes, red at the lowest address
  Rgb32 = 32,   // 32-bit word, red in bits 16-23, top byte kept
};

class Graphic {
 public:
  DisplaySurfaces *owner;       // the screen the picture was loaded through; not owned
  IDirectDrawSurface *surface;  // owned
  char fileName[50];            // the name given to the last load, found again by restore
  bool colorKeyEnabled;
  int32_t width;      // as the bitmap gave it at the last successful load
  int32_t height;     // likewise
  DDBLTFX bltFx;      // passed with every blit; zero but for its size
  uint32_t colorKey;  // 0x00BBGGRR

  Graphic();
  ~Graphic();
  Graphic(const Graphic &) = delete;
  Graphic &operator=(const Graphic &) = delete;

  // Forgets the owner and the surface and turns the colour key off, without
  // releasing anything.
  void reset();

  // Loading and restoring.
  bool load(const char *name, DisplaySurfaces *newOwner);
  bool load(const char *name);
  HRESULT restore();

  // Stretches the whole picture to destWidth by destHeight at (x, y) on the owner's
  // back buffer, keeping only what lies inside clip.
  void draw(int32_t x, int32_t y, int32_t destWidth, int32_t destHeight, const ClipRect &clip);

  // Colour operations on the whole picture, in place. Each returns what
  // applyColorOp returns.
  int32_t grayscale();
  int32_t invert();
  int32_t brighten(float amount);                        // amount clamped into 0..1
  int32_t darken(float amount);                          // amount clamped into 0..1
  int32_t addColor(float red, float green, float blue);  // each clamped into -1..1

  // One pixel's channels (0..255 each), changed in place by op with one
  // amount per channel. Defined below so that the surface walk inlines it.
  static void transformPixel(ColorOp op, int32_t &red, int32_t &green, int32_t &blue, float redAmount,
                             float greenAmount, float blueAmount);

  // The display's current layout; Unsupported when it has none of ours or
  // cannot be asked.
  PixelFormat pixelFormat();
  // Locks the whole surface without waiting; a failed lock leaves the
  // description all zeros. The caller unlocks.
  void lockSurface(DDSURFACEDESC &description);
  // Applies op to every pixel (but those matching an enabled colour key).
  // -1 for an unsupported layout; 0 otherwise.
  int32_t applyColorOp(ColorOp op, float redAmount, float greenAmount, float blueAmount);
};

// Clamps value into lo..hi in place; anything not at least lo (NaN too)
// becomes lo.
void clampFloat(float &value, float lo, float hi);

namespace graphicMath {

// A double to a signed 32-bit integer, truncating toward zero. Values beyond
// the range saturate instead of being undefined; NaN gives 0.
inline int32_t truncate(double value) {
  if (value >= 2147483647.0) return 2147483647;
  if (value > -2147483648.0) return static_cast<int32_t>(value);
  return value == value ? -2147483647 - 1 : 0;
}

// Moves c toward 255 by the fraction a of its distance.
inline int32_t brightenChannel(int32_t c, float a) { return truncate((255 - c) * static_cast<double>(a) + c); }

// Scales c by 1 - a.
inline int32_t darkenChannel(int32_t c, float a) { return truncate((1 - static_cast<double>(a)) * c); }

// Brightens by a non-negative amount, darkens by the magnitude of a negative one.
inline int32_t addToChannel(int32_t c, float a) {
  return a < 0.0f ? truncate((1 + static_cast<double>(a)) * c) : brightenChannel(c, a);
}

}  // namespace graphicMath

inline void Graphic::transformPixel(ColorOp op, int32_t &red, int32_t &green, int32_t &blue, float redAmount,
                                    float greenAmount, float blueAmount) {
  using namespace graphicMath;
  switch (static_cast<uint32_t>(op)) {
    case static_cast<uint32_t>(ColorOp::Grayscale): {
      int32_t average = (red + green + blue) / 3;
      red = green = blue = average;
      break;
    }
    case static_cast<uint32_t>(ColorOp::Brighten):
      red = brightenChannel(red, redAmount);
      green = brightenChannel(green, greenAmount);
      blue = brightenChannel(blue, blueAmount);
      break;
    case static_cast<uint32_t>(ColorOp::Darken):
      red = darkenChannel(red, redAmount);
      green = darkenChannel(green, greenAmount);
      blue = darkenChannel(blue, blueAmount);
      break;
    case static_cast<uint32_t>(ColorOp::Invert):
      red = 255 - red;
      green = 255 - green;
      blue = 255 - blue;
      break;
    case static_cast<uint32_t>(ColorOp::AddColor):
      red = addToChannel(red, redAmount);
      green = addToChannel(green, greenAmount);
      blue = addToChannel(blue, blueAmount);
      break;
    default:
      break;
  }
}

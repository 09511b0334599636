// A colour operation over the whole surface: the display's layout, the lock,
// the walk, the unlock.
#include <cstring>

#include "graphics/graphic.h"
#include "graphics/pixel_walk.h"

PixelFormat Graphic::pixelFormat() {
  if (owner == nullptr || owner->directDraw == nullptr) return PixelFormat::Unsupported;
  DDSURFACEDESC mode;
  std::memset(&mode, 0, sizeof(mode));
  mode.dwSize = sizeof(mode);
  // A failed query leaves no mode to go by.
  if (owner->directDraw->GetDisplayMode(&mode) != DD_OK) return PixelFormat::Unsupported;
  switch (mode.ddpfPixelFormat.dwRGBBitCount) {
    case 16:
      return mode.ddpfPixelFormat.dwGBitMask == 0x3E0 ? PixelFormat::Rgb555 : PixelFormat::Rgb565;
    case 24:
      return PixelFormat::Rgb24;
    case 32:
      return PixelFormat::Rgb32;
    default:
      return PixelFormat::Unsupported;
  }
}

void Graphic::lockSurface(DDSURFACEDESC &description) {
  std::memset(&description, 0, sizeof(description));
  description.dwSize = sizeof(description);
  if (surface->Lock(nullptr, &description, 0, nullptr) != DD_OK) std::memset(&description, 0, sizeof(description));
}

int32_t Graphic::applyColorOp(ColorOp op, float redAmount, float greenAmount, float blueAmount) {
  if (surface == nullptr) return 0;
  PixelFormat format = pixelFormat();
  if (format == PixelFormat::Unsupported) return -1;

  DDSURFACEDESC description;
  lockSurface(description);
  if (description.lpSurface == nullptr) {
    surface->Unlock(nullptr);
    return 0;
  }
  if (format == PixelFormat::Rgb32) {
    char line[32];
    wsprintfA(line, "pitch: %i\n", static_cast<int>(description.lPitch));
    OutputDebugStringA(line);
  }
  PixelRows rows;
  rows.first = static_cast<uint8_t *>(description.lpSurface);
  rows.pitch = description.lPitch;
  rows.width = width;
  rows.height = height;
  ColorKey key;
  key.enabled = colorKeyEnabled;
  key.value = colorKey;
  walkPixels(format, rows, op, redAmount, greenAmount, blueAmount, key);
  surface->Unlock(nullptr);
  return 0;
}

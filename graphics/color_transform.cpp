// The public colour operations: clamp the amounts, then walk the surface.
#include "graphics/graphic.h"

void clampFloat(float &value, float lo, float hi) {
  if (!(value >= lo)) value = lo;
  if (value > hi) value = hi;
}

int32_t Graphic::grayscale() { return applyColorOp(ColorOp::Grayscale, 0.0f, 0.0f, 0.0f); }

int32_t Graphic::invert() { return applyColorOp(ColorOp::Invert, 0.0f, 0.0f, 0.0f); }

int32_t Graphic::brighten(float amount) {
  clampFloat(amount, 0.0f, 1.0f);
  return applyColorOp(ColorOp::Brighten, amount, amount, amount);
}

int32_t Graphic::darken(float amount) {
  clampFloat(amount, 0.0f, 1.0f);
  return applyColorOp(ColorOp::Darken, amount, amount, amount);
}

int32_t Graphic::addColor(float red, float green, float blue) {
  clampFloat(red, -1.0f, 1.0f);
  clampFloat(green, -1.0f, 1.0f);
  clampFloat(blue, -1.0f, 1.0f);
  return applyColorOp(ColorOp::AddColor, red, green, blue);
}

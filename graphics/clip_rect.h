// A rectangle in screen pixels that drawing is cut to. Right and bottom are
// exclusive for drawing; lines drawn along it include both ends.
#pragma once

#include <cstdint>

struct ClipRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

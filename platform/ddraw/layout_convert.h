// Copies pixels between two buffers of one size whose layouts differ: how a
// surface kept in GDI's order is shown to a program that locks it.
#pragma once

#include "core/pixels.h"

namespace layer::ddraw {

// `from` and `to` have the same width and height; each keeps its own pitch
// and layout.
void convertPixels(const PixelBuffer &from, const PixelBuffer &to);

}  // namespace layer::ddraw

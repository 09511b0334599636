// Channel maps: for every operation but Grayscale a channel's new value
// depends only on its old value and its own amount, so each channel's 256
// possible values are put through Graphic::transformPixel once and the
// pixels are then changed by table. Every pixel gets exactly what
// transforming it one by one would give it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/graphic.h"
#include "graphics/pixel_walk.h"

struct ChannelMaps {
  uint8_t red[256];
  uint8_t green[256];
  uint8_t blue[256];
};

// True for the operations whose channels are transformed independently.
bool channelsIndependent(ColorOp op);

// Each channel's new value for every old one. Values outside 0..255 (only
// amounts outside the public ranges give them) are clamped.
void buildChannelMaps(ColorOp op, float redAmount, float greenAmount, float blueAmount, ChannelMaps &maps);

// Applies the maps to every pixel of the rows in the given layout, unpacking
// and packing each as the walk does.
void mapPixels(PixelFormat format, const PixelRows &rows, ptrdiff_t step, const ChannelMaps &maps);

// Drawing a picture stretched and cut to a clip rectangle. The cuts are made
// here, with the source cut in proportion, so the blit gets only the visible
// part; no clipper is attached to the back buffer.
#include "graphics/graphic.h"

namespace {

// Source pixels for a cut of `cut` destination pixels at `factor` source
// pixels per destination pixel, halves rounded up.
int32_t sourceCut(int64_t cut, double factor) { return graphicMath::truncate(static_cast<double>(cut) * factor + 0.5); }

}  // namespace

void Graphic::draw(int32_t x, int32_t y, int32_t destWidth, int32_t destHeight, const ClipRect &clip) {
  // No caller asks for an empty or negative size; the factors would be
  // infinite or negative.
  if (destWidth <= 0 || destHeight <= 0) return;

  DWORD flags = DDBLT_WAIT;
  if (colorKeyEnabled) flags |= DDBLT_KEYSRC;

  const int64_t right = int64_t{x} + destWidth;
  const int64_t bottom = int64_t{y} + destHeight;
  RECT source = {0, 0, width, height};
  RECT destination = {x, y, static_cast<LONG>(right), static_cast<LONG>(bottom)};

  const double fx = static_cast<double>(width) / destWidth;
  const float fy = static_cast<float>(static_cast<double>(height) / destHeight);

  if (x < clip.left) {
    source.left = sourceCut(int64_t{clip.left} - x, fx);
    destination.left = clip.left;
  }
  if (y < clip.top) {
    source.top = sourceCut(int64_t{clip.top} - y, fy);
    destination.top = clip.top;
  }
  if (right > clip.right) {
    source.right = width - sourceCut(right - clip.right, fx);
    destination.right = clip.right;
  }
  if (bottom > clip.bottom) {
    source.bottom = height - sourceCut(bottom - clip.bottom, fy);
    destination.bottom = clip.bottom;
  }
  // Strict: a destination of zero width or height still goes to the blit.
  if (destination.right < destination.left || destination.bottom < destination.top) return;
  if (surface == nullptr) return;
  if (owner == nullptr || owner->backBuffer == nullptr) return;

  if (owner->backBuffer->Blt(&destination, surface, &source, flags, &bltFx) != DD_OK) restore();
}

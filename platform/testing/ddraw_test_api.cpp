// The DirectDraw part of the layer's test API.
#include <algorithm>
#include <cstring>

#include "ddraw/ddraw_internal.h"
#include "ddraw/ddraw_objects.h"
#include "layer_test.h"

namespace layer {
namespace {

PixelLayout imageLayout(const SurfaceImage &image) {
  PixelLayout layout = layout32();
  if (image.bitsPerPixel == 16 && image.greenMask == 0)
    ddraw::layoutForDepth(16, &layout);
  else if (image.bitsPerPixel == 16)
    layout = image.greenMask == layout555().greenMask ? layout555() : layout565();
  else
    ddraw::layoutForDepth(image.bitsPerPixel, &layout);
  return layout;
}

PixelBuffer imageBuffer(const SurfaceImage &image) {
  PixelBuffer buffer;
  buffer.bits = const_cast<uint8_t *>(image.bytes.data());
  buffer.width = image.width;
  buffer.height = image.height;
  buffer.pitch = image.pitch;
  buffer.layout = imageLayout(image);
  return buffer;
}

}  // namespace

uint32_t SurfaceImage::pixel(int x, int y) const {
  PixelBuffer buffer = imageBuffer(*this);
  if (!buffer.contains(x, y) || bytes.size() < static_cast<size_t>(height) * pitch) return 0;
  return readPixel(buffer, x, y);
}

uint32_t SurfaceImage::color(int x, int y) const { return unpackColor(imageLayout(*this), pixel(x, y)); }

SurfaceImage readSurface(IDirectDrawSurface *surface) {
  SurfaceImage image;
  ddraw::Surface *s = ddraw::toSurface(surface);
  if (!s || !s->pixels.bits) return image;
  image.width = s->pixels.width;
  image.height = s->pixels.height;
  image.pitch = s->pixels.pitch;
  image.bitsPerPixel = s->pixels.layout.bitsPerPixel;
  if (image.bitsPerPixel == 16) image.greenMask = s->pixels.layout.greenMask;
  image.bytes.assign(s->pixels.bits, s->pixels.bits + static_cast<size_t>(image.height) * image.pitch);
  return image;
}

void writeSurface(IDirectDrawSurface *surface, const SurfaceImage &image) {
  ddraw::Surface *s = ddraw::toSurface(surface);
  if (!s || !s->pixels.bits) return;
  const PixelBuffer &p = s->pixels;
  if (image.width != p.width || image.height != p.height || image.bitsPerPixel != p.layout.bitsPerPixel) return;
  if (image.bytes.size() < static_cast<size_t>(image.height) * image.pitch) return;
  const size_t rowBytes = static_cast<size_t>(p.width) * p.layout.bytesPerPixel();
  if (static_cast<size_t>(image.pitch) < rowBytes) return;
  for (int y = 0; y < p.height; ++y)
    std::memcpy(p.row(y), image.bytes.data() + static_cast<size_t>(y) * image.pitch, rowBytes);
}

void loseSurface(IDirectDrawSurface *surface) {
  if (ddraw::Surface *s = ddraw::toSurface(surface)) s->lose();
}

void loseAllSurfaces() { ddraw::loseAllSurfaces(); }

bool isSurfaceLocked(IDirectDrawSurface *surface) {
  ddraw::Surface *s = ddraw::toSurface(surface);
  return s && s->locked;
}

bool isSurfaceBusy(IDirectDrawSurface *surface) {
  ddraw::Surface *s = ddraw::toSurface(surface);
  return s && s->busy();
}

int liveSurfaceCount() {
  const auto &all = ddraw::state().surfaces;
  return static_cast<int>(std::count_if(all.begin(), all.end(), [](const ddraw::Surface *s) { return !s->forgotten; }));
}

int liveDirectDrawCount() { return static_cast<int>(ddraw::state().objects.size()); }

void setExtraPitch(int bytes) { ddraw::state().extraPitch = std::max(bytes, 0); }

void setUse555(bool use555) { ddraw::state().use555 = use555; }

std::string surfaceLabel(IDirectDrawSurface *surface) {
  ddraw::Surface *s = ddraw::toSurface(surface);
  return s ? s->label : std::string();
}

}  // namespace layer

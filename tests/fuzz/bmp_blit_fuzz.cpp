// Fuzzes decoding followed by the copies that bring a bitmap into a picture
// surface: BitBlt and StretchBlt from a memory DC into a DirectDraw
// offscreen surface, the system's own copyBitmapToSurface and copyBitmap,
// and a colour operation over the result. The surface has the display's
// layout (8, 15, 16, 24 or 32 bits) and an odd size and pitch; sizes,
// positions and extents come from the input.
//
// Input: a 24-byte parameter block, then the BMP file.
//   0 layout (8, 15, 16, 24, 32)   1 extra pitch bytes     2, 3 surface size
//   4, 5 size asked of LoadImageA  6 shift for the numbers 7 colour operation
//   8.. x, y, width, height, source x, source y, source width, source height
//       (signed 16-bit, shifted left by the shift)
//
// Checked: BitBlt and StretchBlt write exactly the pixels their rectangles
// cover, each with the colour of the source pixel it samples (as far as the
// layout holds it), and leave every other pixel and the padding past each
// row alone; Graphic::draw (the picture stretched onto a back buffer at x, y
// by source width and height, clipped to source x, y by width and height)
// writes nothing outside its clip rectangle and destination; nothing leaks
// and nothing stays locked.
#include <ddraw.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/pixels.h"
#include "fuzz_check.h"
#include "graphics/bitmap_loading.h"
#include "graphics/graphic.h"
#include "host/headless/headless_host.h"
#include "layer_test.h"

namespace {

constexpr size_t kParameterBytes = 24;
constexpr int kBackWidth = 67, kBackHeight = 45;  // the back buffer the picture is drawn onto
const int kLayouts[] = {8, 15, 16, 24, 32};

struct Parameters {
  int layout = 24;
  int extraPitch = 0;
  int width = 1, height = 1;
  int loadWidth = 0, loadHeight = 0;
  ColorOp op = ColorOp::Invert;
  bool applyOp = false;
  int32_t x = 0, y = 0, w = 0, h = 0, sx = 0, sy = 0, sw = 0, sh = 0;
};

Parameters readParameters(fuzzing::ParameterReader &in) {
  Parameters p;
  p.layout = kLayouts[in.byte() % 5];
  p.extraPitch = in.byte() % 16;
  p.width = in.byte() % 61 + 1;
  p.height = in.byte() % 61 + 1;
  uint8_t lw = in.byte(), lh = in.byte();
  p.loadWidth = lw % 4 == 0 ? lw % 50 : 0;
  p.loadHeight = lh % 4 == 0 ? lh % 50 : 0;
  const int shift = in.byte() % 20;
  const uint8_t op = in.byte();
  p.applyOp = op % 6 != 5;
  p.op = static_cast<ColorOp>(op % 6);
  auto number = [&] { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int32_t>(in.s16())) << shift); };
  p.x = number(), p.y = number(), p.w = number(), p.h = number();
  p.sx = number(), p.sy = number(), p.sw = number(), p.sh = number();
  return p;
}

// Whether a pixel read back from the surface is the source colour as far as
// the layout can hold it.
bool sameColor(int layout, COLORREF expected, COLORREF got) {
  auto channel = [](COLORREF c, int i) { return static_cast<int>((c >> (8 * i)) & 0xFF); };
  switch (layout) {
    case 8:
      return got == layer::defaultPalette()[layer::nearestPaletteIndex(layer::defaultPalette(), expected)];
    case 15:
      for (int i = 0; i < 3; ++i)
        if (channel(expected, i) >> 3 != channel(got, i) >> 3) return false;
      return true;
    case 16:
      for (int i = 0; i < 3; ++i)
        if (channel(expected, i) >> (i == 1 ? 2 : 3) != channel(got, i) >> (i == 1 ? 2 : 3)) return false;
      return true;
    default:
      return expected == got;
  }
}

// One axis of a transfer as the platform defines it: destination pixel i of
// the normalised rectangle samples the source under its centre, mirrored
// when exactly one extent is negative. Returns false when nothing is drawn.
struct Axis {
  int64_t destStart = 0, destCount = 0, sourceStart = 0, sourceCount = 0;
  bool mirror = false;
  int64_t sourceFor(int64_t i) const {
    int64_t offset = static_cast<int64_t>((static_cast<__int128>(2 * i + 1) * sourceCount) / (2 * destCount));
    return sourceStart + (mirror ? sourceCount - 1 - offset : offset);
  }
};

Axis axis(int32_t dest, int32_t destExtent, int32_t source, int32_t sourceExtent) {
  Axis a;
  a.mirror = (destExtent < 0) != (sourceExtent < 0);
  a.destStart = destExtent < 0 ? int64_t{dest} + destExtent : dest;
  a.destCount = destExtent < 0 ? -int64_t{destExtent} : destExtent;
  a.sourceStart = sourceExtent < 0 ? int64_t{source} + sourceExtent : source;
  a.sourceCount = sourceExtent < 0 ? -int64_t{sourceExtent} : sourceExtent;
  return a;
}

struct Picture {
  std::vector<COLORREF> pixels;
  int width = 0, height = 0;
  COLORREF at(int64_t x, int64_t y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// The surface's colours and its raw bytes (padding included).
struct Snapshot {
  layer::SurfaceImage image;
  COLORREF at(int x, int y) const { return image.color(x, y); }
};

Snapshot snapshot(IDirectDrawSurface *surface) { return Snapshot{layer::readSurface(surface)}; }

void checkPadding(const Snapshot &s, const char *after) {
  const layer::SurfaceImage &image = s.image;
  const size_t rowBytes = static_cast<size_t>(image.width) * static_cast<size_t>((image.bitsPerPixel + 7) / 8);
  for (int y = 0; y < image.height; ++y)
    for (size_t i = rowBytes; i < static_cast<size_t>(image.pitch); ++i)
      FUZZ_CHECK(image.bytes[static_cast<size_t>(y) * image.pitch + i] == 0,
                 "%s wrote into the padding of row %d (byte %zu of a %d-byte pitch)", after, y, i, image.pitch);
}

// Compares the surface after a transfer with the one before and the source.
void checkTransfer(const char *name, int layout, const Snapshot &before, const Snapshot &after, const Picture &source,
                   const Axis &columns, const Axis &rows) {
  checkPadding(after, name);
  const int width = after.image.width, height = after.image.height;
  if (columns.destCount == 0 || rows.destCount == 0 || columns.sourceCount == 0 || rows.sourceCount == 0) {
    FUZZ_CHECK(before.image.bytes == after.image.bytes, "%s with an empty extent changed the surface", name);
    return;
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int64_t i = x - columns.destStart, j = y - rows.destStart;
      bool drawn = i >= 0 && i < columns.destCount && j >= 0 && j < rows.destCount;
      int64_t sx = 0, sy = 0;
      if (drawn) {
        sx = columns.sourceFor(i);
        sy = rows.sourceFor(j);
        drawn = sx >= 0 && sx < source.width && sy >= 0 && sy < source.height;
      }
      if (!drawn) {
        FUZZ_CHECK(before.at(x, y) == after.at(x, y), "%s changed (%d, %d) outside what it copies", name, x, y);
        continue;
      }
      FUZZ_CHECK(sameColor(layout, source.at(sx, sy), after.at(x, y)),
                 "%s put 0x%06X at (%d, %d) for source (%lld, %lld) of colour 0x%06X", name, unsigned(after.at(x, y)),
                 x, y, static_cast<long long>(sx), static_cast<long long>(sy), unsigned(source.at(sx, sy)));
    }
  }
}

// A pattern in every pixel, so that a pixel written by mistake shows.
void fillPattern(IDirectDrawSurface *surface) {
  layer::SurfaceImage image = layer::readSurface(surface);
  const int bytes = (image.bitsPerPixel + 7) / 8;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width * bytes; ++x)
      image.bytes[static_cast<size_t>(y) * image.pitch + x] = static_cast<uint8_t>(37 * x + 11 * y + 5);
  layer::writeSurface(surface, image);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  setenv("CORVANE_QUIET_DEBUG", "1", 0);  // the 32-bit walk's pitch line, once per input
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < kParameterBytes) return 0;
  fuzzing::ParameterReader in(data, size);
  const Parameters p = readParameters(in);
  if (fuzzing::hugeRle(in.rest(), in.restSize())) return 0;

  layer::reset();
  layer::setUse555(p.layout == 15);
  layer::headless::setDesktopDepth(p.layout == 15 ? 16 : p.layout);
  layer::setExtraPitch(p.extraPitch);
  const int objectsAtStart = layer::liveGdiObjectCount();

  layer::registerBitmapResource("fuzz", std::vector<uint8_t>(in.rest(), in.rest() + in.restSize()));
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), "fuzz", IMAGE_BITMAP, p.loadWidth, p.loadHeight, LR_CREATEDIBSECTION));
  if (!bitmap) return 0;

  DisplaySurfaces display;
  FUZZ_CHECK(DirectDrawCreate(nullptr, &display.directDraw, nullptr) == DD_OK, "no DirectDraw object");
  FUZZ_CHECK(display.directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL) == DD_OK, "no cooperative level");
  IDirectDrawSurface *surface = createOffscreenSurface(display.directDraw, p.width, p.height);
  FUZZ_CHECK(surface != nullptr, "no %dx%d surface", p.width, p.height);
  fillPattern(surface);

  HDC memory = CreateCompatibleDC(nullptr);
  FUZZ_CHECK(memory != nullptr, "no memory DC");
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BITMAP info;
  std::memset(&info, 0, sizeof(info));
  GetObjectA(bitmap, sizeof(info), &info);
  Picture source;
  source.width = info.bmWidth;
  source.height = info.bmHeight;
  if (p.loadWidth) FUZZ_CHECK(source.width == p.loadWidth, "asked for width %d, got %d", p.loadWidth, source.width);
  if (p.loadHeight)
    FUZZ_CHECK(source.height == p.loadHeight, "asked for height %d, got %d", p.loadHeight, source.height);
  // The source's colours, read once for the checks; a picture too large to
  // read quickly is copied all the same, without them.
  const bool wholeSource = int64_t{source.width} * source.height <= 65536;
  if (wholeSource) {
    source.pixels.resize(static_cast<size_t>(source.width) * static_cast<size_t>(source.height));
    for (int y = 0; y < source.height; ++y)
      for (int x = 0; x < source.width; ++x)
        source.pixels[static_cast<size_t>(y) * source.width + x] = GetPixel(memory, x, y);
  }

  HDC target = nullptr;
  FUZZ_CHECK(surface->GetDC(&target) == DD_OK, "no DC on the surface");
  Snapshot before = snapshot(surface);
  BitBlt(target, p.x, p.y, p.w, p.h, memory, p.sx, p.sy, SRCCOPY);
  Snapshot afterBitBlt = snapshot(surface);
  // BitBlt's extents are the destination's, with the same sign on both sides.
  if (wholeSource)
    checkTransfer("BitBlt", p.layout, before, afterBitBlt, source, axis(p.x, p.w, p.sx, p.w),
                  axis(p.y, p.h, p.sy, p.h));
  StretchBlt(target, p.x, p.y, p.w, p.h, memory, p.sx, p.sy, p.sw, p.sh, SRCCOPY);
  Snapshot afterStretch = snapshot(surface);
  if (wholeSource)
    checkTransfer("StretchBlt", p.layout, afterBitBlt, afterStretch, source, axis(p.x, p.w, p.sx, p.sw),
                  axis(p.y, p.h, p.sy, p.sh));
  FUZZ_CHECK(surface->ReleaseDC(target) == DD_OK, "ReleaseDC failed");
  SelectObject(memory, previous);
  FUZZ_CHECK(DeleteDC(memory), "DeleteDC failed");

  // The system's own ways in: the copy at load and the stretch at restore.
  copyBitmapToSurface(surface, bitmap, p.width, p.height);
  checkPadding(snapshot(surface), "copyBitmapToSurface");
  copyBitmap(surface, bitmap, p.sx, p.sy, p.sw, p.sh);
  checkPadding(snapshot(surface), "copyBitmap");

  {
    Graphic graphic;
    graphic.owner = &display;
    graphic.surface = surface;
    graphic.width = p.width;
    graphic.height = p.height;
    if (p.applyOp) {
      const int32_t result = graphic.applyColorOp(p.op, 0.5f, -0.25f, 0.75f);
      FUZZ_CHECK(result == (p.layout == 8 ? -1 : 0), "colour operation gave %d at %d bits", int(result), p.layout);
      // The walk steps rows by whole pixels; only a pitch of whole pixels keeps
      // it off the padding.
      const layer::SurfaceImage image = layer::readSurface(surface);
      if (image.pitch % ((image.bitsPerPixel + 7) / 8) == 0) checkPadding(Snapshot{image}, "applyColorOp");
    }
    FUZZ_CHECK(!layer::isSurfaceBusy(surface), "the surface stays locked or keeps a DC");

    // The picture drawn scaled and clipped onto a back buffer by DirectDraw's
    // stretching blit: nothing changes outside the clip rectangle, nor
    // outside the destination, nor in the padding.
    display.backBuffer = createOffscreenSurface(display.directDraw, kBackWidth, kBackHeight);
    FUZZ_CHECK(display.backBuffer != nullptr, "no back buffer");
    fillPattern(display.backBuffer);
    const Snapshot beforeDraw = snapshot(display.backBuffer);
    const ClipRect clip = {p.sx, p.sy, static_cast<int32_t>(int64_t{p.sx} + p.w),
                           static_cast<int32_t>(int64_t{p.sy} + p.h)};
    graphic.draw(p.x, p.y, p.sw, p.sh, clip);
    const Snapshot afterDraw = snapshot(display.backBuffer);
    checkPadding(afterDraw, "Graphic::draw");
    for (int y = 0; y < kBackHeight; ++y)
      for (int x = 0; x < kBackWidth; ++x) {
        const bool inClip = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
        const bool inDest = x >= p.x && x < int64_t{p.x} + p.sw && y >= p.y && y < int64_t{p.y} + p.sh;
        if (!inClip || !inDest)
          FUZZ_CHECK(beforeDraw.at(x, y) == afterDraw.at(x, y), "Graphic::draw changed (%d, %d) outside %s", x, y,
                     inClip ? "its destination" : "the clip rectangle");
      }
    FUZZ_CHECK(!layer::isSurfaceBusy(surface) && !layer::isSurfaceBusy(display.backBuffer),
               "drawing left a surface locked");
  }  // the Graphic releases the surface

  FUZZ_CHECK(DeleteObject(bitmap), "DeleteObject failed");
  display.release();
  FUZZ_CHECK(layer::liveSurfaceCount() == 0, "%d surfaces left", layer::liveSurfaceCount());
  FUZZ_CHECK(layer::liveGdiObjectCount() == objectsAtStart, "%d GDI objects left over",
             layer::liveGdiObjectCount() - objectsAtStart);
  return 0;
}

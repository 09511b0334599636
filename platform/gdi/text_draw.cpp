// Drawing a line of text into a device context's pixels: the opaque box,
// the glyphs' set bits in the text colour, underline and strike-out, all
// clipped to the target.
#include <windows.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "core/raw_pixel.h"
#include "gdi/font_face.h"
#include "gdi/gdi_objects.h"

namespace layer::gdi {
namespace {

FontFace &faceOf(const DeviceContext &dc) {
  if (dc.font && dc.font->face) return *dc.font->face;
  return builtinFace();
}

PixelRect clipTo(const PixelBuffer &t, long long left, long long top, long long right, long long bottom) {
  auto clampTo = [](long long v, int hi) { return static_cast<int>(std::clamp<long long>(v, 0, hi)); };
  return {clampTo(left, t.width), clampTo(top, t.height), clampTo(right, t.width), clampTo(bottom, t.height)};
}

template <int Bytes>
void fill(const PixelBuffer &t, const PixelRect &r, uint32_t v) {
  if (r.empty()) return;
  // One row pixel by pixel, the others copied from it.
  uint8_t *first = t.row(r.top) + static_cast<size_t>(r.left) * Bytes;
  for (int x = 0; x < r.right - r.left; ++x) storeRaw<Bytes>(first + x * Bytes, v);
  const size_t span = static_cast<size_t>(r.right - r.left) * Bytes;
  for (int y = r.top + 1; y < r.bottom; ++y) std::memcpy(t.row(y) + static_cast<size_t>(r.left) * Bytes, first, span);
}

template <int Bytes>
void plotGlyph(const PixelBuffer &t, const Glyph &g, int gx, int gy, uint32_t v) {
  const int c0 = std::max(0, -gx), c1 = std::min(g.width, t.width - gx);
  const int r0 = std::max(0, -gy), r1 = std::min(g.rows, t.height - gy);
  if (c0 >= c1) return;
  const int firstByte = c0 >> 3, lastByte = (c1 - 1) >> 3;
  // Columns outside [c0, c1) masked off in the first and last byte.
  const unsigned firstMask = 0xFFu >> (c0 & 7), lastMask = (0xFF00u >> (((c1 - 1) & 7) + 1)) & 0xFF;
  for (int r = r0; r < r1; ++r) {
    const uint8_t *src = g.bits.data() + static_cast<size_t>(r) * g.pitch;
    uint8_t *dst = t.row(gy + r);
    for (int k = firstByte; k <= lastByte; ++k) {
      unsigned byte = src[k];
      if (k == firstByte) byte &= firstMask;
      if (k == lastByte) byte &= lastMask;
      while (byte) {
        const int bit = std::countl_zero(static_cast<uint8_t>(byte));
        byte &= ~(0x80u >> bit);
        storeRaw<Bytes>(dst + static_cast<ptrdiff_t>(gx + k * 8 + bit) * Bytes, v);
      }
    }
  }
}

long long advanceOf(FontFace &face, const unsigned char *text, int length) {
  long long advance = 0;
  for (int i = 0; i < length; ++i) advance += face.glyph(text[i]).advance;
  return advance;
}

int clampAdvance(long long advance) { return static_cast<int>(std::min<long long>(advance, INT_MAX)); }

template <int Bytes>
int draw(DeviceContext &dc, FontFace &face, int x, int y, const unsigned char *text, int length) {
  const PixelBuffer &t = dc.target;
  const long long advance = advanceOf(face, text, length);
  const int height = face.metrics.tmHeight;
  const uint32_t ink = packForTarget(t, dc.textColor);
  if (dc.backMode == OPAQUE)
    fill<Bytes>(t, clipTo(t, x, y, x + advance, static_cast<long long>(y) + height), packForTarget(t, dc.backColor));
  // Glyphs, as far as any of them can reach into the target.
  long long pen = x;
  const long long lastPen = static_cast<long long>(t.width) + face.maxLeftOverhang;
  for (int i = 0; i < length && pen < lastPen; ++i) {
    const Glyph &g = face.glyph(text[i]);
    const long long gx = pen + g.left, gy = static_cast<long long>(y) + g.top;
    pen += g.advance;
    if (g.rows == 0 || gx + g.width <= 0 || gy + g.rows <= 0 || gy >= t.height) continue;
    plotGlyph<Bytes>(t, g, static_cast<int>(gx), static_cast<int>(gy), ink);
  }
  // Underline and strike-out run the text's whole advance, in the text colour.
  const long long top = y;
  if (dc.font && dc.font->underline)
    fill<Bytes>(t, clipTo(t, x, top + face.underlineTop, x + advance, top + face.underlineTop + face.underlineRows),
                ink);
  if (dc.font && dc.font->strikeOut)
    fill<Bytes>(t, clipTo(t, x, top + face.strikeOutTop, x + advance, top + face.strikeOutTop + face.strikeOutRows),
                ink);
  return clampAdvance(advance);
}

}  // namespace

int drawText(DeviceContext &dc, int x, int y, const char *text, int length) {
  if (!text || length <= 0) return 0;
  FontFace &face = faceOf(dc);
  const auto *chars = reinterpret_cast<const unsigned char *>(text);
  const PixelBuffer &t = dc.target;
  if (!t.bits || t.width <= 0 || t.height <= 0) return clampAdvance(advanceOf(face, chars, length));
  switch (t.layout.bitsPerPixel) {
    case 8:
      return draw<1>(dc, face, x, y, chars, length);
    case 15:
    case 16:
      return draw<2>(dc, face, x, y, chars, length);
    case 24:
      return draw<3>(dc, face, x, y, chars, length);
    case 32:
      return draw<4>(dc, face, x, y, chars, length);
    default:
      return clampAdvance(advanceOf(face, chars, length));
  }
}

int measureText(DeviceContext &dc, const char *text, int length, int *height) {
  FontFace &face = faceOf(dc);
  if (height) *height = face.metrics.tmHeight;
  if (!text || length <= 0) return 0;
  return clampAdvance(advanceOf(face, reinterpret_cast<const unsigned char *>(text), length));
}

}  // namespace layer::gdi

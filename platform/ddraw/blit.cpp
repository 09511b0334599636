#include "ddraw/blit.h"

#include <cstring>
#include <vector>

namespace layer::ddraw {
namespace {

template <int Bpp>
inline uint32_t loadPixel(const uint8_t *p) {
  if constexpr (Bpp == 1) {
    return p[0];
  } else if constexpr (Bpp == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  } else if constexpr (Bpp == 3) {
    return p[0] | (p[1] << 8) | (p[2] << 16);
  } else {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
}

template <int Bpp>
inline void storePixel(uint8_t *p, uint32_t v) {
  if constexpr (Bpp == 1) {
    p[0] = static_cast<uint8_t>(v);
  } else if constexpr (Bpp == 2) {
    uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
  } else if constexpr (Bpp == 3) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
  } else {
    std::memcpy(p, &v, 4);
  }
}

// Walks nearestSourceIndex(0), (1), ... without a division per step.
class NearestSteps {
 public:
  NearestSteps(int sourceSize, int destSize)
      : denominator_(2 * int64_t(destSize)),
        quotient_(sourceSize / denominator_),
        remainder_(sourceSize % denominator_),
        stepQuotient_(2 * int64_t(sourceSize) / denominator_),
        stepRemainder_(2 * int64_t(sourceSize) % denominator_) {}
  int next() {
    const int index = static_cast<int>(quotient_);
    quotient_ += stepQuotient_;
    remainder_ += stepRemainder_;
    if (remainder_ >= denominator_) {
      remainder_ -= denominator_;
      ++quotient_;
    }
    return index;
  }

 private:
  int64_t denominator_, quotient_, remainder_, stepQuotient_, stepRemainder_;
};

// Byte offsets of the source column of each destination column, relative to
// the source rectangle's left edge. Kept between calls: a program blitting
// the same sizes every frame reuses the table and allocates nothing.
const int32_t *columnOffsets(int destWidth, int sourceWidth, int bytesPerPixel) {
  struct Table {
    std::vector<int32_t> offsets;
    int destWidth = 0, sourceWidth = 0, bytesPerPixel = 0;
  };
  static Table *table = new Table;  // lives through static destruction
  if (table->destWidth != destWidth || table->sourceWidth != sourceWidth || table->bytesPerPixel != bytesPerPixel) {
    table->offsets.resize(static_cast<size_t>(destWidth));
    NearestSteps steps(sourceWidth, destWidth);
    for (int i = 0; i < destWidth; ++i) table->offsets[i] = steps.next() * bytesPerPixel;
    table->destWidth = destWidth;
    table->sourceWidth = sourceWidth;
    table->bytesPerPixel = bytesPerPixel;
  }
  return table->offsets.data();
}

// One destination row from a source row through the column table. In 24-bit
// rows every pixel but the last moves as one 4-byte load and store: the
// fourth byte written is the next pixel's first, which is written again
// next. `lastSourceRow` keeps the 4-byte loads from reading past the buffer.
template <int Bpp>
void scaleRow(uint8_t *dest, const uint8_t *source, const int32_t *offsets, int count, bool lastSourceRow) {
  if constexpr (Bpp == 3) {
    int i = 0;
    if (!lastSourceRow) {
      for (; i + 1 < count; ++i) {
        uint32_t v;
        std::memcpy(&v, source + offsets[i], 4);
        std::memcpy(dest + 3 * i, &v, 4);
      }
    }
    for (; i < count; ++i) std::memcpy(dest + 3 * i, source + offsets[i], 3);
  } else {
    (void)lastSourceRow;
    for (int i = 0; i < count; ++i) storePixel<Bpp>(dest + Bpp * i, loadPixel<Bpp>(source + offsets[i]));
  }
}

template <int Bpp>
void keyRow(uint8_t *dest, const uint8_t *source, const int32_t *offsets, int count, uint32_t key) {
  for (int i = 0; i < count; ++i) {
    uint32_t v = loadPixel<Bpp>(source + offsets[i]);
    if (v != key) storePixel<Bpp>(dest + Bpp * i, v);
  }
}

template <int Bpp>
void stretchSameLayout(const PixelBuffer &dest, const PixelRect &d, const PixelBuffer &source, const PixelRect &s,
                       const uint32_t *sourceKey) {
  const int destWidth = d.width(), destHeight = d.height();
  const int sourceWidth = s.width(), sourceHeight = s.height();
  const size_t rowBytes = static_cast<size_t>(destWidth) * Bpp;
  const bool unscaledColumns = sourceWidth == destWidth;
  const int32_t *offsets = nullptr;
  if (sourceKey || !unscaledColumns) offsets = columnOffsets(destWidth, sourceWidth, Bpp);

  NearestSteps rows(sourceHeight, destHeight);
  int previousSourceY = -1;
  const uint8_t *previousRow = nullptr;
  for (int j = 0; j < destHeight; ++j) {
    const int sourceY = s.top + rows.next();
    uint8_t *out = dest.row(d.top + j) + static_cast<size_t>(d.left) * Bpp;
    const uint8_t *in = source.row(sourceY) + static_cast<size_t>(s.left) * Bpp;
    if (sourceKey) {
      // Skipped pixels keep what each destination row held, so keyed rows
      // are never shared.
      keyRow<Bpp>(out, in, offsets, destWidth, *sourceKey);
    } else if (sourceY == previousSourceY) {
      std::memcpy(out, previousRow, rowBytes);
    } else if (unscaledColumns) {
      std::memcpy(out, in, rowBytes);
    } else {
      scaleRow<Bpp>(out, in, offsets, destWidth, sourceY == source.height - 1);
    }
    previousSourceY = sourceY;
    previousRow = out;
  }
}

// Differing layouts: each pixel through its COLORREF. Correct, not fast.
void stretchConverting(const PixelBuffer &dest, const PixelRect &d, const PixelBuffer &source, const PixelRect &s,
                       const uint32_t *sourceKey) {
  const int destWidth = d.width(), destHeight = d.height();
  for (int j = 0; j < destHeight; ++j) {
    const int sourceY = s.top + nearestSourceIndex(j, s.height(), destHeight);
    for (int i = 0; i < destWidth; ++i) {
      const int sourceX = s.left + nearestSourceIndex(i, s.width(), destWidth);
      uint32_t v = readPixel(source, sourceX, sourceY);
      if (sourceKey && v == *sourceKey) continue;
      uint32_t color = unpackColor(source.layout, v, source.palette);
      writePixel(dest, d.left + i, d.top + j, packColor(dest.layout, color));
    }
  }
}

}  // namespace

uint32_t depthMask(const PixelLayout &layout) {
  return layout.bitsPerPixel >= 32 ? 0xFFFFFFFFu : (1u << layout.bitsPerPixel) - 1;
}

void fillPixels(const PixelBuffer &dest, const PixelRect &rect, uint32_t pixel) {
  const int bpp = dest.layout.bytesPerPixel();
  const int width = rect.width(), height = rect.height();
  if (width <= 0 || height <= 0 || bpp < 1 || bpp > 4) return;
  const size_t rowBytes = static_cast<size_t>(width) * bpp;
  uint8_t *first = dest.row(rect.top) + static_cast<size_t>(rect.left) * bpp;

  uint8_t bytes[4];
  std::memcpy(bytes, &pixel, 4);  // little-endian, as pixels are stored
  bool uniform = true;
  for (int k = 1; k < bpp; ++k) uniform = uniform && bytes[k] == bytes[0];
  if (uniform) {
    for (int y = 0; y < height; ++y) std::memset(first + static_cast<intptr_t>(y) * dest.pitch, bytes[0], rowBytes);
    return;
  }
  // Lay out the first row, then copy it down.
  switch (bpp) {
    case 2:
      for (int x = 0; x < width; ++x) storePixel<2>(first + 2 * x, pixel);
      break;
    case 3:
      for (int x = 0; x < width; ++x) storePixel<3>(first + 3 * x, pixel);
      break;
    default:
      for (int x = 0; x < width; ++x) storePixel<4>(first + 4 * x, pixel);
      break;
  }
  for (int y = 1; y < height; ++y) std::memcpy(first + static_cast<intptr_t>(y) * dest.pitch, first, rowBytes);
}

void stretchPixels(const PixelBuffer &dest, const PixelRect &destRect, const PixelBuffer &source,
                   const PixelRect &sourceRect, const uint32_t *sourceKey) {
  if (destRect.width() <= 0 || destRect.height() <= 0 || sourceRect.width() <= 0 || sourceRect.height() <= 0) return;
  if (!(dest.layout == source.layout)) {
    stretchConverting(dest, destRect, source, sourceRect, sourceKey);
    return;
  }
  switch (dest.layout.bytesPerPixel()) {
    case 1:
      stretchSameLayout<1>(dest, destRect, source, sourceRect, sourceKey);
      break;
    case 2:
      stretchSameLayout<2>(dest, destRect, source, sourceRect, sourceKey);
      break;
    case 3:
      stretchSameLayout<3>(dest, destRect, source, sourceRect, sourceKey);
      break;
    case 4:
      stretchSameLayout<4>(dest, destRect, source, sourceRect, sourceKey);
      break;
  }
}

}  // namespace layer::ddraw

#include "ddraw/blit.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__GNUC__) && defined(__x86_64__)
#define CORVANE_X86_SHUFFLE 1
#include <immintrin.h>

#include "core/processor_features.h"
#include "core/raw_pixel.h"
#endif

namespace layer::ddraw {
namespace {

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

// The column mapping of a stretch, the same for every row. Kept between
// calls: a program blitting the same sizes every frame reuses it and
// allocates nothing.
struct ColumnTable {
  // Byte offset of the source column of each destination column, relative
  // to the source rectangle's left edge.
  std::vector<int32_t> offsets;
  // The row cut into 16-byte destination chunks, each gathered from the 16
  // source bytes at chunkStarts[k] through a byte shuffle (chunkMasks[16k..]).
  // Only where every chunk's source bytes fit in 16 bytes: enlargements and
  // mild shrinks.
  std::vector<int32_t> chunkStarts;
  std::vector<int32_t> chunkReach;  // the highest start among chunks 0 to k
  std::vector<uint8_t> chunkMasks;
  bool chunksFit = false;
  int destWidth = 0, sourceWidth = 0, bytesPerPixel = 0;
};

void planChunks(ColumnTable &table) {
  const int bpp = table.bytesPerPixel;
  const int chunks = table.destWidth * bpp / 16;
  auto sourceByte = [&](int b) { return table.offsets[b / bpp] + b % bpp; };
  table.chunkStarts.resize(static_cast<size_t>(chunks));
  table.chunkReach.resize(static_cast<size_t>(chunks));
  table.chunkMasks.resize(static_cast<size_t>(chunks) * 16);
  table.chunksFit = chunks > 0;
  for (int k = 0; k < chunks && table.chunksFit; ++k) {
    // The chunk's lowest source byte is not always its first: a chunk that
    // starts inside a pixel may take that pixel's first bytes again next.
    int start = sourceByte(16 * k), end = start;
    for (int b = 1; b < 16; ++b) {
      start = std::min(start, sourceByte(16 * k + b));
      end = std::max(end, sourceByte(16 * k + b));
    }
    table.chunksFit = end - start < 16;
    table.chunkStarts[k] = start;
    table.chunkReach[k] = k > 0 ? std::max(table.chunkReach[k - 1], start) : start;
    for (int b = 0; b < 16; ++b) table.chunkMasks[16 * k + b] = static_cast<uint8_t>(sourceByte(16 * k + b) - start);
  }
}

const ColumnTable &columnTable(int destWidth, int sourceWidth, int bytesPerPixel) {
  static ColumnTable *table = new ColumnTable;  // lives through static destruction
  if (table->destWidth != destWidth || table->sourceWidth != sourceWidth || table->bytesPerPixel != bytesPerPixel) {
    table->offsets.resize(static_cast<size_t>(destWidth));
    NearestSteps steps(sourceWidth, destWidth);
    for (int i = 0; i < destWidth; ++i) table->offsets[i] = steps.next() * bytesPerPixel;
    table->destWidth = destWidth;
    table->sourceWidth = sourceWidth;
    table->bytesPerPixel = bytesPerPixel;
    planChunks(*table);
  }
  return *table;
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
    for (int i = 0; i < count; ++i) storeRaw<Bpp>(dest + Bpp * i, loadRaw<Bpp>(source + offsets[i]));
  }
}

#ifdef CORVANE_X86_SHUFFLE
// The first `chunks` 16-byte chunks of a destination row, each one unaligned
// load, byte shuffle and store. The caller makes sure every load stays
// inside the source buffer.
[[gnu::target("ssse3")]] void shuffleChunks(uint8_t *dest, const uint8_t *source, const ColumnTable &table,
                                            int chunks) {
  const int32_t *starts = table.chunkStarts.data();
  const uint8_t *masks = table.chunkMasks.data();
  for (int k = 0; k < chunks; ++k) {
    const __m128i window = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + starts[k]));
    const __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i *>(masks + 16 * k));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dest + 16 * k), _mm_shuffle_epi8(window, mask));
  }
}

// How many bytes can be read from `in`, a pointer into source row `y`, before
// the end of the source buffer.
int64_t readableBytes(const PixelBuffer &source, int y, const uint8_t *in) {
  const int64_t rowEnd = static_cast<int64_t>(source.width) * source.layout.bytesPerPixel();
  const int64_t below = source.pitch >= rowEnd ? static_cast<int64_t>(source.height - 1 - y) * source.pitch : 0;
  return below + rowEnd - (in - source.row(y));
}
#endif

template <int Bpp>
void keyRow(uint8_t *dest, const uint8_t *source, const int32_t *offsets, int count, uint32_t key) {
  for (int i = 0; i < count; ++i) {
    uint32_t v = loadRaw<Bpp>(source + offsets[i]);
    if (v != key) storeRaw<Bpp>(dest + Bpp * i, v);
  }
}

template <int Bpp>
void stretchSameLayout(const PixelBuffer &dest, const PixelRect &d, const PixelBuffer &source, const PixelRect &s,
                       const uint32_t *sourceKey) {
  const int destWidth = d.width(), destHeight = d.height();
  const int sourceWidth = s.width(), sourceHeight = s.height();
  const size_t rowBytes = static_cast<size_t>(destWidth) * Bpp;
  const bool unscaledColumns = sourceWidth == destWidth;
  const ColumnTable *columns = nullptr;
  if (sourceKey || !unscaledColumns) columns = &columnTable(destWidth, sourceWidth, Bpp);
  const int32_t *offsets = columns ? columns->offsets.data() : nullptr;
#ifdef CORVANE_X86_SHUFFLE
  const bool shuffle =
      !sourceKey && !unscaledColumns && columns->chunksFit && processorFeaturePresent(PF_SSSE3_INSTRUCTIONS_AVAILABLE);
#endif

  NearestSteps rows(sourceHeight, destHeight);
  int previousSourceY = -1;
  const uint8_t *previousRow = nullptr;
  for (int j = 0; j < destHeight; ++j) {
    const int sourceY = s.top + rows.next();
    uint8_t *out = dest.row(d.top + j) + static_cast<size_t>(d.left) * Bpp;
    const uint8_t *in = source.row(sourceY) + static_cast<size_t>(s.left) * Bpp;
    const bool lastSourceRow = sourceY == source.height - 1;
    if (sourceKey) {
      // Skipped pixels keep what each destination row held, so keyed rows
      // are never shared.
      keyRow<Bpp>(out, in, offsets, destWidth, *sourceKey);
    } else if (sourceY == previousSourceY) {
      std::memcpy(out, previousRow, rowBytes);
    } else if (unscaledColumns) {
      std::memcpy(out, in, rowBytes);
#ifdef CORVANE_X86_SHUFFLE
    } else if (shuffle) {
      // Chunks whose 16-byte load would run past the buffer, and the bytes
      // after the last whole chunk, go pixel by pixel.
      const std::vector<int32_t> &reach = columns->chunkReach;
      const int64_t readable = readableBytes(source, sourceY, in);
      int chunks = static_cast<int>(reach.size());
      if (reach.back() + 16 > readable)
        chunks = static_cast<int>(std::upper_bound(reach.begin(), reach.end(), readable - 16) - reach.begin());
      shuffleChunks(out, in, *columns, chunks);
      const int done = 16 * chunks / Bpp;  // a pixel cut by the last chunk is written again whole
      scaleRow<Bpp>(out + static_cast<size_t>(done) * Bpp, in, offsets + done, destWidth - done, lastSourceRow);
#endif
    } else {
      scaleRow<Bpp>(out, in, offsets, destWidth, lastSourceRow);
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
  withPixelSize(bpp, [&](auto size) {
    constexpr int kBytes = decltype(size)::value;
    for (int x = 0; x < width; ++x) storeRaw<kBytes>(first + kBytes * x, pixel);
  });
  for (int y = 1; y < height; ++y) std::memcpy(first + static_cast<intptr_t>(y) * dest.pitch, first, rowBytes);
}

void stretchPixels(const PixelBuffer &dest, const PixelRect &destRect, const PixelBuffer &source,
                   const PixelRect &sourceRect, const uint32_t *sourceKey) {
  if (destRect.width() <= 0 || destRect.height() <= 0 || sourceRect.width() <= 0 || sourceRect.height() <= 0) return;
  if (!(dest.layout == source.layout)) {
    stretchConverting(dest, destRect, source, sourceRect, sourceKey);
    return;
  }
  withPixelSize(dest.layout.bytesPerPixel(), [&](auto size) {
    stretchSameLayout<decltype(size)::value>(dest, destRect, source, sourceRect, sourceKey);
  });
}

}  // namespace layer::ddraw

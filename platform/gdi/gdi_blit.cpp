// Pixel transfers between device contexts: BitBlt, StretchBlt (nearest
// neighbour, as COLORONCOLOR), SetPixel and GetPixel. Pixels are converted
// from the source's layout into the destination's; both rectangles are
// clipped to their buffers, and negative extents mirror.
#include <windows.h>

#include <cstring>
#include <vector>

#include "core/raw_pixel.h"
#include "core/trace.h"
#include "gdi/gdi_objects.h"

using namespace layer;
using namespace layer::gdi;

namespace {

// The byte that holds an 8-bit channel, or -1 when the mask is not one whole byte.
int byteOf(uint32_t mask) {
  for (int i = 0; i < 4; ++i)
    if (mask == 0xFFu << (8 * i)) return i;
  return -1;
}

// Turns raw pixels of one layout into raw pixels of another.
class PixelConverter {
 public:
  PixelConverter(const PixelBuffer &source, const PixelBuffer &dest) : source_(source), dest_(dest) {
    sourceBytes_ = source.layout.bytesPerPixel();
    destBytes_ = dest.layout.bytesPerPixel();
    const uint32_t *sp = source.palette ? source.palette : defaultPalette();
    const uint32_t *dp = dest.palette ? dest.palette : defaultPalette();
    if (source.layout == dest.layout &&
        (source.layout.bitsPerPixel != 8 || sp == dp || std::memcmp(sp, dp, 256 * sizeof(uint32_t)) == 0)) {
      mode_ = Mode::Copy;
    } else if (source.layout.bitsPerPixel == 8) {
      mode_ = Mode::Table;
      for (int i = 0; i < 256; ++i) table_[i] = packForTarget(dest, sp[i]);
    } else if (sourceBytes_ >= 3 && destBytes_ >= 3 && bytePositions(source.layout, sourceOffsets_) &&
               bytePositions(dest.layout, destOffsets_)) {
      mode_ = Mode::Bytes;
    } else {
      mode_ = Mode::Generic;
    }
  }

  void pixel(const uint8_t *s, uint8_t *d) {
    switch (mode_) {
      case Mode::Copy:
        std::memcpy(d, s, static_cast<size_t>(sourceBytes_));
        break;
      case Mode::Table:
        storeRaw(d, destBytes_, table_[*s]);
        break;
      case Mode::Bytes:
        if (destBytes_ == 4) d[destOffsets_[3]] = 0;
        d[destOffsets_[0]] = s[sourceOffsets_[0]];
        d[destOffsets_[1]] = s[sourceOffsets_[1]];
        d[destOffsets_[2]] = s[sourceOffsets_[2]];
        break;
      case Mode::Generic: {
        uint32_t raw = loadRaw(s, sourceBytes_);
        if (!haveLast_ || raw != lastIn_) {
          lastIn_ = raw;
          lastOut_ = packForTarget(dest_, unpackColor(source_.layout, raw, source_.palette));
          haveLast_ = true;
        }
        storeRaw(d, destBytes_, lastOut_);
        break;
      }
    }
  }

  void span(const uint8_t *s, uint8_t *d, int count) {
    if (mode_ == Mode::Copy) {
      std::memmove(d, s, static_cast<size_t>(count) * static_cast<size_t>(sourceBytes_));
      return;
    }
    for (int i = 0; i < count; ++i, s += sourceBytes_, d += destBytes_) pixel(s, d);
  }

  int sourceBytes() const { return sourceBytes_; }
  int destBytes() const { return destBytes_; }

 private:
  enum class Mode { Copy, Table, Bytes, Generic };

  // Byte offsets of red, green, blue and the unused byte of a byte-aligned 24/32-bit layout.
  static bool bytePositions(const PixelLayout &layout, int offsets[4]) {
    offsets[0] = byteOf(layout.redMask);
    offsets[1] = byteOf(layout.greenMask);
    offsets[2] = byteOf(layout.blueMask);
    if (offsets[0] < 0 || offsets[1] < 0 || offsets[2] < 0) return false;
    offsets[3] = 6 - offsets[0] - offsets[1] - offsets[2];
    return offsets[3] >= 0 && offsets[3] < 4;
  }

  const PixelBuffer &source_;
  const PixelBuffer &dest_;
  Mode mode_ = Mode::Generic;
  int sourceBytes_ = 0, destBytes_ = 0;
  int sourceOffsets_[4] = {}, destOffsets_[4] = {};
  uint32_t table_[256] = {};
  uint32_t lastIn_ = 0, lastOut_ = 0;
  bool haveLast_ = false;
};

// One axis of a transfer: for each destination position that lies inside the
// destination, the source position it samples, when that lies in the source.
struct AxisMap {
  std::vector<int> dest, source;
};

AxisMap mapAxis(int destStart, int destExtent, int destLimit, int sourceStart, int sourceExtent, int sourceLimit) {
  AxisMap map;
  bool mirror = (destExtent < 0) != (sourceExtent < 0);
  int64_t d0 = destExtent < 0 ? int64_t(destStart) + destExtent : destStart;
  int64_t s0 = sourceExtent < 0 ? int64_t(sourceStart) + sourceExtent : sourceStart;
  int64_t dn = destExtent < 0 ? -int64_t(destExtent) : destExtent;
  int64_t sn = sourceExtent < 0 ? -int64_t(sourceExtent) : sourceExtent;
  int64_t first = d0 < 0 ? -d0 : 0;
  int64_t last = d0 + dn > destLimit ? destLimit - d0 : dn;
  if (last > first) {
    map.dest.reserve(static_cast<size_t>(last - first));
    map.source.reserve(static_cast<size_t>(last - first));
  }
  for (int64_t i = first; i < last; ++i) {
    // The source pixel under the centre of the destination pixel (128 bits: extents may be near INT_MAX).
    int64_t offset = static_cast<int64_t>((static_cast<__int128>(2 * i + 1) * sn) / (2 * dn));
    if (mirror) offset = sn - 1 - offset;
    int64_t s = s0 + offset;
    if (s < 0 || s >= sourceLimit) continue;
    map.dest.push_back(static_cast<int>(d0 + i));
    map.source.push_back(static_cast<int>(s));
  }
  return map;
}

const char *ropName(DWORD rop) {
  switch (rop) {
    case SRCCOPY:
      return "SRCCOPY";
    case BLACKNESS:
      return "BLACKNESS";
    case WHITENESS:
      return "WHITENESS";
  }
  return nullptr;
}

std::string ropText(DWORD rop) {
  const char *name = ropName(rop);
  return name ? std::string(name) : format("0x%08X", unsigned(rop));
}

std::string dcLabel(HDC dc) {
  if (!dc) return "null";
  DeviceContext *d = toDC(dc);
  return d ? d->label : format("%p", static_cast<void *>(dc));
}

void fill(const PixelBuffer &dest, int x, int y, int width, int height, COLORREF color) {
  AxisMap columns = mapAxis(x, width, dest.width, 0, width < 0 ? -width : width, 1 << 30);
  AxisMap rows = mapAxis(y, height, dest.height, 0, height < 0 ? -height : height, 1 << 30);
  if (columns.dest.empty()) return;
  uint32_t raw = packForTarget(dest, color);
  int bytes = dest.layout.bytesPerPixel();
  for (int row : rows.dest) {
    uint8_t *d = dest.row(row) + static_cast<intptr_t>(columns.dest.front()) * bytes;
    for (size_t i = 0; i < columns.dest.size(); ++i, d += bytes) storeRaw(d, bytes, raw);
  }
}

// The copy behind BitBlt and StretchBlt, once their call is traced.
BOOL transfer(HDC destDC, int x, int y, int width, int height, HDC sourceDC, int sourceX, int sourceY, int sourceWidth,
              int sourceHeight, DWORD rop) {
  DeviceContext *dest = toDC(destDC);
  if (!dest) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!ropName(rop)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (rop == BLACKNESS || rop == WHITENESS) {
    if (dest->target.bits && width != 0 && height != 0)
      fill(dest->target, x, y, width, height, rop == BLACKNESS ? 0x000000 : 0xFFFFFF);
    return TRUE;
  }
  DeviceContext *source = toDC(sourceDC);
  if (!source) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Zero extents draw nothing and succeed; so does a DC without pixels (the screen's).
  if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0) return TRUE;
  if (!dest->target.bits || !source->target.bits) return TRUE;

  PixelBuffer src = source->target;
  const PixelBuffer &dst = dest->target;
  AxisMap columns = mapAxis(x, width, dst.width, sourceX, sourceWidth, src.width);
  AxisMap rows = mapAxis(y, height, dst.height, sourceY, sourceHeight, src.height);
  if (columns.dest.empty() || rows.dest.empty()) return TRUE;

  // A transfer within one buffer reads from a copy so that overlapping rectangles stay intact.
  std::vector<uint8_t> copy;
  if (src.bits == dst.bits) {
    int stride = src.pitch < 0 ? -src.pitch : src.pitch;
    copy.resize(static_cast<size_t>(stride) * static_cast<size_t>(src.height));
    for (int r = 0; r < src.height; ++r) std::memcpy(copy.data() + static_cast<size_t>(r) * stride, src.row(r), stride);
    src.bits = copy.data();
    src.pitch = stride;
  }

  PixelConverter convert(src, dst);
  const int sb = convert.sourceBytes(), db = convert.destBytes();
  // Columns that step by one in both buffers copy as one span per row.
  const size_t n = columns.dest.size();
  bool contiguous = columns.dest.back() - columns.dest.front() == static_cast<int>(n) - 1 &&
                    columns.source.back() - columns.source.front() == static_cast<int>(n) - 1;
  for (size_t r = 0; r < rows.dest.size(); ++r) {
    const uint8_t *s = src.row(rows.source[r]);
    uint8_t *d = dst.row(rows.dest[r]);
    if (contiguous) {
      convert.span(s + static_cast<intptr_t>(columns.source.front()) * sb,
                   d + static_cast<intptr_t>(columns.dest.front()) * db, static_cast<int>(n));
      continue;
    }
    for (size_t c = 0; c < n; ++c)
      convert.pixel(s + static_cast<intptr_t>(columns.source[c]) * sb, d + static_cast<intptr_t>(columns.dest[c]) * db);
  }
  return TRUE;
}

}  // namespace

extern "C" {

BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
  if (auto fault = traceCall("BitBlt", [&] {
        return format("%s, %d, %d, %d, %d, %s, %d, %d, %s", dcLabel(dest).c_str(), x, y, width, height,
                      dcLabel(source).c_str(), sourceX, sourceY, ropText(rop).c_str());
      }))
    return failWith(static_cast<DWORD>(*fault), FALSE);
  return transfer(dest, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}

BOOL WINAPI StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                       int sourceWidth, int sourceHeight, DWORD rop) {
  if (auto fault = traceCall("StretchBlt", [&] {
        return format("%s, %d, %d, %d, %d, %s, %d, %d, %d, %d, %s", dcLabel(dest).c_str(), x, y, width, height,
                      dcLabel(source).c_str(), sourceX, sourceY, sourceWidth, sourceHeight, ropText(rop).c_str());
      }))
    return failWith(static_cast<DWORD>(*fault), FALSE);
  return transfer(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, rop);
}

COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF color) {
  if (auto fault = traceHotCall("SetPixel")) {
    SetLastError(static_cast<DWORD>(*fault));
    return CLR_INVALID;
  }
  DeviceContext *d = toDC(dc);
  if (!d || !d->target.bits || !d->target.contains(x, y)) return CLR_INVALID;
  uint32_t raw = packForTarget(d->target, color);
  writePixel(d->target, x, y, raw);
  return unpackFromTarget(d->target, raw);
}

COLORREF WINAPI GetPixel(HDC dc, int x, int y) {
  if (auto fault = traceHotCall("GetPixel")) {
    SetLastError(static_cast<DWORD>(*fault));
    return CLR_INVALID;
  }
  DeviceContext *d = toDC(dc);
  if (!d || !d->target.bits || !d->target.contains(x, y)) return CLR_INVALID;
  return unpackFromTarget(d->target, readPixel(d->target, x, y));
}

}  // extern "C"

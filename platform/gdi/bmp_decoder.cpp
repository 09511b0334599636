// The BMP decoder: file header, info header, masks, palette, pixels, each
// step validating what it reads before the next one trusts it.
#include "gdi/bmp_decoder.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace layer::gdi {
namespace {

constexpr uint32_t kFileHeaderSize = 14;

enum class HeaderKind { Core, Os2v2, Info };

// What the headers say, filled in step by step.
struct BmpContext {
  const uint8_t *data = nullptr;
  size_t size = 0;

  uint32_t bitsOffset = 0;
  uint32_t headerSize = 0;
  HeaderKind kind = HeaderKind::Info;
  int64_t width = 0;
  int64_t height = 0;  // positive; `topDown` holds the sign
  bool topDown = false;
  int planes = 1;
  int bitCount = 0;
  uint32_t compression = BI_RGB;
  uint32_t colorsUsed = 0;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0;
  size_t headersEnd = 0;  // first byte after the info header and any masks that follow it

  uint32_t palette[256] = {};  // COLORREF order, black past the file's entries

  size_t fileStride = 0;  // bytes per row in the file (uncompressed)
};

uint16_t u16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t *p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
int32_t s32(const uint8_t *p) { return static_cast<int32_t>(u32(p)); }

BmpError readFileHeader(BmpContext &c) {
  if (c.size < kFileHeaderSize || c.data[0] != 'B' || c.data[1] != 'M') return BmpError::NotBitmap;
  c.bitsOffset = u32(c.data + 10);  // the declared file size (bytes 2..5) is not trusted for anything
  return BmpError::None;
}

BmpError readInfoHeader(BmpContext &c) {
  if (c.size < kFileHeaderSize + 4) return BmpError::BadHeader;
  const uint8_t *h = c.data + kFileHeaderSize;
  c.headerSize = u32(h);
  switch (c.headerSize) {
    case 12:
      c.kind = HeaderKind::Core;
      break;
    case 16:
    case 64:
      c.kind = HeaderKind::Os2v2;
      break;
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
      c.kind = HeaderKind::Info;
      break;
    default:
      return BmpError::BadHeader;
  }
  if (c.size - kFileHeaderSize < c.headerSize) return BmpError::BadHeader;
  c.headersEnd = kFileHeaderSize + c.headerSize;

  int64_t signedHeight;
  if (c.kind == HeaderKind::Core) {
    c.width = u16(h + 4);
    signedHeight = u16(h + 6);
    c.planes = u16(h + 8);
    c.bitCount = u16(h + 10);
  } else {
    c.width = s32(h + 4);
    signedHeight = s32(h + 8);
    c.planes = u16(h + 12);
    c.bitCount = u16(h + 14);
    if (c.headerSize >= 20) c.compression = u32(h + 16);
    if (c.headerSize >= 36) c.colorsUsed = u32(h + 32);
  }
  c.topDown = signedHeight < 0;
  c.height = signedHeight < 0 ? -signedHeight : signedHeight;

  if (c.planes != 1 || c.width <= 0 || c.height == 0) return BmpError::BadDimensions;
  if (c.width > kBmpMaxSide || c.height > kBmpMaxSide) return BmpError::TooLarge;

  // OS/2 2.x reuses compression codes 3 and 4 for Huffman 1D and RLE24.
  if (c.kind == HeaderKind::Os2v2 && c.compression != BI_RGB && c.compression != BI_RLE8 && c.compression != BI_RLE4)
    return BmpError::UnsupportedCompression;

  switch (c.compression) {
    case BI_RGB:
      if (c.bitCount != 1 && c.bitCount != 2 && c.bitCount != 4 && c.bitCount != 8 && c.bitCount != 16 &&
          c.bitCount != 24 && c.bitCount != 32)
        return BmpError::UnsupportedBitCount;
      break;
    case BI_RLE8:
      if (c.bitCount != 8) return BmpError::UnsupportedBitCount;
      break;
    case BI_RLE4:
      if (c.bitCount != 4) return BmpError::UnsupportedBitCount;
      break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
      if (c.bitCount != 16 && c.bitCount != 32) return BmpError::UnsupportedBitCount;
      break;
    default:
      return BmpError::UnsupportedCompression;
  }
  if (c.topDown && (c.compression == BI_RLE8 || c.compression == BI_RLE4)) return BmpError::BadRle;
  return BmpError::None;
}

bool contiguous(uint32_t mask) { return mask == 0 || std::has_single_bit((mask >> std::countr_zero(mask)) + 1); }

BmpError readMasks(BmpContext &c) {
  if (c.bitCount == 16 && c.compression == BI_RGB) {
    c.redMask = 0x7C00, c.greenMask = 0x03E0, c.blueMask = 0x001F;
    return BmpError::None;
  }
  if (c.bitCount == 24 || (c.bitCount == 32 && c.compression == BI_RGB)) {
    c.redMask = 0xFF0000, c.greenMask = 0x00FF00, c.blueMask = 0x0000FF;
    return BmpError::None;
  }
  if (c.compression != BI_BITFIELDS && c.compression != BI_ALPHABITFIELDS) return BmpError::None;

  // Masks live in the header from 52 bytes on; after a 40-byte header they follow it.
  const size_t maskStart = kFileHeaderSize + 40;
  size_t maskBytes = c.compression == BI_ALPHABITFIELDS ? 16 : 12;
  if (c.headerSize == 40) {
    if (c.size - c.headersEnd < maskBytes) return BmpError::BadMasks;
    c.headersEnd += maskBytes;
  }
  const uint8_t *m = c.data + maskStart;
  c.redMask = u32(m), c.greenMask = u32(m + 4), c.blueMask = u32(m + 8);

  uint32_t limit = c.bitCount == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  uint32_t all = c.redMask | c.greenMask | c.blueMask;
  if (all == 0 || (all & ~limit) != 0) return BmpError::BadMasks;
  if (!contiguous(c.redMask) || !contiguous(c.greenMask) || !contiguous(c.blueMask)) return BmpError::BadMasks;
  if ((c.redMask & c.greenMask) || (c.redMask & c.blueMask) || (c.greenMask & c.blueMask)) return BmpError::BadMasks;
  return BmpError::None;
}

BmpError readPalette(BmpContext &c) {
  const size_t entrySize = c.kind == HeaderKind::Core ? 3 : 4;
  const size_t start = c.headersEnd;
  if (c.bitsOffset < start || c.bitsOffset > c.size) return BmpError::BadBitsOffset;

  // A declared colour table must lie inside the file, even where it goes unused.
  if (c.colorsUsed != 0) {
    uint64_t bytes;
    if (__builtin_mul_overflow(uint64_t(c.colorsUsed), uint64_t(entrySize), &bytes) || bytes > c.size - start)
      return BmpError::BadPalette;
  }
  if (c.bitCount > 8) return BmpError::None;

  uint64_t count = c.colorsUsed != 0 ? c.colorsUsed : (1u << c.bitCount);
  if (c.colorsUsed == 0) {
    // The table's length is implied; it cannot reach into the pixel data.
    uint64_t room = (c.bitsOffset - start) / entrySize;
    if (count > room) count = room;
  }
  if (count > (1u << c.bitCount)) count = 1u << c.bitCount;
  if (count * entrySize > c.size - start) return BmpError::BadPalette;
  const uint8_t *p = c.data + start;
  for (uint64_t i = 0; i < count; ++i, p += entrySize)
    c.palette[i] = uint32_t(p[2]) | (uint32_t(p[1]) << 8) | (uint32_t(p[0]) << 16);
  return BmpError::None;
}

uint64_t outputStride(const BmpContext &c, const PixelLayout &layout) {
  uint64_t rowBytes = (uint64_t(c.width) * uint64_t(layout.bitsPerPixel) + 7) / 8;
  return (rowBytes + 3) & ~uint64_t(3);
}

// Both factors are bounded by the side limit, so the product cannot overflow.
bool fitsLimit(const BmpContext &c, const PixelLayout &layout) {
  return outputStride(c, layout) * uint64_t(c.height) <= kBmpMaxPixelBytes;
}

// Sizes the output and allocates it; the pixels view starts at the top row.
BmpError allocate(const BmpContext &c, Bitmap &out, const PixelLayout &layout) {
  if (!fitsLimit(c, layout)) return BmpError::TooLarge;
  uint64_t stride = outputStride(c, layout);
  uint64_t total = stride * uint64_t(c.height);
  try {
    out.storage.resize(total);
    if (layout.bitsPerPixel == 8) out.palette.assign(c.palette, c.palette + 256);
  } catch (const std::bad_alloc &) {
    return BmpError::OutOfMemory;
  }
  PixelBuffer &b = out.pixels;
  b.width = static_cast<int>(c.width);
  b.height = static_cast<int>(c.height);
  b.layout = layout;
  b.palette = layout.bitsPerPixel == 8 ? out.palette.data() : nullptr;
  bool bottomUp = !c.topDown;
  b.pitch = bottomUp ? -static_cast<int>(stride) : static_cast<int>(stride);
  b.bits = out.storage.data() + (bottomUp ? (c.height - 1) * stride : 0);
  return BmpError::None;
}

// Storage row `i` in the file's order (row 0 is the first row in the file).
uint8_t *storageRow(Bitmap &out, int64_t i) {
  return out.storage.data() +
         static_cast<size_t>(i) * static_cast<size_t>(out.pixels.pitch < 0 ? -out.pixels.pitch : out.pixels.pitch);
}

BmpError readUncompressed(BmpContext &c, Bitmap &out) {
  uint64_t rowBytes = (uint64_t(c.width) * uint64_t(c.bitCount) + 7) / 8;
  c.fileStride = static_cast<size_t>((rowBytes + 3) & ~uint64_t(3));
  // Every row but the last needs its padding; the last may end the file without it.
  uint64_t need = uint64_t(c.fileStride) * uint64_t(c.height - 1) + rowBytes;
  bool indexed = c.bitCount <= 8;
  PixelLayout layout = indexed ? layout8() : PixelLayout{c.bitCount, c.redMask, c.greenMask, c.blueMask};
  if (!fitsLimit(c, layout)) return BmpError::TooLarge;
  if (need > c.size - c.bitsOffset) return BmpError::ShortPixelData;
  if (BmpError e = allocate(c, out, layout); e != BmpError::None) return e;
  const uint8_t *src = c.data + c.bitsOffset;

  if (c.bitCount >= 8) {
    // Same bytes and stride as the file: one copy, and the last row's padding cleared.
    std::memcpy(out.storage.data(), src, static_cast<size_t>(need));
    std::memset(out.storage.data() + need, 0, out.storage.size() - static_cast<size_t>(need));
    return BmpError::None;
  }
  const int bits = c.bitCount;
  const int perByte = 8 / bits;
  const uint8_t mask = static_cast<uint8_t>((1u << bits) - 1);
  for (int64_t y = 0; y < c.height; ++y) {
    const uint8_t *s = src + static_cast<size_t>(y) * c.fileStride;
    uint8_t *d = storageRow(out, y);
    int64_t x = 0;
    for (; x + perByte <= c.width; ++s)
      for (int k = perByte - 1; k >= 0; --k) d[x++] = static_cast<uint8_t>((*s >> (k * bits)) & mask);
    for (int k = perByte - 1; x < c.width; --k) d[x++] = static_cast<uint8_t>((*s >> (k * bits)) & mask);
    std::memset(d + c.width, 0, static_cast<size_t>(outputStride(c, layout) - uint64_t(c.width)));
  }
  return BmpError::None;
}

// RLE8 and RLE4 into X8R8G8B8, bottom row first; skipped pixels stay black.
//
// Some writers encode each row with its padding (the pixels up to the next
// 32-bit boundary of the uncompressed row), so runs may reach past the row's
// last pixel: those pixels are dropped, never wrapped onto the next row. A run
// that reaches past the padding, lies above the last row, or follows a delta
// past the row's end leaves the picture and refuses the file.
BmpError readRle(BmpContext &c, Bitmap &out) {
  if (BmpError e = allocate(c, out, PixelLayout{32, 0xFF0000, 0x00FF00, 0x0000FF}); e != BmpError::None) return e;
  std::memset(out.storage.data(), 0, out.storage.size());  // what the stream skips stays black
  const bool four = c.compression == BI_RLE4;
  const int64_t perWord = 32 / c.bitCount;
  const int64_t paddedWidth = (c.width + perWord - 1) / perWord * perWord;
  uint32_t colors[256];  // the palette (COLORREF order) as stored pixels, 0x00RRGGBB
  for (int i = 0; i < 256; ++i)
    colors[i] = ((c.palette[i] & 0xFF) << 16) | (c.palette[i] & 0xFF00) | ((c.palette[i] >> 16) & 0xFF);
  const uint8_t *p = c.data + c.bitsOffset;
  const uint8_t *end = c.data + c.size;
  int64_t x = 0, y = 0;

  // How many of a run's `count` pixels from the current position lie inside
  // the row, or -1 when the run leaves the picture.
  auto inRow = [&](int64_t count) -> int64_t {
    if (y >= c.height || x + count > paddedWidth) return -1;
    return x >= c.width ? 0 : std::min(count, c.width - x);
  };
  auto at = [&](int64_t draw) { return draw > 0 ? storageRow(out, y) + x * 4 : nullptr; };

  while (end - p >= 2) {
    uint8_t count = p[0], value = p[1];
    p += 2;
    if (count > 0) {
      int64_t draw = inRow(count);
      if (draw < 0) return BmpError::BadRle;
      const uint32_t pair[2] = {colors[four ? value >> 4 : value], colors[four ? value & 0x0F : value]};
      uint8_t *d = at(draw);
      for (int64_t i = 0; i < draw; ++i) std::memcpy(d + i * 4, &pair[i & 1], 4);
      x += count;
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return BmpError::None;
    } else if (value == 2) {  // delta
      if (end - p < 2) break;
      x += p[0];
      y += p[1];
      p += 2;
      // Past the row's end a delta has left the picture: no run may follow on this row.
      if (x > c.width) x = paddedWidth + 1;
    } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
      size_t bytes = four ? (value + 1u) / 2 : value;
      size_t padded = (bytes + 1) & ~size_t(1);
      size_t available = static_cast<size_t>(end - p);
      int64_t pixels = value;
      if (bytes > available)
        pixels = static_cast<int64_t>(four ? available * 2 : available);  // cut short: keep what is there
      int64_t draw = inRow(pixels);
      if (draw < 0) return BmpError::BadRle;
      uint8_t *d = at(draw);
      for (int64_t i = 0; i < draw; ++i) {
        uint8_t index = four ? static_cast<uint8_t>(i & 1 ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i];
        std::memcpy(d + i * 4, &colors[index], 4);
      }
      x += pixels;
      p += padded < available ? padded : available;
    }
  }
  return BmpError::None;  // a stream without its end marker keeps what it drew
}

BmpError decodeInto(BmpContext &c, Bitmap &out) {
  BmpError e = readFileHeader(c);
  if (e == BmpError::None) e = readInfoHeader(c);
  if (e == BmpError::None) e = readMasks(c);
  if (e == BmpError::None) e = readPalette(c);
  if (e != BmpError::None) return e;
  if (c.compression == BI_RLE8 || c.compression == BI_RLE4) return readRle(c, out);
  return readUncompressed(c, out);
}

}  // namespace

const char *describeBmpError(BmpError error) {
  switch (error) {
    case BmpError::None:
      return "no error";
    case BmpError::NotBitmap:
      return "not a BMP file";
    case BmpError::BadHeader:
      return "bitmap header of unknown size or cut short";
    case BmpError::BadDimensions:
      return "bad width, height or plane count";
    case BmpError::TooLarge:
      return "picture too large";
    case BmpError::UnsupportedCompression:
      return "unsupported compression";
    case BmpError::UnsupportedBitCount:
      return "unsupported bit count";
    case BmpError::BadMasks:
      return "bad colour masks";
    case BmpError::BadPalette:
      return "colour table past the end of the file";
    case BmpError::BadBitsOffset:
      return "pixel data offset outside the file";
    case BmpError::ShortPixelData:
      return "pixel data shorter than the picture";
    case BmpError::BadRle:
      return "bad RLE stream";
    case BmpError::OutOfMemory:
      return "out of memory";
    case BmpError::FileNotFound:
      return "file not found";
    case BmpError::NotAFile:
      return "not a regular file";
    case BmpError::Unreadable:
      return "file cannot be read";
    case BmpError::FileTooLarge:
      return "file too large";
  }
  return "unknown error";
}

BmpResult decodeBmp(const uint8_t *data, size_t size) {
  BmpResult result;
  if (!data) size = 0;
  BmpContext context;
  context.data = data;
  context.size = size;
  std::unique_ptr<Bitmap> bitmap;
  try {
    bitmap = std::make_unique<Bitmap>();
  } catch (const std::bad_alloc &) {
    result.error = BmpError::OutOfMemory;
    return result;
  }
  result.error = decodeInto(context, *bitmap);
  if (result.error == BmpError::None) result.bitmap = std::move(bitmap);
  return result;
}

BmpResult decodeBmpFile(const char *path) {
  BmpResult result;
  struct stat info;
  if (!path || stat(path, &info) != 0) {
    result.error = errno == EACCES ? BmpError::Unreadable : BmpError::FileNotFound;
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.error = BmpError::NotAFile;
    return result;
  }
  if (static_cast<uint64_t>(info.st_size) > kBmpMaxFileBytes) {
    result.error = BmpError::FileTooLarge;
    return result;
  }
  std::FILE *file = std::fopen(path, "rb");
  if (!file) {
    result.error = BmpError::Unreadable;
    return result;
  }
  std::vector<uint8_t> bytes;
  size_t size = static_cast<size_t>(info.st_size);
  bool ok = true;
  try {
    bytes.resize(size);
  } catch (const std::bad_alloc &) {
    ok = false;
    result.error = BmpError::OutOfMemory;
  }
  if (ok && size > 0 && std::fread(bytes.data(), 1, size, file) != size) {
    ok = false;
    result.error = BmpError::Unreadable;
  }
  if (std::ferror(file)) {
    ok = false;
    result.error = BmpError::Unreadable;
  }
  std::fclose(file);
  if (!ok) return result;
  return decodeBmp(bytes.data(), bytes.size());
}

}  // namespace layer::gdi

#include "support/bmp_writer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bmptest {
namespace {

void put16(std::vector<uint8_t> &out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t> &out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

void putAt32(std::vector<uint8_t> &out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> packedRows(const BmpContents &bmp) {
  const int stride = bmpStride(bmp.width, bmp.bitsPerPixel);
  std::vector<uint8_t> bits(static_cast<size_t>(stride) * bmp.height, 0);
  for (int y = 0; y < bmp.height; ++y) {
    int fileRow = bmp.topDown ? y : bmp.height - 1 - y;
    uint8_t *row = bits.data() + static_cast<size_t>(fileRow) * stride;
    for (int x = 0; x < bmp.width; ++x) {
      size_t i = static_cast<size_t>(y) * bmp.width + x;
      uint32_t v = i < bmp.pixels.size() ? bmp.pixels[i] : 0;
      int bpp = bmp.bitsPerPixel;
      if (bpp < 8) {
        int bit = x * bpp;
        int shift = 8 - bpp - bit % 8;
        row[bit / 8] |= static_cast<uint8_t>((v & ((1u << bpp) - 1)) << shift);
      } else {
        for (int b = 0; b < bpp / 8; ++b) row[x * (bpp / 8) + b] = static_cast<uint8_t>(v >> (8 * b));
      }
    }
  }
  return bits;
}

// The pixels as RLE8 or RLE4 codes, bottom row first: an encoded run for two
// or more equal pixels, an absolute run for three or more that differ, runs of
// one for the rest; an end of line after every row and an end of bitmap.
std::vector<uint8_t> rleRows(const BmpContents &bmp) {
  const bool four = bmp.bitsPerPixel == 4;
  const int perWord = 32 / bmp.bitsPerPixel;
  const size_t length =
      static_cast<size_t>(bmp.rleCarriesPadding ? (bmp.width + perWord - 1) / perWord * perWord : bmp.width);
  RleStream stream;
  std::vector<uint8_t> row(length);
  for (int y = bmp.height - 1; y >= 0; --y) {
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < bmp.width; ++x) {
      size_t i = static_cast<size_t>(y) * bmp.width + x;
      row[x] = static_cast<uint8_t>((i < bmp.pixels.size() ? bmp.pixels[i] : 0) & (four ? 0x0F : 0xFF));
    }
    for (size_t x = 0; x < length;) {
      size_t same = 1;
      while (x + same < length && same < 255 && row[x + same] == row[x]) ++same;
      // Pixels that differ from their right neighbour, up to the next pair of equal ones.
      size_t differ = 0;
      while (x + differ < length && differ < 255 &&
             (x + differ + 1 == length || row[x + differ] != row[x + differ + 1]))
        ++differ;
      if (differ >= 3) {
        stream.absolute(std::vector<uint8_t>(row.begin() + x, row.begin() + x + differ), four);
        x += differ;
      } else {
        stream.run(static_cast<int>(same), static_cast<uint8_t>(four ? row[x] * 0x11 : row[x]));
        x += same;
      }
    }
    stream.endOfLine();
  }
  stream.endOfBitmap();
  return stream.bytes;
}

}  // namespace

int bmpStride(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

std::vector<uint8_t> writeBmp(const BmpContents &bmp) {
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  put32(out, 0);  // file size, filled in below
  put32(out, 0);
  put32(out, 0);  // bits offset, filled in below

  const size_t headerStart = out.size();
  put32(out, static_cast<uint32_t>(bmp.headerSize));
  const uint32_t rows = static_cast<uint32_t>(bmp.topDown ? -bmp.height : bmp.height);
  const uint32_t colorsUsed =
      static_cast<uint32_t>(bmp.colorsUsed >= 0 ? bmp.colorsUsed : static_cast<int64_t>(bmp.palette.size()));
  if (bmp.headerSize == 12) {
    put16(out, static_cast<uint32_t>(bmp.width));
    put16(out, rows);
    put16(out, static_cast<uint32_t>(bmp.planes));
    put16(out, static_cast<uint32_t>(bmp.bitsPerPixel));
  } else {
    put32(out, static_cast<uint32_t>(bmp.width));
    put32(out, rows);
    put16(out, static_cast<uint32_t>(bmp.planes));
    put16(out, static_cast<uint32_t>(bmp.bitsPerPixel));
    put32(out, bmp.compression);
    put32(out, 0);  // image size: readers must not need it
    put32(out, 2835);
    put32(out, 2835);
    put32(out, colorsUsed);
    put32(out, 0);
    put32(out, bmp.redMask);
    put32(out, bmp.greenMask);
    put32(out, bmp.blueMask);
    put32(out, bmp.alphaMask);
    out.resize(headerStart + static_cast<size_t>(bmp.headerSize), 0);  // cut or pad to the header's size
  }

  if (bmp.headerSize == 40 && (bmp.compression == 3 || bmp.compression == 6)) {
    put32(out, bmp.redMask);
    put32(out, bmp.greenMask);
    put32(out, bmp.blueMask);
    if (bmp.compression == 6) put32(out, bmp.alphaMask);
  }
  for (uint32_t c : bmp.palette) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
    out.push_back(static_cast<uint8_t>(c >> 16));
    if (bmp.headerSize != 12) out.push_back(0);
  }
  out.resize(out.size() + static_cast<size_t>(bmp.gapBeforeBits), 0);

  const size_t bitsStart = out.size();
  const bool rle = (bmp.compression == 1 && bmp.bitsPerPixel == 8) || (bmp.compression == 2 && bmp.bitsPerPixel == 4);
  std::vector<uint8_t> bits = !bmp.rawBits.empty() ? bmp.rawBits : rle ? rleRows(bmp) : packedRows(bmp);
  out.insert(out.end(), bits.begin(), bits.end());

  putAt32(out, 2, static_cast<uint32_t>(out.size()));
  putAt32(out, 10, static_cast<uint32_t>(bmp.bitsOffset >= 0 ? bmp.bitsOffset : static_cast<int64_t>(bitsStart)));
  return out;
}

bool writeBmpFile(const std::string &path, const BmpContents &bmp) {
  std::vector<uint8_t> bytes = writeBmp(bmp);
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

GuardedBytes::GuardedBytes(const std::vector<uint8_t> &bytes) {
  size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size_t dataPages = (bytes.size() + page - 1) / page;
  length_ = (dataPages + 1) * page;
  void *map = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) std::abort();
  base_ = static_cast<uint8_t *>(map);
  if (mprotect(base_ + dataPages * page, page, PROT_NONE) != 0) std::abort();
  size_ = bytes.size();
  data_ = base_ + dataPages * page - size_;
  if (size_) std::memcpy(data_, bytes.data(), size_);
}

GuardedBytes::~GuardedBytes() { munmap(base_, length_); }

RleStream &RleStream::run(int count, uint8_t value) {
  bytes.push_back(static_cast<uint8_t>(count));
  bytes.push_back(value);
  return *this;
}

RleStream &RleStream::absolute(const std::vector<uint8_t> &values, bool fourBit) {
  bytes.push_back(0);
  bytes.push_back(static_cast<uint8_t>(values.size()));
  size_t written = 0;
  if (fourBit) {
    for (size_t i = 0; i < values.size(); i += 2, ++written)
      bytes.push_back(static_cast<uint8_t>((values[i] << 4) | (i + 1 < values.size() ? values[i + 1] & 0x0F : 0)));
  } else {
    bytes.insert(bytes.end(), values.begin(), values.end());
    written = values.size();
  }
  if (written % 2) bytes.push_back(0);
  return *this;
}

RleStream &RleStream::endOfLine() { return run(0, 0); }

RleStream &RleStream::delta(int dx, int dy) {
  run(0, 2);
  bytes.push_back(static_cast<uint8_t>(dx));
  bytes.push_back(static_cast<uint8_t>(dy));
  return *this;
}

RleStream &RleStream::endOfBitmap() { return run(0, 1); }

}  // namespace bmptest

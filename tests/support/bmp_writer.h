// A small BMP file writer for tests and benchmarks: any of the header sizes
// the platform knows, 1/2/4/8/16/24/32 bits per pixel, bottom-up or
// top-down rows, colour tables, bit-field masks, RLE8 and RLE4 streams
// encoded from the pixels, and raw pixel streams (RLE by hand or deliberately
// broken data) written as given.
//
// Colours in palettes and 24/32-bit pixels are 0x00RRGGBB (the order the
// bytes of a 24-bit BMP pixel read as a little-endian number), not COLORREF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bmptest {

constexpr uint32_t bmpColor(uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; }

struct BmpContents {
  int width = 0;
  int height = 0;  // rows; `topDown` writes the height negative
  bool topDown = false;
  int bitsPerPixel = 24;
  uint32_t compression = 0;  // BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS, ...
  int headerSize = 40;       // 12 (OS/2 core), 16/64 (OS/2 2.x), 40, 52, 56, 108, 124

  std::vector<uint32_t> palette;  // 0x00RRGGBB; 3 bytes each after a 12-byte header, else 4
  int64_t colorsUsed = -1;        // biClrUsed as written; -1 writes palette.size()

  // Masks for BI_BITFIELDS / BI_ALPHABITFIELDS: inside the header from 52
  // bytes on, else right after it (alpha only with BI_ALPHABITFIELDS there).
  uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;

  // Raw pixel values, top row first, width * height of them: palette indices
  // up to 8 bits, the packed value at 16 and 32 bits, 0x00RRGGBB at 24.
  // Under BI_RLE8 at 8 bits and BI_RLE4 at 4 bits they are run-length encoded.
  std::vector<uint32_t> pixels;
  // RLE: every row goes on with zero pixels up to the next 32-bit boundary of
  // its uncompressed form, and the runs carry them, as some tools write rows.
  bool rleCarriesPadding = false;
  // When not empty, written as the pixel data instead of `pixels`.
  std::vector<uint8_t> rawBits;

  int gapBeforeBits = 0;    // extra bytes between the colour table and the bits
  int64_t bitsOffset = -1;  // bfOffBits; -1 computes it
  int planes = 1;
};

// The whole file.
std::vector<uint8_t> writeBmp(const BmpContents &bmp);
bool writeBmpFile(const std::string &path, const BmpContents &bmp);

// Row stride of an uncompressed row: bytes rounded up to 4.
int bmpStride(int width, int bitsPerPixel);

// RLE streams by hand: helpers that append the codes.
struct RleStream {
  std::vector<uint8_t> bytes;
  RleStream &run(int count, uint8_t value);  // encoded run: count pixels of value (RLE4: two nibbles)
  // Absolute run of 3 to 255 pixels (fewer would read as an escape code), padded to 16 bits.
  RleStream &absolute(const std::vector<uint8_t> &values, bool fourBit = false);
  RleStream &endOfLine();
  RleStream &delta(int dx, int dy);
  RleStream &endOfBitmap();
};

// A copy of some bytes that ends right before an inaccessible page, so that
// a reader going past the end faults at once instead of reading garbage.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::vector<uint8_t> &bytes);
  ~GuardedBytes();
  GuardedBytes(const GuardedBytes &) = delete;
  GuardedBytes &operator=(const GuardedBytes &) = delete;
  const uint8_t *data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t *base_ = nullptr, *data_ = nullptr;
  size_t length_ = 0, size_ = 0;
};

}  // namespace bmptest

// Windows bitmap files (BMP) into DIB sections, for LoadImageA.
//
// Reads OS/2 1.x core headers, the 40-byte info header and its 52/56-byte
// extensions, V4 and V5 headers, and uncompressed OS/2 2.x headers; 1, 2, 4,
// 8, 16, 24 and 32 bits per pixel; BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS and
// BI_ALPHABITFIELDS; bottom-up and top-down rows.
//
// Output layout, chosen so that most files load with one copy of their bits:
//  - 16, 24 and 32 bits: the file's own pixels and channel masks, unchanged;
//  - 1, 2, 4 and 8 bits: one palette index per byte, with a 256-entry palette
//    padded with black (an index past the file's palette shows black);
//  - RLE: 32 bits X8R8G8B8, pixels that the stream skips left black, and
//    pixels that runs carry past a row's end, into its padding, dropped.
// Rows keep the file's order in storage (as the platform's DIB sections do);
// the bitmap's `pixels` view always starts at the top row, with a negative
// pitch for bottom-up files.
//
// Every read is bounds-checked and every size computed with overflow checks;
// nothing is allocated before the header says the picture is possible and the
// file holds the data it needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "gdi/gdi_objects.h"

namespace layer::gdi {

enum class BmpError {
  None,
  NotBitmap,               // no "BM" signature, or shorter than a file header
  BadHeader,               // info header of unknown size, or cut short
  BadDimensions,           // width or height zero, negative width, planes not 1
  TooLarge,                // a side over 32,768 or more than 256 MiB of pixels
  UnsupportedCompression,  // JPEG, PNG, OS/2 Huffman or RLE24, unknown codes
  UnsupportedBitCount,     // bit count not valid for the compression
  BadMasks,                // masks not contiguous, overlapping, past the pixel or past the file
  BadPalette,              // colour table past the file
  BadBitsOffset,           // pixel data said to start inside the headers or past the file
  ShortPixelData,          // fewer bytes than the rows need
  BadRle,                  // RLE stream writing outside the picture, or top-down RLE
  OutOfMemory,
  FileNotFound,
  NotAFile,     // a directory or other non-regular file
  Unreadable,   // cannot be opened or read in full
  FileTooLarge  // over 512 MiB
};

// A short English phrase for an error ("not a BMP file").
const char *describeBmpError(BmpError error);

struct BmpResult {
  std::unique_ptr<Bitmap> bitmap;  // null on failure
  BmpError error = BmpError::None;
};

constexpr int kBmpMaxSide = 32768;
constexpr uint64_t kBmpMaxPixelBytes = 256ull << 20;
constexpr uint64_t kBmpMaxFileBytes = 512ull << 20;

// Decodes a whole file held in memory. `data` may be null when `size` is 0.
BmpResult decodeBmp(const uint8_t *data, size_t size);

// Reads a file (refusing directories and files over 512 MiB before reading)
// and decodes it.
BmpResult decodeBmpFile(const char *path);

// Why the last LoadImageA call refused its bitmap (None after a success or a
// refusal that was not the decoder's), for tools that explain a failure.
BmpError lastImageLoadError();

}  // namespace layer::gdi

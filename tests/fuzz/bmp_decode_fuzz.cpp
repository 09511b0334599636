// Fuzzes the BMP decoder behind LoadImageA with whole files held in memory:
// the decoder itself, and LoadImageA reading the same bytes as a bitmap
// resource of the program. Whatever the bytes, a decoded bitmap must be
// consistent: a size within the limits, rows inside its storage, a palette
// for indexed pixels, and the same answer from both ways in.
#include <windows.h>

#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "gdi/bmp_decoder.h"
#include "layer_test.h"

namespace {

using layer::gdi::Bitmap;
using layer::gdi::BmpError;

// Reads the first and the last byte of every row through the rows view, so
// that a view reaching outside the storage is caught by the address checks.
unsigned touchEveryRow(const Bitmap &bitmap) {
  const layer::PixelBuffer &p = bitmap.pixels;
  const size_t rowBytes = static_cast<size_t>(p.width) * static_cast<size_t>(p.layout.bytesPerPixel());
  const uint8_t *first = bitmap.storage.data();
  const uint8_t *end = first + bitmap.storage.size();
  unsigned sum = 0;
  for (int y = 0; y < p.height; ++y) {
    const uint8_t *row = p.row(y);
    FUZZ_CHECK(row >= first && row + rowBytes <= end, "row %d of %dx%d lies outside the storage", y, p.width, p.height);
    sum += row[0] + row[rowBytes - 1];
  }
  return sum;
}

void checkBitmap(const Bitmap &bitmap) {
  const layer::PixelBuffer &p = bitmap.pixels;
  FUZZ_CHECK(p.width >= 1 && p.width <= layer::gdi::kBmpMaxSide, "width %d", p.width);
  FUZZ_CHECK(p.height >= 1 && p.height <= layer::gdi::kBmpMaxSide, "height %d", p.height);
  const int bits = p.layout.bitsPerPixel;
  FUZZ_CHECK(bits == 8 || bits == 16 || bits == 24 || bits == 32, "%d bits per pixel", bits);
  FUZZ_CHECK(bitmap.storage.size() <= layer::gdi::kBmpMaxPixelBytes, "%zu bytes of pixels", bitmap.storage.size());
  if (bits == 8) {
    FUZZ_CHECK(bitmap.palette.size() == 256, "palette of %zu entries", bitmap.palette.size());
    FUZZ_CHECK(p.palette == bitmap.palette.data(), "the pixels do not use the bitmap's palette");
  } else {
    FUZZ_CHECK(p.layout.redMask | p.layout.greenMask | p.layout.blueMask, "no channel masks");
  }
  volatile unsigned sink = touchEveryRow(bitmap);
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (fuzzing::hugeRle(data, size)) return 0;
  layer::gdi::BmpResult decoded = layer::gdi::decodeBmp(data, size);
  FUZZ_CHECK((decoded.bitmap != nullptr) == (decoded.error == BmpError::None), "result and error disagree (%s)",
             layer::gdi::describeBmpError(decoded.error));
  if (decoded.bitmap) checkBitmap(*decoded.bitmap);

  // The same bytes as a bitmap resource of the program, through LoadImageA;
  // large pictures only once, for speed.
  if (decoded.bitmap && decoded.bitmap->storage.size() > (1u << 20)) return 0;
  layer::reset();
  layer::registerBitmapResource("fuzz", std::vector<uint8_t>(data, data + size));
  const int objectsBefore = layer::liveGdiObjectCount();
  HBITMAP bitmap =
      static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), "fuzz", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  FUZZ_CHECK((bitmap != nullptr) == (decoded.bitmap != nullptr), "LoadImageA %s what the decoder %s",
             bitmap ? "loaded" : "refused", decoded.bitmap ? "decoded" : "refused");
  if (bitmap) {
    BITMAP info;
    std::memset(&info, 0, sizeof(info));
    FUZZ_CHECK(GetObjectA(bitmap, sizeof(info), &info) == sizeof(info), "GetObjectA failed");
    FUZZ_CHECK(info.bmWidth == decoded.bitmap->pixels.width && info.bmHeight == decoded.bitmap->pixels.height,
               "GetObjectA gives %dx%d for a %dx%d picture", int(info.bmWidth), int(info.bmHeight),
               decoded.bitmap->pixels.width, decoded.bitmap->pixels.height);
    FUZZ_CHECK(DeleteObject(bitmap), "DeleteObject failed");
  }
  FUZZ_CHECK(layer::liveGdiObjectCount() == objectsBefore, "%d GDI objects left over",
             layer::liveGdiObjectCount() - objectsBefore);
  return 0;
}

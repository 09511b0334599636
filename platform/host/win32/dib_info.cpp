#include "dib_info.h"

namespace layer::win32 {

bool describeDib(const PixelBuffer &pixels, DibInfo *info) {
  const int bytes = pixels.layout.bytesPerPixel();
  if (bytes == 0 || pixels.pitch <= 0 || pixels.pitch % 4 != 0) return false;
  *info = DibInfo{};
  BITMAPINFOHEADER &h = info->header;
  h.biSize = sizeof(BITMAPINFOHEADER);
  // Rows of a DIB are padded to 4 bytes: a width of pitch / bytes gives our
  // pitch whatever the padding; GDI's users clip to the real width.
  h.biWidth = pixels.pitch / bytes;
  h.biHeight = -pixels.height;  // top row first
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(pixels.layout.bitsPerPixel);
  h.biCompression = BI_RGB;
  const PixelLayout gdi24{24, 0xFF0000, 0x00FF00, 0x0000FF};
  switch (pixels.layout.bitsPerPixel) {
    case 8: {
      const uint32_t *palette = pixels.palette ? pixels.palette : defaultPalette();
      for (int i = 0; i < 256; ++i)  // COLORREF to RGBQUAD
        info->colors[i] = ((palette[i] & 0xFF) << 16) | (palette[i] & 0xFF00) | ((palette[i] >> 16) & 0xFF);
      h.biClrUsed = 256;
      return true;
    }
    case 16:
      if (pixels.layout == layout555()) return true;
      h.biCompression = BI_BITFIELDS;
      info->colors[0] = pixels.layout.redMask;
      info->colors[1] = pixels.layout.greenMask;
      info->colors[2] = pixels.layout.blueMask;
      return true;
    case 24:
      return pixels.layout == gdi24;
    case 32:
      return pixels.layout == layout32();
  }
  return false;
}

}  // namespace layer::win32

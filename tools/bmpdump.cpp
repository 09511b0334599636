// bmpdump FILE [OUT.ppm]: loads a bitmap file the way the viewer does
// (LoadImageA from the file, as a DIB section), converts it to RGB through
// GDI and writes it as a binary PPM (P6) to OUT.ppm or standard output.
// A refused file is explained on standard error with exit code 1; wrong
// usage exits with 2.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "gdi/bmp_decoder.h"

namespace {

int usage() {
  std::fputs("usage: bmpdump FILE [OUT.ppm]\n", stderr);
  return 2;
}

const char *lastErrorText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return "file not found";
    case ERROR_ACCESS_DENIED:
      return "access denied";
    case ERROR_BAD_FORMAT:
      return "not a bitmap file";
    case ERROR_INVALID_DATA:
      return "invalid bitmap data";
    case ERROR_NOT_ENOUGH_MEMORY:
      return "too large";
  }
  return "refused";
}

// The picture as top-down RGB rows, copied through a 24-bit DIB section.
bool readRgb(HBITMAP bitmap, int width, int height, std::vector<unsigned char> *rgb) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void *bits = nullptr;
  HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC source = CreateCompatibleDC(nullptr), dest = CreateCompatibleDC(nullptr);
  bool ok = target && source && dest;
  HGDIOBJ oldSource = nullptr, oldDest = nullptr;
  if (ok) {
    oldSource = SelectObject(source, bitmap);
    oldDest = SelectObject(dest, target);
    ok = oldSource && oldDest && BitBlt(dest, 0, 0, width, height, source, 0, 0, SRCCOPY);
  }
  if (ok) {
    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    rgb->resize(static_cast<size_t>(width) * height * 3);
    const unsigned char *row = static_cast<const unsigned char *>(bits);
    unsigned char *out = rgb->data();
    for (int y = 0; y < height; ++y, row += stride)
      for (int x = 0; x < width; ++x, out += 3) {
        out[0] = row[x * 3 + 2];  // DIB pixels are blue, green, red
        out[1] = row[x * 3 + 1];
        out[2] = row[x * 3];
      }
  }
  if (oldSource) SelectObject(source, oldSource);
  if (oldDest) SelectObject(dest, oldDest);
  if (source) DeleteDC(source);
  if (dest) DeleteDC(dest);
  if (target) DeleteObject(target);
  return ok;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2 || argc > 3 || argv[1][0] == '\0') return usage();
  const char *file = argv[1];
  HBITMAP bitmap =
      static_cast<HBITMAP>(LoadImageA(nullptr, file, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (!bitmap) {
    DWORD error = GetLastError();
    layer::gdi::BmpError reason = layer::gdi::lastImageLoadError();
    std::fprintf(stderr, "bmpdump: %s: %s (error %lu)\n", file,
                 reason != layer::gdi::BmpError::None ? layer::gdi::describeBmpError(reason) : lastErrorText(error),
                 static_cast<unsigned long>(error));
    return 1;
  }
  BITMAP info{};
  std::vector<unsigned char> rgb;
  if (GetObjectA(bitmap, sizeof info, &info) != static_cast<int>(sizeof info) ||
      !readRgb(bitmap, info.bmWidth, info.bmHeight, &rgb)) {
    std::fprintf(stderr, "bmpdump: %s: could not convert the picture\n", file);
    DeleteObject(bitmap);
    return 1;
  }
  DeleteObject(bitmap);

  std::FILE *out = argc == 3 ? std::fopen(argv[2], "wb") : stdout;
  if (!out) {
    std::fprintf(stderr, "bmpdump: cannot write %s\n", argv[2]);
    return 1;
  }
  std::fprintf(out, "P6\n%d %d\n255\n", static_cast<int>(info.bmWidth), static_cast<int>(info.bmHeight));
  bool written = std::fwrite(rgb.data(), 1, rgb.size(), out) == rgb.size();
  written = (out == stdout ? std::fflush(out) : std::fclose(out)) == 0 && written;
  if (!written) {
    std::fprintf(stderr, "bmpdump: writing %s failed\n", argc == 3 ? argv[2] : "standard output");
    return 1;
  }
  return 0;
}

#include "support/scenario_image.h"

#include "support/bmp_writer.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace scenario {

std::string toString(const Rgb &c) {
  std::string text = "(";
  text += std::to_string(c.r);
  text += ", ";
  text += std::to_string(c.g);
  text += ", ";
  text += std::to_string(c.b);
  text += ')';
  return text;
}

RgbImage readPpm(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maximum = 0;
  if (!(in >> magic >> width >> height >> maximum) || magic != "P6" || maximum != 255 || width <= 0 || height <= 0)
    return {};
  in.get();  // the one whitespace byte before the pixels
  std::vector<unsigned char> bytes(static_cast<size_t>(width) * height * 3);
  if (!in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return {};
  RgbImage image(width, height);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
  return image;
}

namespace {

uint32_t le(const std::vector<unsigned char> &b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<size_t>(i)];
  return v;
}

}  // namespace

RgbImage readBmp24(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return {};
  uint32_t offset = le(b, 10, 4);
  int32_t width = static_cast<int32_t>(le(b, 18, 4));
  int32_t height = static_cast<int32_t>(le(b, 22, 4));
  if (le(b, 14, 4) < 40 || le(b, 28, 2) != 24 || le(b, 30, 4) != 0 || width <= 0 || height == 0) return {};
  bool bottomUp = height > 0;
  if (!bottomUp) height = -height;
  size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  if (offset + rowBytes * static_cast<size_t>(height) > b.size()) return {};
  RgbImage image(width, height);
  for (int y = 0; y < height; ++y) {
    size_t row = offset + rowBytes * static_cast<size_t>(bottomUp ? height - 1 - y : y);
    for (int x = 0; x < width; ++x) {
      const unsigned char *p = &b[row + 3 * static_cast<size_t>(x)];
      image.at(x, y) = {p[2], p[1], p[0]};
    }
  }
  return image;
}

bool writeBmp24(const std::string &path, const RgbImage &image) {
  bmptest::BmpContents bmp;
  bmp.width = image.width;
  bmp.height = image.height;
  for (const Rgb &c : image.pixels)
    bmp.pixels.push_back(
        bmptest::bmpColor(static_cast<uint32_t>(c.r), static_cast<uint32_t>(c.g), static_cast<uint32_t>(c.b)));
  return bmptest::writeBmpFile(path, bmp);
}

RgbImage renderReferenceText(const std::string &text, int width, int height) {
  BITMAPINFO info;
  std::memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HDC dc = CreateCompatibleDC(nullptr);
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dc || !bitmap || !bits) return {};
  size_t pitch = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  std::memset(bits, 0, pitch * static_cast<size_t>(height));
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  HFONT font = CreateFontA(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           NONANTIALIASED_QUALITY, VARIABLE_PITCH | FF_DONTCARE, "Arial");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetTextColor(dc, 255);
  SetBkColor(dc, 1);
  TextOutA(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
  RgbImage image(width, height);
  const unsigned char *p = static_cast<const unsigned char *>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned char *q = p + pitch * static_cast<size_t>(y) + 3 * static_cast<size_t>(x);
      image.at(x, y) = {q[2], q[1], q[0]};
    }
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(font);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return image;
}

int textBoxWidth(const RgbImage &reference) {
  int width = 0;
  for (int y = 0; y < reference.height; ++y)
    for (int x = 0; x < reference.width; ++x)
      if (!(reference.at(x, y) == Rgb{}) && x + 1 > width) width = x + 1;
  return width;
}

}  // namespace scenario

#include "support/png_reader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace bmptest {

uint32_t RgbaImage::colorref(int x, int y) const {
  const uint8_t *p = rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
}

uint8_t RgbaImage::alpha(int x, int y) const { return rgba[(static_cast<size_t>(y) * width + x) * 4 + 3]; }

// The classic interface, not the simplified one: that one treats 16-bit
// files as linear light and converts them to sRGB, which changes the values.
bool readPng(const std::string &path, RgbaImage *image, std::string *error) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (!file) {
    if (error) *error = path + ": cannot open";
    return false;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    if (png) png_destroy_read_struct(&png, nullptr, nullptr);
    std::fclose(file);
    if (error) *error = path + ": libpng could not start";
    return false;
  }
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    if (error) *error = path + ": not a readable PNG";
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_expand(png);    // palette and low-bit gray to 8 bits, tRNS to alpha
  png_set_scale_16(png);  // 16 bits to 8, rounded
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  image->width = static_cast<int>(png_get_image_width(png, info));
  image->height = static_cast<int>(png_get_image_height(png, info));
  image->rgba.assign(static_cast<size_t>(image->width) * image->height * 4, 0);
  rows.resize(static_cast<size_t>(image->height));
  for (int y = 0; y < image->height; ++y) rows[y] = image->rgba.data() + static_cast<size_t>(y) * image->width * 4;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return true;
}

}  // namespace bmptest

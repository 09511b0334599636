// Reads PNG files (the BMP suite's reference pictures) as 8-bit RGBA, for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bmptest {

struct RgbaImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;              // width * height * 4, top row first
  uint32_t colorref(int x, int y) const;  // as 0x00BBGGRR, alpha dropped
  uint8_t alpha(int x, int y) const;
};

// False with the reason in `error` when the file cannot be read.
bool readPng(const std::string &path, RgbaImage *image, std::string *error);

}  // namespace bmptest

// Pictures for the end-to-end tests: frames dumped by the scenario driver
// (binary PPM), 24-bit BMP files read and written by plain code of the
// tests' own, and reference text drawn through the layer's GDI.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace scenario {

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb &other) const = default;
};

std::string toString(const Rgb &c);

struct RgbImage {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // row 0 first

  RgbImage() = default;
  RgbImage(int w, int h, Rgb fill = {}) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
  bool empty() const { return pixels.empty(); }
  const Rgb &at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  Rgb &at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Empty when the file is missing or not a binary PPM with maximum 255.
RgbImage readPpm(const std::string &path);
// Uncompressed 24-bit BMP files, bottom-up or top-down; empty otherwise.
RgbImage readBmp24(const std::string &path);
bool writeBmp24(const std::string &path, const RgbImage &image);

// `text` as the viewer's text writer draws it: the 13-pixel Arial, not
// anti-aliased, red on a box of (1, 0, 0), at (0, 0) of a black image.
RgbImage renderReferenceText(const std::string &text, int width, int height);

// Columns from 0 that a text box drawn at x 0 covers in a reference image.
int textBoxWidth(const RgbImage &reference);

}  // namespace scenario

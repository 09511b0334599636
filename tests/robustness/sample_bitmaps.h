// Small valid BMP files in every layout the decoder reads, made with the
// tests' BMP writer: seeds for the fuzz harnesses, files to cut short at
// every offset, and pictures that replace intro.bmp while the viewer runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace robustness {

struct SampleBitmap {
  std::string name;  // a file name: "rle8_delta_13x7.bmp"
  std::vector<uint8_t> bytes;
  int width = 0, height = 0;
  bool rle = false;  // an RLE stream, which may end without its end marker
};

// About thirty pictures of odd sizes: 1, 2, 4, 8 bits with palettes under
// each header kind, 16 and 32 bits with and without bit fields, 24 bits
// bottom-up and top-down, RLE8 and RLE4 with deltas and absolute runs, and
// RLE8 whose runs carry each row's padding.
const std::vector<SampleBitmap> &sampleBitmaps();

// One of them by name; aborts when there is none.
const SampleBitmap &sampleBitmap(const std::string &name);

// Bytes that are not a BMP file: the start of a PNG file, and text.
std::vector<uint8_t> pngSignatureFile();
std::vector<uint8_t> textFile();

bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> readFile(const std::string &path);

}  // namespace robustness

#include "sample_bitmaps.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "support/bmp_writer.h"

namespace robustness {
namespace {

using bmptest::bmpColor;
using bmptest::BmpContents;
using bmptest::RleStream;

constexpr uint32_t kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

// Colour c of a small gradient, 0x00RRGGBB.
uint32_t rampColor(int i) { return bmpColor((i * 53) & 0xFF, (i * 97 + 40) & 0xFF, (255 - i * 31) & 0xFF); }

std::vector<uint32_t> ramp(int count) {
  std::vector<uint32_t> palette;
  for (int i = 0; i < count; ++i) palette.push_back(rampColor(i));
  return palette;
}

// Pixel values for w by h pixels at `bits` bits: indices below `colors`, or packed values.
std::vector<uint32_t> pattern(int w, int h, int bits, int colors) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int i = x * 7 + y * 3;
      if (bits <= 8)
        pixels.push_back(static_cast<uint32_t>(i % colors));
      else if (bits == 16)
        pixels.push_back(static_cast<uint32_t>((i * 2654435761u) >> 16) & 0x7FFF);
      else
        pixels.push_back(rampColor(i) | (bits == 32 ? 0x80000000u : 0));
    }
  return pixels;
}

BmpContents indexed(int w, int h, int bits, int headerSize) {
  BmpContents s;
  s.width = w;
  s.height = h;
  s.bitsPerPixel = bits;
  s.headerSize = headerSize;
  s.palette = ramp(1 << bits);
  s.pixels = pattern(w, h, bits, 1 << bits);
  return s;
}

BmpContents packed(int w, int h, int bits, int headerSize, bool topDown = false) {
  BmpContents s;
  s.width = w;
  s.height = h;
  s.bitsPerPixel = bits;
  s.headerSize = headerSize;
  s.topDown = topDown;
  s.pixels = pattern(w, h, bits, 0);
  return s;
}

BmpContents bitFields(int w, int h, int bits, int headerSize, uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0,
                      uint32_t compression = kBitFields) {
  BmpContents s = packed(w, h, bits, headerSize);
  s.compression = compression;
  s.redMask = r, s.greenMask = g, s.blueMask = b, s.alphaMask = a;
  return s;
}

BmpContents rle(int w, int h, bool four, const RleStream &stream, int colors) {
  BmpContents s;
  s.width = w;
  s.height = h;
  s.bitsPerPixel = four ? 4 : 8;
  s.compression = four ? kRle4 : kRle8;
  s.palette = ramp(colors);
  s.rawBits = stream.bytes;
  return s;
}

std::vector<SampleBitmap> build() {
  std::vector<SampleBitmap> all;
  auto add = [&](const std::string &name, const BmpContents &bmp, bool isRle = false) {
    all.push_back(SampleBitmap{name, bmptest::writeBmp(bmp), bmp.width, bmp.height, isRle});
  };
  add("pal1_13x7.bmp", indexed(13, 7, 1, 40));
  add("pal2_9x5.bmp", indexed(9, 5, 2, 40));
  add("pal4_11x6.bmp", indexed(11, 6, 4, 40));
  add("pal8_7x9.bmp", indexed(7, 9, 8, 40));
  add("pal8_core_5x3.bmp", indexed(5, 3, 8, 12));
  add("pal4_core_7x4.bmp", indexed(7, 4, 4, 12));
  add("pal1_core_17x2.bmp", indexed(17, 2, 1, 12));
  add("pal8_os2v2_6x5.bmp", indexed(6, 5, 8, 64));
  add("pal4_os2v2short_5x5.bmp", indexed(5, 5, 4, 16));
  add("pal8_v4_3x3.bmp", indexed(3, 3, 8, 108));
  add("pal8_v5_4x2.bmp", indexed(4, 2, 8, 124));
  {
    BmpContents s = indexed(9, 4, 8, 40);
    s.palette.resize(5);  // indices up to 7 point past the table
    s.pixels = pattern(9, 4, 8, 8);
    add("pal8_past_palette_9x4.bmp", s);
  }
  {
    BmpContents s = indexed(6, 6, 8, 40);
    s.palette.resize(3);
    s.colorsUsed = 3;
    s.pixels = pattern(6, 6, 8, 3);
    add("pal8_colorsused3_6x6.bmp", s);
  }
  add("rgb16_555_7x5.bmp", packed(7, 5, 16, 40));
  add("rgb24_13x7.bmp", packed(13, 7, 24, 40));
  add("rgb24_topdown_5x9.bmp", packed(5, 9, 24, 40, true));
  add("rgb24_1x1.bmp", packed(1, 1, 24, 40));
  add("rgb32_6x3.bmp", packed(6, 3, 32, 40));
  add("rgb32_topdown_3x7.bmp", packed(3, 7, 32, 40, true));
  add("bitfields16_565_9x4.bmp", bitFields(9, 4, 16, 40, 0xF800, 0x07E0, 0x001F));
  add("bitfields16_444_5x5.bmp", bitFields(5, 5, 16, 56, 0x0F00, 0x00F0, 0x000F, 0xF000));
  add("bitfields16_v4_565_3x6.bmp", bitFields(3, 6, 16, 108, 0xF800, 0x07E0, 0x001F));
  add("bitfields32_bgr_5x4.bmp", bitFields(5, 4, 32, 40, 0x000000FF, 0x0000FF00, 0x00FF0000));
  add("bitfields32_v5_7x3.bmp", bitFields(7, 3, 32, 124, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000));
  add("bitfields32_52_4x4.bmp", bitFields(4, 4, 32, 52, 0x3FF00000, 0x000FFC00, 0x000003FF));
  add("alphabitfields32_3x3.bmp",
      bitFields(3, 3, 32, 40, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, kAlphaBitFields));
  {
    RleStream s;
    s.run(5, 1).absolute({2, 3, 4, 5}).run(4, 6).endOfLine();
    s.delta(3, 1).run(6, 7).endOfLine();
    s.absolute({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}).endOfLine();
    s.run(13, 9).endOfLine().delta(2, 1).run(3, 4).endOfBitmap();
    add("rle8_delta_13x7.bmp", rle(13, 7, false, s, 16), true);
  }
  {
    RleStream s;
    s.run(7, 0x12).absolute({1, 2, 3, 4, 5}, true).endOfLine();
    s.run(12, 0x34).endOfLine().delta(5, 1).run(4, 0x56).endOfLine();
    s.absolute({7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12}, true).endOfBitmap();
    add("rle4_delta_12x5.bmp", rle(12, 5, true, s, 16), true);
  }
  {
    RleStream s;  // no end-of-bitmap marker: the stream just stops
    s.run(4, 2).endOfLine().run(4, 3);
    add("rle8_unterminated_4x3.bmp", rle(4, 3, false, s, 4), true);
  }
  {
    // Encoded by the writer with each row's padding pixel in its runs.
    BmpContents s = indexed(7, 5, 8, 40);
    s.compression = kRle8;
    s.palette.resize(16);
    s.pixels = pattern(7, 5, 8, 16);
    s.rleCarriesPadding = true;
    add("rle8_padded_7x5.bmp", s, true);
  }
  return all;
}

}  // namespace

const std::vector<SampleBitmap> &sampleBitmaps() {
  static const std::vector<SampleBitmap> all = build();
  return all;
}

const SampleBitmap &sampleBitmap(const std::string &name) {
  for (const SampleBitmap &b : sampleBitmaps())
    if (b.name == name) return b;
  std::fprintf(stderr, "no sample bitmap named %s\n", name.c_str());
  std::abort();
}

std::vector<uint8_t> pngSignatureFile() {
  // A PNG signature and the start of an IHDR chunk for a 640x480 picture.
  return {0x89, 'P', 'N',  'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I',  'H',  'D',  'R', 0,
          0,    2,   0x80, 0,   0,    1,    0xE0, 8,    2, 0, 0, 0,  0x15, 0x14, 0x15, 0x27};
}

std::vector<uint8_t> textFile() {
  const std::string text = "BMP? No: this is a text file that someone named intro.bmp.\n";
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace robustness

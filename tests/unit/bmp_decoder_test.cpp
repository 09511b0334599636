// The BMP decoder on files made to order: every bit count and row order,
// header variant, palette and mask rule, RLE code, and refusal.
#include <gtest/gtest.h>

#include <random>

#include "gdi/bmp_decoder.h"
#include "support/bmp_writer.h"

using namespace layer;
using namespace layer::gdi;
using bmptest::bmpColor;
using bmptest::BmpContents;
using bmptest::GuardedBytes;
using bmptest::RleStream;

namespace {

BmpResult decode(const std::vector<uint8_t> &file) {
  GuardedBytes bytes(file);
  return decodeBmp(bytes.data(), bytes.size());
}

BmpResult decode(const BmpContents &bmp) { return decode(bmptest::writeBmp(bmp)); }

// The decoded pixel as 0x00RRGGBB, to compare with what the writer was given.
uint32_t rgbAt(const Bitmap &bitmap, int x, int y) {
  COLORREF c = unpackFromTarget(bitmap.pixels, readPixel(bitmap.pixels, x, y));
  return bmpColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

std::vector<uint32_t> grayPalette(int count) {
  std::vector<uint32_t> p;
  for (int i = 0; i < count; ++i) {
    uint32_t v = static_cast<uint32_t>(count == 1 ? 255 : i * 255 / (count - 1));
    p.push_back(bmpColor(v, 255 - v, (v * 7) & 0xFF));
  }
  return p;
}

// A picture whose every pixel differs from its neighbours at most bit counts.
BmpContents pattern(int bitsPerPixel, bool topDown, int width = 13, int height = 5) {
  BmpContents s;
  s.width = width;
  s.height = height;
  s.bitsPerPixel = bitsPerPixel;
  s.topDown = topDown;
  if (bitsPerPixel <= 8) s.palette = grayPalette(1 << bitsPerPixel);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t v = static_cast<uint32_t>(x * 31 + y * 17 + x * y);
      if (bitsPerPixel <= 8)
        v %= (1u << bitsPerPixel);
      else if (bitsPerPixel == 16)
        v = (v * 2654435761u) & 0x7FFF;
      else
        v = (v * 2654435761u) & 0xFFFFFF;
      s.pixels.push_back(v);
    }
  return s;
}

// What the writer's raw value means as 0x00RRGGBB for the default layouts.
uint32_t expectedRgb(const BmpContents &s, uint32_t raw) {
  if (s.bitsPerPixel <= 8) return raw < s.palette.size() ? s.palette[raw] : 0;
  if (s.bitsPerPixel == 16) {
    auto widen5 = [](uint32_t v) { return (v << 3) | (v >> 2); };
    return bmpColor(widen5((raw >> 10) & 31), widen5((raw >> 5) & 31), widen5(raw & 31));
  }
  return raw & 0xFFFFFF;
}

void expectPicture(const BmpContents &s, const BmpResult &r) {
  ASSERT_TRUE(r.bitmap) << describeBmpError(r.error);
  ASSERT_EQ(r.bitmap->pixels.width, s.width);
  ASSERT_EQ(r.bitmap->pixels.height, s.height);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      ASSERT_EQ(rgbAt(*r.bitmap, x, y), expectedRgb(s, s.pixels[static_cast<size_t>(y) * s.width + x]))
          << "at " << x << "," << y;
}

// An RLE file of the given size; the stream goes into rawBits.
BmpContents rleSpec(int width, int height, bool fourBit, std::vector<uint32_t> palette) {
  BmpContents s;
  s.width = width;
  s.height = height;
  s.bitsPerPixel = fourBit ? 4 : 8;
  s.compression = fourBit ? BI_RLE4 : BI_RLE8;
  s.palette = std::move(palette);
  return s;
}

class EveryBitCount : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(EveryBitCount, DecodesUprightWithTheFilesColours) {
  auto [bpp, topDown] = GetParam();
  for (int width : {1, 7, 13, 32}) {
    SCOPED_TRACE("width " + std::to_string(width));
    BmpContents s = pattern(bpp, topDown, width);
    expectPicture(s, decode(s));
  }
}

INSTANTIATE_TEST_SUITE_P(Bmp, EveryBitCount,
                         ::testing::Combine(::testing::Values(1, 2, 4, 8, 16, 24, 32), ::testing::Bool()));

TEST(BmpDecoder, KeepsTheFilesLayoutForPackedPixels) {
  BmpResult r24 = decode(pattern(24, false));
  ASSERT_TRUE(r24.bitmap);
  EXPECT_EQ(r24.bitmap->pixels.layout, (PixelLayout{24, 0xFF0000, 0x00FF00, 0x0000FF}));
  EXPECT_LT(r24.bitmap->pixels.pitch, 0) << "bottom-up storage, top-row-first view";
  EXPECT_EQ(r24.bitmap->storage.size(), static_cast<size_t>(bmptest::bmpStride(13, 24) * 5));
  BmpResult top = decode(pattern(24, true));
  ASSERT_TRUE(top.bitmap);
  EXPECT_GT(top.bitmap->pixels.pitch, 0);
  BmpResult r16 = decode(pattern(16, false));
  ASSERT_TRUE(r16.bitmap);
  EXPECT_EQ(r16.bitmap->pixels.layout, layout555());
  BmpResult r4 = decode(pattern(4, false));
  ASSERT_TRUE(r4.bitmap);
  EXPECT_EQ(r4.bitmap->pixels.layout.bitsPerPixel, 8);
  EXPECT_EQ(r4.bitmap->palette.size(), 256u);
}

TEST(BmpDecoder, ReadsEveryHeaderVariant) {
  for (int header : {12, 16, 40, 52, 56, 64, 108, 124}) {
    SCOPED_TRACE("header " + std::to_string(header));
    BmpContents s = pattern(8, false);
    s.headerSize = header;
    s.colorsUsed = header == 16 ? -1 : 0;  // a 16-byte header has no colour count
    expectPicture(s, decode(s));
  }
}

TEST(BmpDecoder, RefusesUnknownHeaderSizes) {
  for (int header : {0, 11, 13, 20, 39, 41, 66, 100, 125}) {
    BmpContents s = pattern(8, false);
    s.headerSize = header;
    EXPECT_EQ(decode(s).error, BmpError::BadHeader) << header;
  }
}

TEST(BmpDecoder, ShortPalettesShowBlackPastTheirEnd) {
  BmpContents s = pattern(8, false);
  s.palette = {bmpColor(10, 20, 30), bmpColor(200, 100, 50), bmpColor(1, 2, 3)};
  expectPicture(s, decode(s));  // expectedRgb() gives black past the table
  s.headerSize = 12;            // core headers have no count: the offset of the bits bounds the table
  expectPicture(s, decode(s));
}

TEST(BmpDecoder, OversizedColourTablesUseTheirFirstEntries) {
  BmpContents s = pattern(4, false);
  s.palette = grayPalette(20);  // 20 entries for 16 indices
  BmpResult r = decode(s);
  s.palette.resize(16);
  expectPicture(s, r);
}

TEST(BmpDecoder, HonoursTheBitsOffset) {
  BmpContents s = pattern(24, false);
  s.gapBeforeBits = 37;
  expectPicture(s, decode(s));
}

TEST(BmpDecoder, TheLastRowMayEndWithoutPadding) {
  BmpContents s = pattern(24, false, 13, 4);  // 39 bytes a row, 40 with padding
  std::vector<uint8_t> file = bmptest::writeBmp(s);
  file.pop_back();
  expectPicture(s, decode(file));
  file.resize(file.size() - 1);  // now a pixel byte is missing
  EXPECT_EQ(decode(file).error, BmpError::ShortPixelData);
}

TEST(BmpDecoder, BitFieldsWidenEveryChannelToFullScale) {
  struct Case {
    int bpp;
    uint32_t r, g, b;
    int header;
  } cases[] = {{16, 0xF800, 0x07E0, 0x001F, 40},
               {16, 0x000F, 0x00F0, 0x0F00, 52},
               {16, 0x8000, 0x7E00, 0x01FF, 108},
               {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 40},
               {32, 0x3FF00000, 0x000FFC00, 0x000003FF, 124},
               {32, 0x000007FF, 0x003FF800, 0xFFC00000, 56}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.r << "/" << c.g << "/" << c.b << " header " << std::dec
                                    << c.header);
    BmpContents s;
    s.width = 4;
    s.height = 1;
    s.bitsPerPixel = c.bpp;
    s.compression = BI_BITFIELDS;
    s.headerSize = c.header;
    s.redMask = c.r, s.greenMask = c.g, s.blueMask = c.b;
    s.pixels = {c.r, c.g, c.b, c.r | c.g | c.b};
    BmpResult res = decode(s);
    ASSERT_TRUE(res.bitmap) << describeBmpError(res.error);
    EXPECT_EQ(rgbAt(*res.bitmap, 0, 0), 0xFF0000u);
    EXPECT_EQ(rgbAt(*res.bitmap, 1, 0), 0x00FF00u);
    EXPECT_EQ(rgbAt(*res.bitmap, 2, 0), 0x0000FFu);
    EXPECT_EQ(rgbAt(*res.bitmap, 3, 0), 0xFFFFFFu);
  }
}

TEST(BmpDecoder, AlphaBitFieldsReadTheirColourMasks) {
  BmpContents s;
  s.width = 2;
  s.height = 1;
  s.bitsPerPixel = 32;
  s.compression = BI_ALPHABITFIELDS;
  s.redMask = 0x0000FF00, s.greenMask = 0x00FF0000, s.blueMask = 0xFF000000, s.alphaMask = 0x000000FF;
  s.pixels = {0x332211FF, 0x00000080};
  BmpResult r = decode(s);
  ASSERT_TRUE(r.bitmap) << describeBmpError(r.error);
  EXPECT_EQ(rgbAt(*r.bitmap, 0, 0), bmpColor(0x11, 0x22, 0x33));
  EXPECT_EQ(rgbAt(*r.bitmap, 1, 0), 0u);
}

TEST(BmpDecoder, RefusesMasksThatCannotBeChannels) {
  struct Case {
    int bpp;
    uint32_t r, g, b;
  } cases[] = {
      {16, 0, 0, 0},                    // nothing
      {16, 0xF00F, 0x0F00, 0x00F0},     // red not contiguous
      {16, 0xFF00, 0x0FF0, 0x000F},     // red and green overlap
      {16, 0x1F0000, 0x07E0, 0x001F},   // past 16 bits
      {32, 0xFF0000, 0xFF00, 0xF0F0F0}  // blue not contiguous
  };
  for (const Case &c : cases) {
    BmpContents s = pattern(c.bpp, false);
    s.compression = BI_BITFIELDS;
    s.redMask = c.r, s.greenMask = c.g, s.blueMask = c.b;
    EXPECT_EQ(decode(s).error, BmpError::BadMasks) << std::hex << c.r << " " << c.g << " " << c.b;
  }
  // Masks that would follow a 40-byte header but are cut off by the end of the file.
  BmpContents s = pattern(16, false);
  s.compression = BI_BITFIELDS;
  std::vector<uint8_t> file = bmptest::writeBmp(s);
  file.resize(14 + 40 + 8);
  EXPECT_EQ(decode(file).error, BmpError::BadMasks);
}

// RLE8: a 6x3 picture drawn with every code; row 0 of the stream is the bottom row.
TEST(BmpDecoder, Rle8RunsAbsoluteRunsDeltasAndLineEnds) {
  BmpContents s =
      rleSpec(6, 3, false, {bmpColor(9, 9, 9), bmpColor(255, 0, 0), bmpColor(0, 255, 0), bmpColor(0, 0, 255)});
  s.rawBits = RleStream()
                  .run(3, 1)
                  .absolute({2, 3, 2})  // odd count: padded
                  .endOfLine()
                  .delta(2, 0)  // skip two pixels of the middle row
                  .run(4, 3)
                  .endOfLine()
                  .absolute({1, 2, 3, 1, 2, 3})
                  .endOfBitmap()
                  .bytes;
  BmpResult r = decode(s);
  ASSERT_TRUE(r.bitmap) << describeBmpError(r.error);
  const uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF;
  uint32_t want[3][6] = {{R, G, B, R, G, B}, {0, 0, B, B, B, B}, {R, R, R, G, B, G}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(rgbAt(*r.bitmap, x, y), want[y][x]) << x << "," << y;
}

TEST(BmpDecoder, Rle4AlternatesNibbles) {
  BmpContents s =
      rleSpec(5, 2, true, {bmpColor(0, 0, 0), bmpColor(255, 0, 0), bmpColor(0, 255, 0), bmpColor(0, 0, 255)});
  s.rawBits =
      RleStream().run(5, 0x12).endOfLine().absolute({3, 2, 1}, true).delta(1, 0).run(1, 0x30).endOfBitmap().bytes;
  BmpResult r = decode(s);
  ASSERT_TRUE(r.bitmap) << describeBmpError(r.error);
  const uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF;
  uint32_t want[2][5] = {{B, G, R, 0, B}, {R, G, R, G, R}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(rgbAt(*r.bitmap, x, y), want[y][x]) << x << "," << y;
}

TEST(BmpDecoder, RleSkippedPixelsAreBlackAndCutStreamsKeepWhatTheyDrew) {
  BmpContents s = rleSpec(4, 2, false, {bmpColor(200, 200, 200), bmpColor(255, 0, 0)});  // index 0 is not black
  s.rawBits = RleStream().run(2, 1).bytes;  // no end of line, no end of bitmap
  BmpResult r = decode(s);
  ASSERT_TRUE(r.bitmap) << describeBmpError(r.error);
  EXPECT_EQ(rgbAt(*r.bitmap, 0, 1), 0xFF0000u);
  EXPECT_EQ(rgbAt(*r.bitmap, 1, 1), 0xFF0000u);
  EXPECT_EQ(rgbAt(*r.bitmap, 2, 1), 0u);
  EXPECT_EQ(rgbAt(*r.bitmap, 0, 0), 0u);
  // An absolute run cut by the end of the file keeps its pixels that are there.
  s.rawBits = {0, 4, 1, 1};
  r = decode(s);
  ASSERT_TRUE(r.bitmap);
  EXPECT_EQ(rgbAt(*r.bitmap, 1, 1), 0xFF0000u);
  EXPECT_EQ(rgbAt(*r.bitmap, 2, 1), 0u);
}

// Rows encoded with their padding, as some tools write them: runs reach past
// each row's last pixel into the padding, and the row keeps its own pixels.
// The rows end in each way a run can carry the padding: one run of the last
// pixel's value, a run of padding alone, and an absolute run.
TEST(BmpDecoder, RleRunsCarryingTheRowPaddingKeepTheRowsPixels) {
  for (bool four : {false, true})
    for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 637}) {
      SCOPED_TRACE(std::string(four ? "RLE4" : "RLE8") + " width " + std::to_string(width));
      BmpContents s = rleSpec(width, 4, four, grayPalette(16));
      s.rleCarriesPadding = true;
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < width; ++x) {
          const uint32_t differing = static_cast<uint32_t>(x * 3 + y) % 15 + 1;  // never two equal in a row
          const uint32_t values[4] = {0, 5, differing, x + 1 == width ? 0 : differing};
          s.pixels.push_back(values[y]);
        }
      expectPicture(s, decode(s));
    }
  // By hand: an RLE4 run with two nibbles and an absolute RLE8 run, each
  // reaching past a row of 5; the next row starts where it should.
  const uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF;
  BmpContents s = rleSpec(5, 2, true, {0, R, G, B});
  s.rawBits = RleStream().run(8, 0x12).endOfLine().absolute({3, 2, 1, 3, 2, 1, 3}, true).endOfBitmap().bytes;
  BmpResult r = decode(s);
  ASSERT_TRUE(r.bitmap) << describeBmpError(r.error);
  uint32_t want[2][5] = {{B, G, R, B, G}, {R, G, R, G, R}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(rgbAt(*r.bitmap, x, y), want[y][x]) << x << "," << y;
  s = rleSpec(5, 2, false, {0, R, G, B});
  s.rawBits = RleStream().absolute({1, 2, 3, 1, 2, 3, 1}).run(1, 2).endOfLine().run(5, 3).endOfBitmap().bytes;
  r = decode(s);
  ASSERT_TRUE(r.bitmap) << describeBmpError(r.error);
  uint32_t want8[2][5] = {{B, B, B, B, B}, {R, G, B, R, G}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(rgbAt(*r.bitmap, x, y), want8[y][x]) << x << "," << y;
}

TEST(BmpDecoder, RefusesRleThatWritesOutsideThePicture) {
  BmpContents s = rleSpec(4, 2, false, {0, 0xFFFFFF});
  s.rawBits = RleStream().run(5, 1).endOfBitmap().bytes;  // past the right edge
  EXPECT_EQ(decode(s).error, BmpError::BadRle);
  s.rawBits = RleStream().endOfLine().endOfLine().run(1, 1).bytes;  // past the top
  EXPECT_EQ(decode(s).error, BmpError::BadRle);
  s.rawBits = RleStream().delta(2, 0).absolute({1, 1, 1}).bytes;
  EXPECT_EQ(decode(s).error, BmpError::BadRle);
  s.rawBits = RleStream().delta(200, 200).endOfBitmap().bytes;  // moving away is fine while nothing is drawn
  EXPECT_TRUE(decode(s).bitmap);
  // A row of 5 is padded to 8 pixels in RLE8 and in RLE4; runs reach no further.
  s.width = 5;
  s.rawBits = RleStream().run(4, 1).run(5, 1).endOfBitmap().bytes;  // past the padding
  EXPECT_EQ(decode(s).error, BmpError::BadRle);
  s.rawBits = RleStream().run(5, 1).run(5, 1).endOfBitmap().bytes;  // the next row without its end of line
  EXPECT_EQ(decode(s).error, BmpError::BadRle);
  s.rawBits = RleStream().delta(6, 0).run(1, 1).endOfBitmap().bytes;  // a delta past the row's end, then a run
  EXPECT_EQ(decode(s).error, BmpError::BadRle);
  s.rawBits = RleStream().run(5, 1).endOfLine().run(5, 1).endOfLine().run(1, 1).bytes;  // past the last row
  EXPECT_EQ(decode(s).error, BmpError::BadRle);
  s.bitsPerPixel = 4, s.compression = BI_RLE4;
  s.rawBits = RleStream().absolute({1, 1, 1, 1, 1, 1, 1, 1, 1}, true).endOfBitmap().bytes;
  EXPECT_EQ(decode(s).error, BmpError::BadRle);
  s.bitsPerPixel = 8, s.compression = BI_RLE8;
  s.rawBits = RleStream().run(1, 1).endOfBitmap().bytes;
  s.topDown = true;  // RLE is bottom-up only
  EXPECT_EQ(decode(s).error, BmpError::BadRle);
}

TEST(BmpDecoder, RefusesWhatItCannotShow) {
  struct Case {
    const char *what;
    void (*change)(BmpContents &);
    BmpError error;
  } cases[] = {
      {"zero width", [](BmpContents &s) { s.width = 0; }, BmpError::BadDimensions},
      {"negative width",
       [](BmpContents &s) {
         s.width = -13, s.rawBits = {0, 0, 0, 0};
       },
       BmpError::BadDimensions},
      {"zero height", [](BmpContents &s) { s.height = 0; }, BmpError::BadDimensions},
      {"two planes", [](BmpContents &s) { s.planes = 2; }, BmpError::BadDimensions},
      {"wider than 32768", [](BmpContents &s) { s.width = 32769; }, BmpError::TooLarge},
      {"taller than 32768 top-down", [](BmpContents &s) { s.height = 32769, s.topDown = true; }, BmpError::TooLarge},
      {"over 256 MiB",
       [](BmpContents &s) {
         s.width = 32768, s.height = 32768, s.rawBits = {0, 0, 0, 0};
       },
       BmpError::TooLarge},
      {"JPEG", [](BmpContents &s) { s.compression = BI_JPEG; }, BmpError::UnsupportedCompression},
      {"PNG", [](BmpContents &s) { s.compression = BI_PNG; }, BmpError::UnsupportedCompression},
      {"compression 7", [](BmpContents &s) { s.compression = 7; }, BmpError::UnsupportedCompression},
      {"OS/2 Huffman", [](BmpContents &s) { s.headerSize = 64, s.compression = 3; }, BmpError::UnsupportedCompression},
      {"OS/2 RLE24", [](BmpContents &s) { s.headerSize = 64, s.compression = 4; }, BmpError::UnsupportedCompression},
      {"3 bits",
       [](BmpContents &s) {
         s.bitsPerPixel = 3, s.rawBits = {0, 0, 0, 0};
       },
       BmpError::UnsupportedBitCount},
      {"64 bits",
       [](BmpContents &s) {
         s.bitsPerPixel = 64, s.rawBits = {0, 0, 0, 0};
       },
       BmpError::UnsupportedBitCount},
      {"RLE8 at 24 bits", [](BmpContents &s) { s.compression = BI_RLE8; }, BmpError::UnsupportedBitCount},
      {"RLE4 at 24 bits", [](BmpContents &s) { s.compression = BI_RLE4; }, BmpError::UnsupportedBitCount},
      {"bit fields at 24 bits", [](BmpContents &s) { s.compression = BI_BITFIELDS, s.redMask = 0xFF; },
       BmpError::UnsupportedBitCount},
      {"colour table past the file", [](BmpContents &s) { s.colorsUsed = 0x12345678; }, BmpError::BadPalette},
      {"bits past the file", [](BmpContents &s) { s.bitsOffset = 1 << 20; }, BmpError::BadBitsOffset},
      {"bits inside the header", [](BmpContents &s) { s.bitsOffset = 20; }, BmpError::BadBitsOffset},
      {"no pixels", [](BmpContents &s) { s.rawBits = {1}; }, BmpError::ShortPixelData},
  };
  for (const Case &c : cases) {
    BmpContents s = pattern(24, false);
    c.change(s);
    BmpResult r = decode(s);
    EXPECT_FALSE(r.bitmap) << c.what;
    EXPECT_EQ(r.error, c.error) << c.what << ": " << describeBmpError(r.error);
  }
}

TEST(BmpDecoder, RefusesWhatIsNoBitmap) {
  EXPECT_EQ(decodeBmp(nullptr, 0).error, BmpError::NotBitmap);
  EXPECT_EQ(decode(std::vector<uint8_t>{'B', 'M'}).error, BmpError::NotBitmap);
  std::vector<uint8_t> file = bmptest::writeBmp(pattern(8, false));
  file[1] = 'A';
  EXPECT_EQ(decode(file).error, BmpError::NotBitmap);
  file = bmptest::writeBmp(pattern(8, false));
  file.resize(14 + 20);
  EXPECT_EQ(decode(file).error, BmpError::BadHeader);
}

// Random damage to valid files: never a read past the end, and whatever
// decodes keeps its header's size within the limits.
TEST(BmpDecoder, SurvivesDamagedFiles) {
  std::mt19937 random(1234);
  std::vector<BmpContents> seeds = {pattern(1, false),  pattern(4, true),  pattern(8, false),
                                    pattern(16, false), pattern(24, true), pattern(32, false)};
  BmpContents rle;
  rle.width = 9, rle.height = 7, rle.bitsPerPixel = 8, rle.compression = BI_RLE8, rle.palette = grayPalette(16);
  rle.rawBits = RleStream().run(9, 3).endOfLine().delta(2, 1).absolute({1, 2, 3, 4, 5}).endOfBitmap().bytes;
  seeds.push_back(rle);
  BmpContents rle4 = rle;
  rle4.bitsPerPixel = 4, rle4.compression = BI_RLE4;
  seeds.push_back(rle4);
  for (const BmpContents &seed : seeds) {
    std::vector<uint8_t> original = bmptest::writeBmp(seed);
    for (int round = 0; round < 400; ++round) {
      std::vector<uint8_t> file = original;
      int changes = 1 + static_cast<int>(random() % 4);
      for (int k = 0; k < changes; ++k) {
        size_t at = random() % file.size();
        file[at] = static_cast<uint8_t>(random());
      }
      if (random() % 3 == 0) file.resize(random() % file.size());
      BmpResult r = decode(file);
      if (r.bitmap) {
        EXPECT_LE(r.bitmap->pixels.width, kBmpMaxSide);
        EXPECT_LE(r.bitmap->pixels.height, kBmpMaxSide);
        EXPECT_LE(r.bitmap->storage.size(), kBmpMaxPixelBytes);
      }
    }
  }
}

}  // namespace

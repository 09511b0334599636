// Every bad input the viewer can be given, each with its outcome: start-up
// goes on without a picture, or the picture is refused and nothing changes;
// never a crash. In-process through LoadImageA and Graphic::load and
// restore, and end to end through the real viewer.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver_run.h"
#include "gdi/bmp_decoder.h"
#include "graphics/bitmap_loading.h"
#include "layer_test.h"
#include "sample_bitmaps.h"
#include "support/address_sanitizer.h"
#include "support/bmp_writer.h"
#include "support/graphic_fixture.h"

namespace {

namespace fs = std::filesystem;
using layer::gdi::BmpError;
using robustness::SampleBitmap;

constexpr UINT kFromFile = LR_LOADFROMFILE | LR_CREATEDIBSECTION;

// Bytes of a file's header fields, for files made by hand.
void put32(std::vector<uint8_t> &file, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A 24-bit picture whose header claims width by height; `pixelBytes` of data follow.
std::vector<uint8_t> claimingSize(int32_t width, int32_t height, int bits, uint32_t compression, size_t pixelBytes) {
  bmptest::BmpContents bmp;
  bmp.width = 1;
  bmp.height = 1;
  bmp.bitsPerPixel = bits;
  bmp.compression = compression;
  if (bits <= 8) bmp.palette = {0x000000, 0xFFFFFF};
  bmp.rawBits.assign(pixelBytes, 0);
  if (compression == BI_RLE8 && pixelBytes >= 4) bmp.rawBits = {2, 1, 0, 1};  // a run of two, end of bitmap
  std::vector<uint8_t> file = bmptest::writeBmp(bmp);
  put32(file, 18, static_cast<uint32_t>(width));
  put32(file, 22, static_cast<uint32_t>(height));
  return file;
}

// The colours of a bitmap handle, row by row.
std::vector<COLORREF> colorsOf(HBITMAP bitmap, int *width = nullptr, int *height = nullptr) {
  BITMAP info;
  std::memset(&info, 0, sizeof(info));
  GetObjectA(bitmap, sizeof(info), &info);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ before = SelectObject(dc, bitmap);
  std::vector<COLORREF> colors;
  for (int y = 0; y < info.bmHeight; ++y)
    for (int x = 0; x < info.bmWidth; ++x) colors.push_back(GetPixel(dc, x, y));
  SelectObject(dc, before);
  DeleteDC(dc);
  if (width) *width = info.bmWidth;
  if (height) *height = info.bmHeight;
  return colors;
}

HBITMAP loadFromMemory(const std::vector<uint8_t> &bytes) {
  layer::registerBitmapResource("picture", bytes);
  return static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), "picture", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// Bytes an uncompressed file needs: everything but the last row's padding.
size_t neededBytes(const SampleBitmap &b) {
  const int bits = b.bytes[28] | (b.bytes[29] << 8);
  const uint32_t headerSize = b.bytes[14] | (b.bytes[15] << 8);
  const int fileBits = headerSize == 12 ? (b.bytes[24] | (b.bytes[25] << 8)) : bits;
  const size_t rowBytes = (static_cast<size_t>(b.width) * fileBits + 7) / 8;
  const size_t stride = (rowBytes + 3) / 4 * 4;
  return b.bytes.size() - (stride - rowBytes);
}

uint32_t bitsOffsetOf(const std::vector<uint8_t> &file) {
  return file[10] | (file[11] << 8) | (file[12] << 16) | (static_cast<uint32_t>(file[13]) << 24);
}

// Cut short at every offset, a file is refused while it lacks pixel data,
// and once it has them all it loads with the whole file's pixels; an RLE
// stream loads as soon as its headers are whole and keeps what it drew.
TEST(BadInput, CutAtEveryOffsetIsRefusedOrKeepsItsPixels) {
  layer::reset();
  size_t cuts = 0;
  for (const SampleBitmap &sample : robustness::sampleBitmaps()) {
    HBITMAP whole = loadFromMemory(sample.bytes);
    ASSERT_NE(whole, nullptr) << sample.name;
    const std::vector<COLORREF> full = colorsOf(whole);
    DeleteObject(whole);
    const size_t loadsFrom = sample.rle ? bitsOffsetOf(sample.bytes) : neededBytes(sample);
    for (size_t length = 0; length < sample.bytes.size(); ++length, ++cuts) {
      std::vector<uint8_t> cut(sample.bytes.begin(), sample.bytes.begin() + static_cast<ptrdiff_t>(length));
      // Straight into the decoder, ending at an unreadable page.
      bmptest::GuardedBytes guarded(cut);
      const bool decoded = layer::gdi::decodeBmp(guarded.data(), guarded.size()).bitmap != nullptr;
      HBITMAP bitmap = loadFromMemory(cut);
      ASSERT_EQ(bitmap != nullptr, decoded) << sample.name << " cut at " << length;
      ASSERT_EQ(decoded, length >= loadsFrom) << sample.name << " cut at " << length << " of " << sample.bytes.size();
      if (!bitmap) {
        EXPECT_NE(layer::gdi::lastImageLoadError(), BmpError::None);
        continue;
      }
      int width = 0, height = 0;
      const std::vector<COLORREF> colors = colorsOf(bitmap, &width, &height);
      DeleteObject(bitmap);
      ASSERT_EQ(width, sample.width);
      ASSERT_EQ(height, sample.height);
      for (size_t i = 0; i < colors.size(); ++i)
        ASSERT_TRUE(colors[i] == full[i] || (sample.rle && colors[i] == 0))
            << sample.name << " cut at " << length << ": pixel " << i;
    }
  }
  // The sample picture: every cut within its headers and the first rows,
  // then every 4099th byte.
  const std::vector<uint8_t> intro = robustness::readFile(robustness::introPath());
  ASSERT_GT(intro.size(), 4000u);
  for (size_t length = 0; length < intro.size(); length += length < 4000 ? 1 : 4099, ++cuts) {
    bmptest::GuardedBytes guarded(std::vector<uint8_t>(intro.begin(), intro.begin() + static_cast<ptrdiff_t>(length)));
    layer::gdi::BmpResult r = layer::gdi::decodeBmp(guarded.data(), guarded.size());
    ASSERT_FALSE(r.bitmap) << "intro.bmp cut at " << length;
  }
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
  std::printf("bad input: %zu cuts\n", cuts);
  layer::reset();
}

// Sizes that the file cannot back are refused before any memory is taken
// for them: the loads run in a child whose address space has room for little
// more than it already uses.
TEST(BadInput, HugeSizeClaimsAreRefusedWithoutTheMemory) {
  struct Claim {
    const char *what;
    std::vector<uint8_t> file;
    BmpError error;
  } claims[] = {
      {"32768 x 32768 at 24 bits", claimingSize(32768, 32768, 24, BI_RGB, 64), BmpError::TooLarge},
      {"30000 x 2000 at 24 bits, 64 bytes of pixels", claimingSize(30000, 2000, 24, BI_RGB, 64),
       BmpError::ShortPixelData},
      {"20000 x 13000 at 8 bits", claimingSize(20000, 13000, 8, BI_RGB, 64), BmpError::ShortPixelData},
      {"32769 wide", claimingSize(32769, 1, 24, BI_RGB, 64), BmpError::TooLarge},
      {"height -2147483648", claimingSize(16, INT32_MIN, 24, BI_RGB, 64), BmpError::TooLarge},
      {"4 x 100000000 at 1 bit", claimingSize(4, 100000000, 1, BI_RGB, 64), BmpError::TooLarge},
      {"32768 x 32768 RLE8", claimingSize(32768, 32768, 8, BI_RLE8, 4), BmpError::TooLarge},
      {"30000 x 30000 bit fields", claimingSize(30000, 30000, 32, BI_BITFIELDS, 64), BmpError::BadMasks},
  };
  char pattern[] = "/tmp/corvane-huge-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::vector<std::string> paths;
  for (const Claim &claim : claims) {
    paths.push_back(std::string(pattern) + "/claim" + std::to_string(paths.size()) + ".bmp");
    ASSERT_TRUE(robustness::writeFile(paths.back(), claim.file));
  }
  layer::reset();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
#if !defined(CORVANE_ADDRESS_SANITIZER)  // AddressSanitizer reserves its shadow memory up front
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    statm >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64u << 20);
    struct rlimit address = {limit, limit};
    if (setrlimit(RLIMIT_AS, &address) != 0) _exit(90);
#endif
    for (size_t i = 0; i < paths.size(); ++i) {
      HANDLE h = LoadImageA(nullptr, paths[i].c_str(), IMAGE_BITMAP, 0, 0, kFromFile);
      if (h != nullptr) _exit(static_cast<int>(10 + i));
      if (layer::gdi::lastImageLoadError() != claims[i].error) _exit(static_cast<int>(50 + i));
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  fs::remove_all(pattern);
  ASSERT_TRUE(WIFEXITED(status)) << "the child was killed by signal " << WTERMSIG(status);
  const int code = WEXITSTATUS(status);
  ASSERT_NE(code, 90) << "setrlimit failed";
  EXPECT_EQ(code, 0) << (code >= 50 ? "refused for another reason: " : "loaded: ")
                     << claims[code >= 50 ? code - 50 : code - 10].what;
}

class BadPicture : public graphictest::GraphicTest {
 protected:
  void SetUp() override {
    setenv("CORVANE_QUIET_DEBUG", "1", 1);
    GraphicTest::SetUp();
    char pattern[] = "/tmp/corvane-badpicture-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    previous_ = fs::current_path();
    ASSERT_EQ(chdir(directory_.c_str()), 0);
    useDisplay(24);
  }
  void TearDown() override {
    GraphicTest::TearDown();
    ASSERT_EQ(chdir(previous_.c_str()), 0);
    fs::remove_all(directory_);
  }
  // The picture surface's colours, row by row.
  std::vector<COLORREF> pictureColors() {
    layer::SurfaceImage image = layer::readSurface(graphic.surface);
    std::vector<COLORREF> colors;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) colors.push_back(image.color(x, y));
    return colors;
  }
  std::string directory_;
  fs::path previous_;
};

// 8-bit indices past the file's colour table show black; the others keep
// their colours.
TEST_F(BadPicture, PaletteIndicesPastTheTableShowBlack) {
  const SampleBitmap &sample = robustness::sampleBitmap("pal8_past_palette_9x4.bmp");
  ASSERT_TRUE(robustness::writeFile("intro.bmp", sample.bytes));
  ASSERT_TRUE(graphic.load("intro.bmp", &surfaces));
  EXPECT_EQ(graphic.width, 9);
  EXPECT_EQ(graphic.height, 4);
  const std::vector<COLORREF> colors = pictureColors();
  HBITMAP reference = loadFromMemory(sample.bytes);
  const std::vector<COLORREF> expected = colorsOf(reference);
  DeleteObject(reference);
  ASSERT_EQ(colors.size(), 36u);
  int black = 0;
  for (size_t i = 0; i < colors.size(); ++i) {
    const size_t x = i % 9, y = i / 9;
    const int index = static_cast<int>((x * 7 + y * 3) % 8);  // as the sample's pattern has it
    EXPECT_EQ(colors[i], index >= 5 ? 0u : expected[i]) << "pixel " << x << "," << y << " index " << index;
    black += index >= 5;
  }
  EXPECT_GT(black, 0);
}

// An RLE stream that runs past the picture (past a row's padding, or past
// the last row), or a file that claims more than it holds, is refused: no
// surface, the size as it was, nothing to restore.
TEST_F(BadPicture, RefusedFilesLeaveNoPicture) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  bmptest::BmpContents rle;
  rle.width = 4, rle.height = 3, rle.bitsPerPixel = 8, rle.compression = BI_RLE8, rle.palette = {0, 0xFFFFFF};
  rle.rawBits = bmptest::RleStream().run(3, 1).run(3, 1).endOfBitmap().bytes;  // six pixels in a row of four
  files.emplace_back("RLE8 past the row", bmptest::writeBmp(rle));
  rle.rawBits = bmptest::RleStream().delta(1, 3).run(1, 1).bytes;  // below the last row
  files.emplace_back("RLE8 past the last row", bmptest::writeBmp(rle));
  rle.bitsPerPixel = 4, rle.compression = BI_RLE4;
  rle.rawBits = bmptest::RleStream().absolute({1, 1, 1, 1, 1, 1, 1, 1, 1}, true).endOfBitmap().bytes;
  files.emplace_back("RLE4 absolute run past the row's padding", bmptest::writeBmp(rle));
  files.emplace_back("a huge claim", claimingSize(30000, 2000, 24, BI_RGB, 64));
  files.emplace_back("a PNG", robustness::pngSignatureFile());
  files.emplace_back("text", robustness::textFile());
  files.emplace_back("empty", std::vector<uint8_t>());
  for (const auto &[what, bytes] : files) {
    ASSERT_EQ(graphic.surface, nullptr);
    graphic.width = 11, graphic.height = 7;  // what an earlier load would have left
    ASSERT_TRUE(robustness::writeFile("intro.bmp", bytes));
    EXPECT_FALSE(graphic.load("intro.bmp", &surfaces)) << what;
    EXPECT_EQ(graphic.surface, nullptr) << what;
    EXPECT_EQ(graphic.width, 11) << what;
    EXPECT_EQ(graphic.height, 7) << what;
    EXPECT_EQ(graphic.restore(), E_FAIL) << what;
    EXPECT_EQ(layer::liveSurfaceCount(), 0) << what;
  }
}

// Names up to 49 characters are kept whole and found again by restoring;
// longer ones are refused and leave the picture and its name as they were.
TEST_F(BadPicture, FileNamesOf49CharactersFitAndLongerOnesAreRefused) {
  auto name = [](size_t length) { return std::string(length - 4, 'n') + ".bmp"; };
  const std::vector<uint8_t> first = graphictest::bmpFile(5, 3, [](int x, int y) { return RGB(40 * x, 60 * y, 7); });
  ASSERT_TRUE(robustness::writeFile(name(49), first));
  ASSERT_TRUE(graphic.load(name(49).c_str(), &surfaces));
  EXPECT_EQ(std::string(graphic.fileName), name(49));
  IDirectDrawSurface *surface = graphic.surface;
  const std::vector<COLORREF> loaded = pictureColors();
  graphic.invert();
  ASSERT_NE(pictureColors(), loaded);
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(pictureColors(), loaded) << "restored from the 49-character name";

  for (size_t length : {50, 51, 64, 255, 256, 4096}) {
    if (length <= 255) {  // longer names cannot be files here
      ASSERT_TRUE(robustness::writeFile(name(length), graphictest::bmpFile(2, 2, [](int, int) { return 0xFFFFFFu; })))
          << length;
    }
    EXPECT_FALSE(graphic.load(name(length).c_str())) << length;
    EXPECT_EQ(graphic.surface, surface) << length;
    EXPECT_EQ(std::string(graphic.fileName), name(49)) << length;
    EXPECT_EQ(graphic.width, 5);
    EXPECT_EQ(graphic.height, 3);
  }
  graphic.invert();
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(pictureColors(), loaded) << "the refused names left the picture's own";
  EXPECT_FALSE(graphic.load(nullptr));
  EXPECT_EQ(graphic.surface, surface);
}

// The file replaced while the picture is shown: another size is stretched to
// the picture's, another format converted; a file that is no bitmap any more
// leaves the picture as it was.
TEST_F(BadPicture, FileReplacedWhileShownByAnotherSizeOrFormat) {
  const std::vector<uint8_t> original =
      graphictest::bmpFile(64, 48, [](int x, int y) { return RGB(x * 4, y * 5, (x + y) * 2); });
  ASSERT_TRUE(robustness::writeFile("intro.bmp", original));
  ASSERT_TRUE(graphic.load("intro.bmp", &surfaces));
  const std::vector<COLORREF> loaded = pictureColors();

  // Smaller, 8 bits with a palette: stretched over the whole surface.
  const SampleBitmap &small = robustness::sampleBitmap("pal8_7x9.bmp");
  ASSERT_TRUE(robustness::writeFile("intro.bmp", small.bytes));
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(graphic.width, 64);
  EXPECT_EQ(graphic.height, 48);
  HBITMAP reference = loadFromMemory(small.bytes);
  const std::vector<COLORREF> smallColors = colorsOf(reference);
  DeleteObject(reference);
  std::vector<COLORREF> shown = pictureColors();
  ASSERT_EQ(shown.size(), 64u * 48u);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const int sx = (2 * x + 1) * 7 / (2 * 64), sy = (2 * y + 1) * 9 / (2 * 48);
      ASSERT_EQ(shown[static_cast<size_t>(y) * 64 + x], smallColors[static_cast<size_t>(sy) * 7 + sx]) << x << "," << y;
    }

  // The same size at 16 bits (5-5-5): each channel kept to its five bits.
  bmptest::BmpContents sixteen;
  sixteen.width = 64, sixteen.height = 48, sixteen.bitsPerPixel = 16;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) sixteen.pixels.push_back(static_cast<uint32_t>((x % 32) << 10 | (y % 32) << 5 | 17));
  ASSERT_TRUE(bmptest::writeBmpFile("intro.bmp", sixteen));
  EXPECT_EQ(graphic.restore(), DD_OK);
  shown = pictureColors();
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const COLORREF c = shown[static_cast<size_t>(y) * 64 + x];
      ASSERT_EQ(GetRValue(c) >> 3, x % 32) << x << "," << y;
      ASSERT_EQ(GetGValue(c) >> 3, y % 32) << x << "," << y;
      ASSERT_EQ(GetBValue(c) >> 3, 17) << x << "," << y;
    }
  const std::vector<COLORREF> beforeBad = shown;

  // No bitmap any more: restoring fails and the picture stays.
  std::vector<uint8_t> cut(original.begin(), original.begin() + 1000);
  for (const auto &[what, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
           {"cut short", cut}, {"a PNG", robustness::pngSignatureFile()}, {"text", robustness::textFile()}}) {
    ASSERT_TRUE(robustness::writeFile("intro.bmp", bytes));
    EXPECT_EQ(graphic.restore(), E_FAIL) << what;
    EXPECT_EQ(pictureColors(), beforeBad) << what;
  }
  fs::remove("intro.bmp");
  ASSERT_EQ(mkdir("intro.bmp", 0755), 0);
  EXPECT_EQ(graphic.restore(), E_FAIL) << "a directory";
  fs::remove("intro.bmp");
  EXPECT_EQ(graphic.restore(), E_FAIL) << "deleted";
  EXPECT_EQ(pictureColors(), beforeBad);
  EXPECT_EQ(layer::debugOutput().back(), "handle is null\n");

  ASSERT_TRUE(robustness::writeFile("intro.bmp", original));
  EXPECT_EQ(graphic.restore(), DD_OK);
  EXPECT_EQ(pictureColors(), loaded) << "the file put back";
}

// End to end: with each bad intro.bmp the viewer starts all the same, shows
// an empty black area inside its frame, ignores the colour commands and W,
// and Esc ends it with 27; no box.
// Root reads every file, so an unreadable picture is shown to a viewer that
// runs as nobody.
void expectStartsWithoutPicture(const std::string &what, const std::vector<uint8_t> *bytes, bool directory = false,
                                bool unreadable = false) {
  robustness::DriverOptions options;
  options.keep = true;
  if (unreadable && geteuid() == 0) options.runAs = 65534;
  options.prepare = [&](const std::string &dir) {
    const std::string path = dir + "/intro.bmp";
    if (directory) {
      ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    }
    if (bytes) {
      ASSERT_TRUE(robustness::writeFile(path, *bytes));
      if (unreadable) {
        ASSERT_EQ(chmod(path.c_str(), 0), 0);
      }
    }
  };
  robustness::DriverRun run = robustness::runDriver(options);
  EXPECT_EQ(run.exitCode, 27) << what << ": " << run.describe();
  EXPECT_EQ(run.picture, "none") << what;
  EXPECT_TRUE(run.areaBlack) << what;
  EXPECT_GE(run.frames, 5) << what;
  EXPECT_TRUE(run.boxes.empty()) << what << ": " << run.describe();
  EXPECT_TRUE(run.problems.empty()) << what << ": " << run.describe();
  EXPECT_TRUE(run.finished) << what << ": " << run.describe();
  EXPECT_NE(std::find(run.debug.begin(), run.debug.end(), "handle is null\\n"), run.debug.end())
      << what << ": W finds no bitmap";
}

TEST(BadInputEndToEnd, StartUpGoesOnWithoutAPicture) {
  const std::vector<uint8_t> intro = robustness::readFile(robustness::introPath());
  ASSERT_FALSE(intro.empty());
  expectStartsWithoutPicture("missing", nullptr);
  expectStartsWithoutPicture("a directory", nullptr, true);
  const std::vector<uint8_t> empty, png = robustness::pngSignatureFile(), text = robustness::textFile();
  expectStartsWithoutPicture("empty", &empty);
  expectStartsWithoutPicture("a PNG", &png);
  expectStartsWithoutPicture("text", &text);
  for (size_t length :
       {size_t{1}, size_t{14}, size_t{30}, size_t{54}, size_t{55}, intro.size() / 2, intro.size() - 1}) {
    const std::vector<uint8_t> cut(intro.begin(), intro.begin() + static_cast<ptrdiff_t>(length));
    expectStartsWithoutPicture("cut at " + std::to_string(length), &cut);
  }
  const std::vector<uint8_t> huge = claimingSize(30000, 30000, 24, BI_RGB, 64);
  expectStartsWithoutPicture("claiming 30000 x 30000", &huge);
  bmptest::BmpContents rle;
  rle.width = 4, rle.height = 3, rle.bitsPerPixel = 8, rle.compression = BI_RLE8, rle.palette = {0, 0xFFFFFF};
  rle.rawBits = bmptest::RleStream().run(9, 1).endOfBitmap().bytes;
  const std::vector<uint8_t> rleFile = bmptest::writeBmp(rle);
  expectStartsWithoutPicture("RLE past the picture", &rleFile);
}

TEST(BadInputEndToEnd, AnUnreadablePictureIsNoPicture) {
  const std::vector<uint8_t> intro = robustness::readFile(robustness::introPath());
  expectStartsWithoutPicture("unreadable", &intro, false, true);
}

// A picture whose indices reach past its palette is shown all the same.
TEST(BadInputEndToEnd, IndicesPastThePaletteStillShowThePicture) {
  const SampleBitmap &sample = robustness::sampleBitmap("pal8_past_palette_9x4.bmp");
  robustness::DriverOptions options;
  options.keep = true;
  options.prepare = [&](const std::string &dir) {
    ASSERT_TRUE(robustness::writeFile(dir + "/intro.bmp", sample.bytes));
  };
  robustness::DriverRun run = robustness::runDriver(options);
  EXPECT_EQ(run.exitCode, 27) << run.describe();
  EXPECT_EQ(run.picture, "9x4");
  EXPECT_FALSE(run.areaBlack);
  EXPECT_TRUE(run.problems.empty()) << run.describe();
}

}  // namespace

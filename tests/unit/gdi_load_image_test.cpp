// LoadImageA for bitmaps: files, the program's own bitmap resources, the
// errors it reports, sizes, the call record and faults.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gdi/bmp_decoder.h"
#include "layer_test.h"
#include "support/bmp_writer.h"

using bmptest::bmpColor;
using bmptest::BmpContents;

namespace {

constexpr UINT kFromFile = LR_LOADFROMFILE | LR_CREATEDIBSECTION;

// A 3x2 picture: red, green, blue over white, black, gray.
BmpContents smallPicture() {
  BmpContents s;
  s.width = 3;
  s.height = 2;
  s.bitsPerPixel = 24;
  s.pixels = {bmpColor(255, 0, 0),     bmpColor(0, 255, 0), bmpColor(0, 0, 255),
              bmpColor(255, 255, 255), bmpColor(0, 0, 0),   bmpColor(128, 128, 128)};
  return s;
}

class LoadImage : public ::testing::Test {
 protected:
  void SetUp() override {
    layer::reset();
    char pattern[] = "/tmp/corvane-loadimage-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    layer::reset();
    std::string command = "rm -rf '" + dir_ + "'";
    [[maybe_unused]] int ignored = std::system(command.c_str());
  }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }
  void writeText(const std::string &name, const std::string &text) {
    std::FILE *f = std::fopen(path(name).c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  HBITMAP load(const std::string &name) {
    return static_cast<HBITMAP>(LoadImageA(nullptr, path(name).c_str(), IMAGE_BITMAP, 0, 0, kFromFile));
  }
  // Loads, expects a refusal, and gives the last error.
  DWORD refusal(const std::string &name) {
    SetLastError(0);
    HANDLE h = LoadImageA(nullptr, path(name).c_str(), IMAGE_BITMAP, 0, 0, kFromFile);
    EXPECT_EQ(h, nullptr) << name;
    return GetLastError();
  }
  std::string dir_;
};

void expectSmallPicture(HBITMAP bitmap) {
  ASSERT_NE(bitmap, nullptr);
  BITMAP info{};
  ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(info.bmWidth, 3);
  EXPECT_EQ(info.bmHeight, 2);
  EXPECT_EQ(info.bmBitsPixel, 24) << "kept in the file's own layout";
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ original = SelectObject(dc, bitmap);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 2, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 2, 1), RGB(128, 128, 128));
  SelectObject(dc, original);
  DeleteDC(dc);
}

TEST_F(LoadImage, ReadsABitmapFileIntoADibSection) {
  ASSERT_TRUE(bmptest::writeBmpFile(path("intro.bmp"), smallPicture()));
  HBITMAP bitmap = load("intro.bmp");
  expectSmallPicture(bitmap);
  EXPECT_EQ(layer::liveGdiObjectCount(), 1);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
}

TEST_F(LoadImage, EachLoadIsANewBitmap) {
  ASSERT_TRUE(bmptest::writeBmpFile(path("a.bmp"), smallPicture()));
  HBITMAP one = load("a.bmp"), two = load("a.bmp");
  ASSERT_NE(one, nullptr);
  EXPECT_NE(one, two);
  DeleteObject(one);
  expectSmallPicture(two);
  DeleteObject(two);
}

TEST_F(LoadImage, ReportsWhyAFileWasRefused) {
  EXPECT_EQ(refusal("missing.bmp"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(layer::gdi::lastImageLoadError(), layer::gdi::BmpError::FileNotFound);
  ASSERT_EQ(mkdir(path("folder.bmp").c_str(), 0755), 0);
  EXPECT_EQ(refusal("folder.bmp"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  writeText("notes.bmp", "these are not the pixels you are looking for");
  EXPECT_EQ(refusal("notes.bmp"), static_cast<DWORD>(ERROR_BAD_FORMAT));
  writeText("empty.bmp", "");
  EXPECT_EQ(refusal("empty.bmp"), static_cast<DWORD>(ERROR_BAD_FORMAT));
  BmpContents broken = smallPicture();
  broken.compression = BI_JPEG;
  ASSERT_TRUE(bmptest::writeBmpFile(path("jpeg.bmp"), broken));
  EXPECT_EQ(refusal("jpeg.bmp"), static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_EQ(layer::gdi::lastImageLoadError(), layer::gdi::BmpError::UnsupportedCompression);
  std::vector<uint8_t> cut = bmptest::writeBmp(smallPicture());
  cut.resize(cut.size() - 9);
  writeText("short.bmp", std::string(cut.begin(), cut.end()));
  EXPECT_EQ(refusal("short.bmp"), static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_EQ(layer::liveGdiObjectCount(), 0);
}

TEST_F(LoadImage, RefusesFilesOverTheSizeLimitBeforeReadingThem) {
  std::FILE *f = std::fopen(path("huge.bmp").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  ASSERT_EQ(truncate(path("huge.bmp").c_str(), static_cast<off_t>(layer::gdi::kBmpMaxFileBytes + 1)), 0);  // sparse
  EXPECT_EQ(refusal("huge.bmp"), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(layer::gdi::lastImageLoadError(), layer::gdi::BmpError::FileTooLarge);
}

TEST_F(LoadImage, RefusesUnreadableFiles) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  ASSERT_TRUE(bmptest::writeBmpFile(path("locked.bmp"), smallPicture()));
  ASSERT_EQ(chmod(path("locked.bmp").c_str(), 0), 0);
  EXPECT_EQ(refusal("locked.bmp"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(LoadImage, FindsTheProgramsBitmapResourcesByNameInAnyCase) {
  layer::registerBitmapResource("Intro.BMP", bmptest::writeBmp(smallPicture()));
  HMODULE self = GetModuleHandleA(nullptr);
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(self, "intro.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  expectSmallPicture(bitmap);
  DeleteObject(bitmap);
  SetLastError(0);
  EXPECT_EQ(LoadImageA(self, "outro.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(LoadImageA(nullptr, "intro.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr)
      << "no module: not the program's resources";
  EXPECT_EQ(LoadImageA(self, reinterpret_cast<LPCSTR>(1), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr);
}

TEST_F(LoadImage, FilesAndResourcesAreLookedUpApart) {
  layer::registerBitmapResource("only-a-resource.bmp", bmptest::writeBmp(smallPicture()));
  // LR_LOADFROMFILE reads the file system only.
  EXPECT_EQ(LoadImageA(nullptr, "only-a-resource.bmp", IMAGE_BITMAP, 0, 0, kFromFile), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // And resources are not files.
  ASSERT_TRUE(bmptest::writeBmpFile(path("file.bmp"), smallPicture()));
  EXPECT_EQ(LoadImageA(GetModuleHandleA(nullptr), path("file.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION),
            nullptr);
  layer::clearBitmapResources();
  EXPECT_EQ(LoadImageA(GetModuleHandleA(nullptr), "only-a-resource.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION),
            nullptr);
}

TEST_F(LoadImage, ResetForgetsResources) {
  layer::registerBitmapResource("x.bmp", bmptest::writeBmp(smallPicture()));
  layer::reset();
  EXPECT_EQ(LoadImageA(GetModuleHandleA(nullptr), "x.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr);
}

TEST_F(LoadImage, AResourceThatIsNoBitmapIsRefused) {
  layer::registerBitmapResource("bad.bmp", {'B', 'M', 0, 0});
  SetLastError(0);
  EXPECT_EQ(LoadImageA(GetModuleHandleA(nullptr), "bad.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT));
}

TEST_F(LoadImage, SizesOtherThanZeroStretchThePicture) {
  ASSERT_TRUE(bmptest::writeBmpFile(path("p.bmp"), smallPicture()));
  HBITMAP big = static_cast<HBITMAP>(LoadImageA(nullptr, path("p.bmp").c_str(), IMAGE_BITMAP, 6, 4, kFromFile));
  ASSERT_NE(big, nullptr);
  BITMAP info{};
  GetObjectA(big, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 6);
  EXPECT_EQ(info.bmHeight, 4);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ original = SelectObject(dc, big);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 5, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 5, 3), RGB(128, 128, 128));
  SelectObject(dc, original);
  DeleteDC(dc);
  DeleteObject(big);
  HBITMAP wide = static_cast<HBITMAP>(LoadImageA(nullptr, path("p.bmp").c_str(), IMAGE_BITMAP, 9, 0, kFromFile));
  ASSERT_NE(wide, nullptr);
  GetObjectA(wide, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 9);
  EXPECT_EQ(info.bmHeight, 2) << "a zero keeps the file's own height";
  DeleteObject(wide);
  EXPECT_EQ(LoadImageA(nullptr, path("p.bmp").c_str(), IMAGE_BITMAP, -1, 0, kFromFile), nullptr);
}

TEST_F(LoadImage, OnlyBitmapsAreLoaded) {
  ASSERT_TRUE(bmptest::writeBmpFile(path("p.bmp"), smallPicture()));
  SetLastError(0);
  EXPECT_EQ(LoadImageA(nullptr, path("p.bmp").c_str(), IMAGE_ICON, 0, 0, kFromFile), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(LoadImageA(nullptr, nullptr, IMAGE_BITMAP, 0, 0, kFromFile), nullptr);
}

TEST_F(LoadImage, IsRecordedAndHonoursFaults) {
  ASSERT_TRUE(bmptest::writeBmpFile(path("p.bmp"), smallPicture()));
  layer::clearCalls();
  layer::injectFault("LoadImageA", E_OUTOFMEMORY);
  EXPECT_EQ(load("p.bmp"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_OUTOFMEMORY));
  HBITMAP bitmap = load("p.bmp");
  ASSERT_NE(bitmap, nullptr);
  std::vector<std::string> calls = layer::callTexts({"LoadImageA"});
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1], "LoadImageA(null, \"" + path("p.bmp") + "\", 0, 0, 0, 0x2010)");
  DeleteObject(bitmap);
}

}  // namespace

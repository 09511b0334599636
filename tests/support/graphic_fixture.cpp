#include "support/graphic_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "graphics/bitmap_loading.h"
#include "host/headless/headless_host.h"
#include "support/bmp_writer.h"

namespace graphictest {

void GraphicTest::TearDown() {
  if (graphic.surface) graphic.surface->Release();
  graphic.surface = nullptr;
  for (IDirectDrawSurface *surface : extraSurfaces) surface->Release();
  extraSurfaces.clear();
  surfaces.release();
  layer::reset();
}

void GraphicTest::useDisplay(int format) {
  layer::setUse555(format == 15);
  layer::headless::setDesktopDepth(format == 15 ? 16 : format);
  ASSERT_EQ(DirectDrawCreate(nullptr, &surfaces.directDraw, nullptr), DD_OK);
  graphic.owner = &surfaces;
}

void GraphicTest::restart(int format) {
  TearDown();
  SetUp();
  graphic.colorKeyEnabled = false;
  graphic.colorKey = 0;
  graphic.width = graphic.height = 0;
  useDisplay(format);
}

IDirectDrawSurface *GraphicTest::newSurface(int width, int height) {
  IDirectDrawSurface *surface = createOffscreenSurface(surfaces.directDraw, width, height);
  EXPECT_NE(surface, nullptr) << width << "x" << height;
  if (surface) extraSurfaces.push_back(surface);
  return surface;
}

IDirectDrawSurface *GraphicTest::attachSurface(int width, int height) {
  IDirectDrawSurface *surface = newSurface(width, height);
  extraSurfaces.pop_back();
  graphic.surface = surface;
  graphic.width = width;
  graphic.height = height;
  return surface;
}

void GraphicTest::writePixels(IDirectDrawSurface *surface, const PixelFunction &pixel) {
  layer::SurfaceImage image = layer::readSurface(surface);
  const int bytes = (image.bitsPerPixel + 7) / 8;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      for (int b = 0; b < bytes; ++b)
        image.bytes[static_cast<size_t>(y) * image.pitch + x * bytes + b] =
            static_cast<uint8_t>(pixel(x, y) >> (8 * b));
  layer::writeSurface(surface, image);
}

void GraphicTest::fillPixels(IDirectDrawSurface *surface, const std::vector<uint32_t> &values) {
  const int width = layer::readSurface(surface).width;
  writePixels(surface, [&](int x, int y) {
    size_t i = static_cast<size_t>(y) * width + x;
    return i < values.size() ? values[i] : 0u;
  });
}

std::vector<uint32_t> GraphicTest::readPixels(IDirectDrawSurface *surface) {
  layer::SurfaceImage image = layer::readSurface(surface);
  std::vector<uint32_t> values;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) values.push_back(image.pixel(x, y));
  return values;
}

void GraphicTest::writeRawBytes(IDirectDrawSurface *surface, const std::vector<uint8_t> &bytes) {
  DDSURFACEDESC description = {};
  description.dwSize = sizeof(description);
  ASSERT_EQ(surface->Lock(nullptr, &description, DDLOCK_WAIT, nullptr), DD_OK);
  size_t size = static_cast<size_t>(description.lPitch) * description.dwHeight;
  std::memcpy(description.lpSurface, bytes.data(), std::min(size, bytes.size()));
  surface->Unlock(nullptr);
}

TempFile::TempFile(const std::string &name) {
  char prefix[32];
  std::snprintf(prefix, sizeof(prefix), "g%d_", static_cast<int>(getpid()));
  path_ = std::string(prefix).append(name);
}

void TempFile::write(const std::vector<uint8_t> &bytes) const {
  FILE *file = std::fopen(path_.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path_;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

void TempFile::remove() const { std::remove(path_.c_str()); }

std::vector<uint8_t> bmpFile(int width, int height, const PixelFunction &color) {
  bmptest::BmpContents bmp;
  bmp.width = width;
  bmp.height = height;
  bmp.bitsPerPixel = 24;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t c = color(x, y);
      bmp.pixels.push_back(bmptest::bmpColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
  return bmptest::writeBmp(bmp);
}

}  // namespace graphictest

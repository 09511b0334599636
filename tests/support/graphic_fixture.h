// What the graphics tests share: a fresh layer per test, a DirectDraw object
// at the desktop's mode of a chosen depth, picture surfaces filled and read
// by raw pixel values, and a Graphic attached to them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/graphic.h"
#include "layer_test.h"
#include "screen/display_surfaces.h"

namespace graphictest {

// Pixel layouts by the walk's value, with the desktop depth that gives each.
struct Depth {
  int format;  // 15, 16, 24, 32
  int bytesPerPixel;
};
const std::vector<Depth> &allDepths();

class GraphicTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the DirectDraw object with the desktop at `format` (8, 15, 16,
  // 24 or 32; 15 is 16 bits in 5-5-5).
  void useDisplay(int format);
  // Releases everything, returns the layer to a fresh state and starts again
  // with a display at `format`; the Graphic keeps no surface and no key.
  void restart(int format);
  // An offscreen surface in the display's layout, zero-filled; owned by the test.
  IDirectDrawSurface *newSurface(int width, int height);
  // An offscreen surface standing in for the display's back buffer, held by
  // `surfaces`.
  IDirectDrawSurface *attachBackBuffer(int width, int height);
  // A surface of width by height for `graphic`, which then owns it.
  IDirectDrawSurface *attachSurface(int width, int height);

  void writePixels(IDirectDrawSurface *surface, const std::function<uint32_t(int x, int y)> &pixel);
  void fillPixels(IDirectDrawSurface *surface, const std::vector<uint32_t> &values);  // row by row
  std::vector<uint32_t> readPixels(IDirectDrawSurface *surface);                      // row by row
  uint32_t pixelAt(IDirectDrawSurface *surface, int x, int y);
  // All of the surface's memory, padding beyond each row included.
  std::vector<uint8_t> rawBytes(IDirectDrawSurface *surface) { return layer::readSurface(surface).bytes; }
  void writeRawBytes(IDirectDrawSurface *surface, const std::vector<uint8_t> &bytes);

  // The texts of the recorded calls whose names start with one of the prefixes.
  static std::vector<std::string> calls(const std::vector<std::string> &prefixes) { return layer::callTexts(prefixes); }

  DisplaySurfaces surfaces;
  Graphic graphic;
  std::vector<IDirectDrawSurface *> extraSurfaces;
};

// A scratch file in the test's own directory, removed at destruction.
class TempFile {
 public:
  explicit TempFile(const std::string &name);
  ~TempFile();
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;
  const std::string &path() const { return path_; }
  void write(const std::vector<uint8_t> &bytes) const;
  void remove() const;

 private:
  std::string path_;
};

// A 24-bit BMP file of the given size whose pixels come from `color`
// (COLORREF order 0x00BBGGRR).
std::vector<uint8_t> bmpFile(int width, int height, const std::function<uint32_t(int x, int y)> &color);

}  // namespace graphictest

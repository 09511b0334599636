// What the graphics tests share: a fresh layer per test, a DirectDraw object
// at the desktop's mode of a chosen depth, surfaces filled and read by raw
// pixel values, a Graphic attached to them, and scratch bitmap files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/graphic.h"
#include "layer_test.h"
#include "graphics/display_surfaces.h"

namespace graphictest {

using PixelFunction = std::function<uint32_t(int x, int y)>;

class GraphicTest : public ::testing::Test {
 protected:
  void SetUp() override { layer::reset(); }
  void TearDown() override;

  // The DirectDraw object with the desktop at `format` bits (8, 15, 16, 24
  // or 32; 15 is 16 bits in 5-5-5), and the Graphic's owner.
  void useDisplay(int format);
  // Everything released and the layer fresh again, then useDisplay(format);
  // the Graphic keeps no surface and no key.
  void restart(int format);
  // An offscreen surface in the display's layout, released at the end.
  IDirectDrawSurface *newSurface(int width, int height);
  // A surface that `graphic` owns, with its width and height.
  IDirectDrawSurface *attachSurface(int width, int height);

  void writePixels(IDirectDrawSurface *surface, const PixelFunction &pixel);
  void fillPixels(IDirectDrawSurface *surface, const std::vector<uint32_t> &values);  // row by row
  std::vector<uint32_t> readPixels(IDirectDrawSurface *surface);                      // row by row
  // All of the surface's memory, the padding beyond each row included.
  std::vector<uint8_t> rawBytes(IDirectDrawSurface *surface) { return layer::readSurface(surface).bytes; }
  void writeRawBytes(IDirectDrawSurface *surface, const std::vector<uint8_t> &bytes);

  DisplaySurfaces surfaces;
  Graphic graphic;
  std::vector<IDirectDrawSurface *> extraSurfaces;
};

// A scratch file in the working directory, named per process (test cases
// run side by side), removed at destruction.
class TempFile {
 public:
  explicit TempFile(const std::string &name);
  ~TempFile() { remove(); }
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;
  const std::string &path() const { return path_; }
  void write(const std::vector<uint8_t> &bytes) const;
  void remove() const;

 private:
  std::string path_;
};

// A 24-bit BMP file whose pixels come from `color` (COLORREF, 0x00BBGGRR).
std::vector<uint8_t> bmpFile(int width, int height, const PixelFunction &color);

}  // namespace graphictest

// What GDI offers the rest of the layer: device contexts onto a surface's
// pixels (DirectDraw's GetDC) and onto the screen (USER's GetDC), and, for
// the test API, the program's bitmap resources, font lookup and the count
// of live objects. GDI's own records are in gdi/gdi_objects.h, inside GDI.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/pixels.h"

namespace layer::gdi {

// A DirectDraw surface's memory, zeroed (null when there is none to be had),
// which createSurfaceDC draws on in place, and the order GDI keeps a
// layout's pixels in: surfaces keep theirs that way. Here GDI works in the
// layer's own layouts.
uint8_t *allocateSurfaceMemory(size_t bytes);
void freeSurfaceMemory(uint8_t *memory);
PixelLayout gdiLayout(const PixelLayout &layout);

HDC createSurfaceDC(const PixelBuffer &target, const std::string &surfaceLabel);
HDC createScreenDC(int bitsPerPixel);
HDC createScreenDC(int bitsPerPixel, int width, int height);  // with the screen's size for GetDeviceCaps
void destroyDC(HDC dc);                                       // for surface and screen DCs

// True for a live DC onto the screen.
bool isScreenDC(HDC dc);
// A live DC's label for the call record ("dc#4"); null for anything else.
const std::string *liveDcLabel(HDC dc);

// The program's own bitmap resources, by name (LoadImageA without
// LR_LOADFROMFILE); a program on this layer has none until some are set.
void setBitmapResource(const std::string &name, const std::vector<uint8_t> &bmpFile);
void forgetBitmapResources();

// With lookup off, CreateFontA finds no face and text uses the built-in font.
void setFaceLookupEnabled(bool enabled);

// Starts loading fontconfig's configuration and caches on a thread of their
// own, so that a host can overlap it with its own start; the first face
// lookup waits for it. Later calls do nothing.
void prepareFonts();

int liveObjectCount();

// Text in the layer's fonts onto a pixel buffer, for a host's own windows
// (the SDL host's fallback message box): the face GDI's CreateFontA would
// find for `faceName` at a cell `height` pixels high, drawn transparently.
class TextPen {
 public:
  TextPen(const char *faceName, int height, COLORREF color, const PixelBuffer &target = {});
  ~TextPen();
  int width(const std::string &text);
  int lineHeight();
  void write(int x, int y, const std::string &text);

 private:
  struct State;
  std::unique_ptr<State> state;
};

}  // namespace layer::gdi

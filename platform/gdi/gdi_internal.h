// What GDI offers the rest of the layer: device contexts onto a surface's
// pixels (DirectDraw's GetDC) and onto the screen (USER's GetDC), and, for
// the test API, the program's bitmap resources, font lookup and the count
// of live objects. GDI's own records are in gdi/gdi_objects.h, inside GDI.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/pixels.h"

namespace layer::gdi {

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

int liveObjectCount();

}  // namespace layer::gdi

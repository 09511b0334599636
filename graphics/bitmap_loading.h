// Moving Windows bitmaps into DirectDraw surfaces: reading a file into a new
// surface of its size, and reading it again (as a resource of the program or
// else from the file) over an existing surface.
#pragma once

#include <ddraw.h>
#include <windows.h>

#include <cstdint>

// The size of the last bitmap file that loadBitmapSurface read, set before
// its surface is made; Graphic::load takes them over after a success.
extern int32_t lastBitmapWidth;
extern int32_t lastBitmapHeight;

// Reads the bitmap file into a new offscreen surface of its size; null when
// there is no such bitmap or no surface could be made.
IDirectDrawSurface *loadBitmapSurface(IDirectDraw *directDraw, const char *fileName);

// An empty offscreen surface in the display's layout; null on failure.
IDirectDrawSurface *createOffscreenSurface(IDirectDraw *directDraw, int32_t width, int32_t height);

// Copies width by height pixels of the bitmap into the surface at (0, 0).
// Returns the result of the surface's GetDC.
HRESULT copyBitmapToSurface(IDirectDrawSurface *surface, HBITMAP bitmap, int32_t width, int32_t height);

// Finds the bitmap again under name (a resource of the program first, then
// the file) and stretches it over the whole surface.
HRESULT reloadBitmap(IDirectDrawSurface *surface, const char *name);

// Restores the surface and stretches the bitmap's width by height pixels at
// (x, y) over all of it; a width or height of 0 takes the bitmap's own.
HRESULT copyBitmap(IDirectDrawSurface *surface, HBITMAP bitmap, int32_t x, int32_t y, int32_t width, int32_t height);

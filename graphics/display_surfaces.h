// The display's three DirectDraw interfaces. The Screen owns them; text,
// lines and pictures hold a plain pointer to this record and never release
// what it holds.
#pragma once

#include <ddraw.h>

class DisplaySurfaces {
 public:
  IDirectDraw *directDraw = nullptr;
  IDirectDrawSurface *backBuffer = nullptr;  // every drawing writes here
  IDirectDrawSurface *primary = nullptr;     // the visible page, the one flipped

  DisplaySurfaces() = default;
  DisplaySurfaces(const DisplaySurfaces &) = delete;
  DisplaySurfaces &operator=(const DisplaySurfaces &) = delete;
  ~DisplaySurfaces() { release(); }

  // Releases the back buffer, the primary surface and the DirectDraw object,
  // in that order, each only if present, and sets each to null.
  void release();
};

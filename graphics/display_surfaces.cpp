// Releasing the display: the back buffer first, then the primary surface it
// belongs to, then the DirectDraw object that made them.
#include "graphics/display_surfaces.h"

void DisplaySurfaces::release() {
  if (backBuffer) {
    backBuffer->Release();
    backBuffer = nullptr;
  }
  if (primary) {
    primary->Release();
    primary = nullptr;
  }
  if (directDraw) {
    directDraw->Release();
    directDraw = nullptr;
  }
}

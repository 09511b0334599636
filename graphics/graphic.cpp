// The Graphic record's life: an empty picture at construction, its surface
// released at destruction.
#include "graphics/graphic.h"

#include <cstring>

Graphic::Graphic() {
  reset();
  fileName[0] = '\0';
  width = 0;
  height = 0;
  std::memset(&bltFx, 0, sizeof(bltFx));
  bltFx.dwSize = sizeof(bltFx);
  colorKey = 0;
}

Graphic::~Graphic() {
  if (surface != nullptr) {
    surface->Release();
    surface = nullptr;
  }
}

void Graphic::reset() {
  owner = nullptr;
  surface = nullptr;
  colorKeyEnabled = false;
}

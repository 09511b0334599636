// DisplaySurfaces lives with the pictures that draw onto it
// (graphics/display_surfaces.h); this name stays for code that still uses it.
#pragma once

#include "graphics/display_surfaces.h"

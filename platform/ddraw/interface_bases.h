// The platform interfaces DirectDraw's objects implement, as this build's
// headers declare them. The layer's own headers declare just the methods the
// layer offers; a build against the platform's SDK finds the other
// interface_bases.h (platform/host/win32/sdk/), which answers the rest.
#pragma once

#include <ddraw.h>

namespace layer::ddraw {

using SurfaceInterface = IDirectDrawSurface;
using DirectDrawInterface = IDirectDraw;

}  // namespace layer::ddraw

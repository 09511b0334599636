// What DirectDraw offers the rest of the layer.
#pragma once

namespace layer::ddraw {

// Exclusive mode loses every surface when the application loses the focus,
// as on the platform; USER calls this on such a focus change.
void loseAllSurfaces();

// True while some DirectDraw object holds exclusive full-screen access.
bool exclusiveActive();

}  // namespace layer::ddraw

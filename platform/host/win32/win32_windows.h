// What the Windows host keeps about the program's windows: ids for the
// layer (the host interface speaks of windows by id), the frame last shown
// in each, and the focus-loss listeners.
#pragma once

#include <windows.h>

#include <vector>

#include "core/pixels.h"

namespace layer::win32 {

// The window behind a host id, or null.
HWND windowFor(int id);

// Runs every focus-loss listener (WM_ACTIVATEAPP with FALSE).
void notifyFocusLoss();

// The exclusive window: borderless over its monitor, or, after Alt+Enter, a
// 640x480 window; its messages pass through the host first.
void enterExclusive(HWND window);
void leaveExclusive(HWND window);

// Paints the last frame onto a DC of the window, scaled by the largest whole
// factor that fits, black around it.
void paintFrame(HWND window, HDC dc);
// Keeps a copy of the frame for repainting.
void keepFrame(const PixelBuffer &frame);

}  // namespace layer::win32

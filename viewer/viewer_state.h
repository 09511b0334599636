// The viewer's process-wide state and its functions: the Screen and the
// Graphic it shows, the zoom factor, the help display and the clip
// rectangle, all of static storage duration.
#pragma once

#include <windows.h>

#include "graphics/clip_rect.h"
#include "graphics/graphic.h"
#include "screen/screen.h"

extern Screen viewerScreen;
extern Graphic viewerGraphic;

// Scale of the picture relative to 640 by 480, held between 0.1 and 16.
extern float zoom;
// Whether the two full help lines are shown instead of the prompt.
extern bool menuVisible;
// Where the picture is clipped and the frame is drawn; set once at start.
extern ClipRect clipRect;

// Brings up the display, loads "intro.bmp" and runs the frame loop; the
// result is the process's exit code.
int viewerMain(HINSTANCE instance, LPSTR commandLine);

// Composes one frame on the back buffer (the frame loop's callback).
void drawFrame();

// The window procedure: activation and the key commands.
LRESULT CALLBACK viewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The Esc command: shows the cursor again and ends the frame loop.
void exitViewer();

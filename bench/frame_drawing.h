// The viewer's frame without its picture, as the frame benchmarks draw it:
// the clear, the four frame lines, the zoom line and both help lines.
#pragma once

#include "screen/screen.h"

namespace bench {

inline constexpr char kHelp1[] =
    "| Esc to EXIT | + to ZOOM_IN | - to ZOOM_OUT | w to restore graphic | q to grayscale | b to brighten |";
inline constexpr char kHelp2[] =
    "| d to darken | e to add red | r to add green | t to add blue | y to minus red | u to minus green | i to minus "
    "blue |";

inline void drawFrameWithoutFlip(Screen &s) {
  s.clearBackBuffer();
  s.lineDrawer.drawHorizontal(21, 619, 16, 255);
  s.lineDrawer.drawVertical(16, 464, 619, 255);
  s.lineDrawer.drawHorizontal(21, 619, 464, 255);
  s.lineDrawer.drawVertical(16, 464, 21, 255);
  s.textWriter.printf(0, 0, " ZOOM: %i %%", 100);
  s.textWriter.printf(0, 435, kHelp1);
  s.textWriter.printf(0, 455, kHelp2);
}

}  // namespace bench

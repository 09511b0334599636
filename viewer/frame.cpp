// One frame of the viewer: the picture scaled and centred, clipped to the
// clip rectangle, the red frame along the rectangle, the zoom line and the
// help text.
#include "viewer/viewer_state.h"

namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr COLORREF kFrameColor = 255;  // pure red

}  // namespace

void drawFrame() {
  // The products are formed in double precision, where they are exact, and
  // truncated: in single precision one step below 1.0 would round up to 576.
  const double scale = static_cast<double>(zoom);
  const int width = static_cast<int>(scale * kScreenWidth);
  const int height = static_cast<int>(scale * kScreenHeight);
  // An odd size leaves its spare pixel of margin on the left or at the top.
  const int x = kScreenWidth / 2 - (width >> 1);
  const int y = kScreenHeight / 2 - (height >> 1);

  viewerGraphic.draw(x, y, width, height, clipRect);

  LineDrawer &lines = viewerScreen.lineDrawer;
  lines.drawHorizontal(clipRect.left, clipRect.right, clipRect.top, kFrameColor);
  lines.drawVertical(clipRect.top, clipRect.bottom, clipRect.right, kFrameColor);
  lines.drawHorizontal(clipRect.left, clipRect.right, clipRect.bottom, kFrameColor);
  lines.drawVertical(clipRect.top, clipRect.bottom, clipRect.left, kFrameColor);

  TextWriter &text = viewerScreen.textWriter;
  const int percent = static_cast<int>(scale * 100.0);
  text.printf(0, 0, " ZOOM: %i %%", percent);
  if (menuVisible) {
    text.printf(
        0, 435,
        "| Esc to EXIT | + to ZOOM_IN | - to ZOOM_OUT | w to restore graphic | q to grayscale | b to brighten |");
    text.printf(0, 455,
                "| d to darken | e to add red | r to add green | t to add blue | y to minus red | u to minus green | i "
                "to minus blue |");
  } else {
    text.printf(0, 460, "| Press spacebar for menu |");
  }
}

// The viewer's window procedure: activation switches drawing on and off, and
// each key press runs its command between frames.
#include "viewer/viewer_state.h"

namespace {

constexpr float kStep = 0.1f;  // colour amounts and the zoom step
constexpr float kMinZoom = 0.1f;
constexpr float kMaxZoom = 16.0f;

bool closePosted = false;  // a WM_CLOSE of our own is on its way through the queue

// The step is formed in double precision and stored in single precision;
// both bounds are single-precision values.
void zoomIn() {
  const double sum = static_cast<double>(zoom) + static_cast<double>(kStep);
  zoom = static_cast<float>(sum);
  if (sum > static_cast<double>(kMaxZoom)) zoom = kMaxZoom;
}

void zoomOut() {
  const double difference = static_cast<double>(zoom) - static_cast<double>(kStep);
  zoom = static_cast<float>(difference);
  if (difference < static_cast<double>(kMinZoom)) zoom = kMinZoom;
}

// A letter's virtual-key code is its upper-case letter whatever Shift and
// Caps Lock say; codes not listed do nothing.
void runCommand(WPARAM virtualKey) {
  switch (virtualKey) {
    case VK_ESCAPE:
      exitViewer();
      break;
    case VK_SPACE:
      menuVisible = !menuVisible;
      break;
    case 'B':
      viewerGraphic.brighten(kStep);
      break;
    case 'C':
      viewerGraphic.invert();
      break;
    case 'D':
      viewerGraphic.darken(kStep);
      break;
    case 'E':
      viewerGraphic.addColor(kStep, 0, 0);
      break;
    case 'I':
      viewerGraphic.addColor(0, 0, -kStep);
      break;
    case 'Q':
      viewerGraphic.grayscale();
      break;
    case 'R':
      viewerGraphic.addColor(0, kStep, 0);
      break;
    case 'T':
      viewerGraphic.addColor(0, 0, kStep);
      break;
    case 'U':
      viewerGraphic.addColor(0, -kStep, 0);
      break;
    case 'W':
      viewerGraphic.restore();
      break;
    case 'Y':
      viewerGraphic.addColor(-kStep, 0, 0);
      break;
    case VK_ADD:
      zoomIn();
      break;
    case VK_SUBTRACT:
      zoomOut();
      break;
    default:
      break;
  }
}

}  // namespace

LRESULT CALLBACK viewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATEAPP:
      viewerScreen.active = static_cast<int>(wParam);
      return 0;
    case WM_KEYDOWN:
      // Auto-repeats arrive as further key-downs and run the command again.
      runCommand(wParam);
      return 0;
    case WM_CLOSE:
      // The window manager's close and Alt+F4 end the viewer as Esc does;
      // the window itself goes with the process. The frame loop returns the
      // wParam of the message it took last, and Alt+F4's WM_CLOSE comes
      // inside the key's own message, so the close is carried out on a
      // WM_CLOSE of its own from the queue, whose wParam 0 is the exit code.
      if (!closePosted && PostMessageA(window, WM_CLOSE, 0, 0)) {
        closePosted = true;
        return 0;
      }
      exitViewer();
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void exitViewer() {
  ShowCursor(TRUE);
  viewerScreen.stop();
}

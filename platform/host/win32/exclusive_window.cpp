// The exclusive window on Windows. The monitor's mode never changes: the
// window loses its border and covers its monitor, and each frame is scaled
// by the largest whole factor that fits, nearest neighbour, with black bars.
// Alt+Enter toggles a 640x480 window and back. Losing the foreground loses
// every surface before the program hears of it.
#include <algorithm>
#include <vector>

#include "dib_info.h"
#include "win32_windows.h"

namespace layer::win32 {
namespace {

struct Exclusive {
  HWND window = nullptr;
  WNDPROC programProc = nullptr;
  LONG_PTR style = 0;  // the program's own style and place, back when exclusive mode ends
  RECT placed{};
  bool windowed = false;  // Alt+Enter's 640x480 window
};
Exclusive exclusive;

struct Frame {
  std::vector<uint8_t> bytes;
  PixelBuffer pixels;
};
Frame lastFrame;

constexpr int kWindowedWidth = 640;
constexpr int kWindowedHeight = 480;

RECT monitorArea(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
  return info.rcMonitor;
}

void place(HWND window, bool windowed) {
  RECT area = monitorArea(window);
  LONG_PTR style = windowed ? WS_OVERLAPPEDWINDOW : WS_POPUP;
  RECT rect = area;
  if (windowed) {
    // The client area in the middle of the monitor, where the frame was.
    RECT frame{0, 0, kWindowedWidth, kWindowedHeight};
    AdjustWindowRect(&frame, static_cast<DWORD>(style), FALSE);
    const LONG left = area.left + std::max<LONG>(0, (area.right - area.left - kWindowedWidth) / 2);
    const LONG top = area.top + std::max<LONG>(0, (area.bottom - area.top - kWindowedHeight) / 2);
    rect = RECT{left + frame.left, top + frame.top, left + frame.right, top + frame.bottom};
  }
  SetWindowLongPtrA(window, GWL_STYLE, style | WS_VISIBLE);
  SetWindowPos(window, HWND_TOP, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  InvalidateRect(window, nullptr, TRUE);
}

LRESULT CALLBACK exclusiveProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WNDPROC programProc = exclusive.programProc;
  switch (message) {
    case WM_ACTIVATEAPP:
      if (!wParam) notifyFocusLoss();
      break;
    case WM_SYSKEYDOWN:
      if (wParam == VK_RETURN && (lParam & (1 << 29))) {  // Alt+Enter
        if (!(lParam & (1 << 30))) {                      // not its auto-repeat
          exclusive.windowed = !exclusive.windowed;
          place(window, exclusive.windowed);
        }
        return 0;
      }
      break;
    case WM_SYSCHAR:
      if (wParam == '\r') return 0;  // no beep for Alt+Enter
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (lastFrame.pixels.bits) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        paintFrame(window, dc);
        EndPaint(window, &paint);
        return 0;
      }
      break;
  }
  return CallWindowProcA(programProc, window, message, wParam, lParam);
}

}  // namespace

void enterExclusive(HWND window) {
  if (exclusive.window) leaveExclusive(exclusive.window);
  exclusive = Exclusive{};
  exclusive.window = window;
  exclusive.style = GetWindowLongPtrA(window, GWL_STYLE);
  GetWindowRect(window, &exclusive.placed);
  exclusive.programProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(exclusiveProc)));
  place(window, false);
}

void leaveExclusive(HWND window) {
  if (window != exclusive.window || !exclusive.programProc) return;
  if (IsWindow(window)) {
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(exclusive.programProc));
    SetWindowLongPtrA(window, GWL_STYLE, exclusive.style);
    const RECT &r = exclusive.placed;
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  exclusive = Exclusive{};
}

void keepFrame(const PixelBuffer &frame) {
  const size_t bytes = static_cast<size_t>(frame.pitch) * frame.height;
  lastFrame.bytes.assign(frame.bits, frame.bits + bytes);
  lastFrame.pixels = frame;
  lastFrame.pixels.bits = lastFrame.bytes.data();
}

void paintFrame(HWND window, HDC dc) {
  const PixelBuffer &frame = lastFrame.pixels;
  DibInfo info;
  if (!frame.bits || !describeDib(frame, &info)) return;
  RECT client;
  GetClientRect(window, &client);
  const int width = client.right, height = client.bottom;
  const int factor = std::max(1, std::min(width / frame.width, height / frame.height));
  const int shownWidth = frame.width * factor, shownHeight = frame.height * factor;
  const int left = (width - shownWidth) / 2, top = (height - shownHeight) / 2;
  auto black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  const RECT bars[] = {{0, 0, width, top},
                       {0, top + shownHeight, width, height},
                       {0, top, left, top + shownHeight},
                       {left + shownWidth, top, width, top + shownHeight}};
  for (const RECT &bar : bars)
    if (bar.right > bar.left && bar.bottom > bar.top) FillRect(dc, &bar, black);
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, left, top, shownWidth, shownHeight, 0, 0, frame.width, frame.height, frame.bits, asBitmapInfo(info),
                DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace layer::win32

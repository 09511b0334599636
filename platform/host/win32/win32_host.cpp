// The host on Windows: USER, GDI, DirectSound and DirectInput are Windows'
// own, so the host only presents DirectDraw's frames, keeps its exclusive
// window and paces presents to the monitor's refresh. The program's windows,
// boxes, keys and sound never pass through it.
#include <windows.h>

#include "host/host.h"
#include "win32_windows.h"

namespace layer {
namespace {

// Frames in real pixels on high-DPI monitors, and sleeps to the
// millisecond for pacing; both before the program makes its first window.
struct ProcessSetup {
  ProcessSetup() {
    SetProcessDPIAware();
    timeBeginPeriod(1);
  }
} processSetup;

class Win32Host final : public Host {
 public:
  bool createWindow(int, const char *, int, int, std::string *whyNot) override {
    if (whyNot) *whyNot = "windows are made by USER";
    return false;
  }
  void showWindow(int) override {}
  void destroyWindow(int) override {}

  void setExclusive(int window, bool on) override {
    HWND handle = win32::windowFor(window);
    if (!handle) return;
    if (on)
      win32::enterExclusive(handle);
    else
      win32::leaveExclusive(handle);
  }

  void present(int window, const PixelBuffer &frame) override {
    HWND handle = win32::windowFor(window);
    if (!handle) return;
    win32::keepFrame(frame);
    if (HDC dc = GetDC(handle)) {
      win32::paintFrame(handle, dc);
      ReleaseDC(handle, dc);
    }
    pace();
  }

  bool pollEvent(HostEvent *) override { return false; }
  void waitEvent() override { WaitMessage(); }
  int messageBox(const char *text, const char *caption, unsigned type) override {
    return MessageBoxA(nullptr, text, caption, type);
  }
  void setCursorVisible(bool visible) override { ShowCursor(visible); }
  int desktopBitsPerPixel() override {
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return bits;
  }
  bool openAudio() override { return false; }
  void closeAudio() override {}
  void keyboardState(uint8_t state[256]) override {
    for (int i = 0; i < 256; ++i) state[i] = 0;
  }

 private:
  // One present per refresh: a present sooner than one refresh after the
  // last sleeps until then, so a program flipping as fast as it can does
  // not spin a core.
  void pace() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const LONGLONG period = frequency.QuadPart / refreshRate();
    const LONGLONG due = lastPresent + period;
    if (lastPresent != 0 && now.QuadPart < due) {
      Sleep(static_cast<DWORD>((due - now.QuadPart) * 1000 / frequency.QuadPart));
      lastPresent = due;
    } else {
      lastPresent = now.QuadPart;
    }
  }

  int refreshRate() {
    if (refresh == 0) {
      HDC screen = GetDC(nullptr);
      refresh = GetDeviceCaps(screen, VREFRESH);
      ReleaseDC(nullptr, screen);
      if (refresh <= 1) refresh = 60;  // "hardware default"
    }
    return refresh;
  }

  LONGLONG lastPresent = 0;
  int refresh = 0;
};

}  // namespace

Host &host() {
  static Win32Host *instance = new Win32Host;
  return *instance;
}

}  // namespace layer

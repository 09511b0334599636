// Screen set-up and teardown: the window, the DirectDraw display in the
// requested mode with its flip chain, then the devices, text and lines.
// Each failure of the display's set-up is shown in a box and ends create.
#include "screen/screen.h"

#include <cstring>

#include "graphics/graphic.h"

namespace {

const char kSurfacesFailed[] = "Couldnt Set Surfaces! Fatal Error! DirectX is jacked Man";

// Bits per pixel for a ScreenMode; 0, which no display mode has, for a mode
// beyond the table.
DWORD depthOf(ScreenMode mode) {
  switch (mode) {
    case 0:
      return 8;
    case 1:
      return 16;
    case 2:
      return 24;
    case 3:
      return 32;
    case 4: {
      HDC screen = GetDC(nullptr);
      int depth = GetDeviceCaps(screen, BITSPIXEL);
      ReleaseDC(nullptr, screen);
      return depth > 0 ? static_cast<DWORD>(depth) : 0;
    }
    default:
      return 0;
  }
}

void showError(const char *text, const char *caption) { MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONERROR); }

}  // namespace

bool Screen::create(const char *title, int32_t width, int32_t height, ScreenMode mode, WNDPROC windowProc,
                    HINSTANCE instance, HICON icon, HCURSOR cursor) {
  WNDCLASSA windowClass;
  std::memset(&windowClass, 0, sizeof(windowClass));
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = icon;
  windowClass.hCursor = cursor;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = title;
  RegisterClassA(&windowClass);  // a class left from an earlier registration serves as well

  window = CreateWindowExA(0, title, title, WS_POPUPWINDOW, 0, 0, width, height, nullptr, nullptr, instance, nullptr);
  if (!window) return false;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);

  DWORD depth = depthOf(mode);

  if (DirectDrawCreate(nullptr, &surfaces.directDraw, nullptr) != DD_OK) {
    surfaces.directDraw = nullptr;
    showError("Couldnt Create DirectX Object! Error: Terminating!", "Error!!!");
    stop();
    return false;
  }
  if (surfaces.directDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE) !=
      DD_OK) {
    surfaces.release();
    showError("Couldnt Set Cooperative Level, Fatal Error Aborting", "Error");
    return false;
  }
  if (surfaces.directDraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height), depth) != DD_OK) {
    showError("Error Setting Display Mode", nullptr);
    surfaces.release();
    return false;
  }
  if (!createSurfaces()) {
    showError(kSurfacesFailed, "Broken Software :(");
    return false;
  }

  initSound();  // the screen works without sound
  initKeyboard();
  textWriter.init(&surfaces);
  lineDrawer.init(&surfaces);
  running = true;
  return true;
}

void Screen::stop() { running = false; }

bool Screen::createSurfaces() {
  DDSURFACEDESC description;
  std::memset(&description, 0, sizeof(description));
  description.dwSize = sizeof(DDSURFACEDESC);
  description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  description.dwBackBufferCount = 1;
  if (surfaces.directDraw->CreateSurface(&description, &surfaces.primary, nullptr) != DD_OK) {
    surfaces.primary = nullptr;
    surfaces.release();
    return false;
  }
  DDSCAPS backBufferCaps;
  backBufferCaps.dwCaps = DDSCAPS_BACKBUFFER;
  if (surfaces.primary->GetAttachedSurface(&backBufferCaps, &surfaces.backBuffer) != DD_OK) {
    surfaces.backBuffer = nullptr;
    surfaces.release();  // the primary surface, then the DirectDraw object
    return false;
  }
  return true;
}

bool Screen::loadGraphic(Graphic &graphic, const char *fileName) { return graphic.load(fileName, &surfaces); }

// A plain window for tests of the layer's devices: a class of its own name
// with DefWindowProcA, and a WS_POPUP window of that class at (0, 0).
#pragma once

#include <windows.h>

namespace testsupport {

inline HWND makePopupWindow(const char *name, int width, int height) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = name;
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, name, name, WS_POPUP, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace testsupport

// USER's state and its reset, message boxes, the cursor, screen device
// contexts, the foreground and desktop windows.
#include <windows.h>

#include <cstdio>

#include "core/trace.h"
#include "gdi/gdi_internal.h"
#include "host/host.h"
#include "user/user_internal.h"
#include "user/user_state.h"

namespace layer::user {

UserState &state() {
  static UserState *s = new UserState;  // never destroyed: used during static destruction
  return *s;
}

void resetUser() { state() = UserState{}; }

std::vector<void (*)()> &focusLossListeners() {
  static auto *listeners = new std::vector<void (*)()>;  // never destroyed, as the state
  return *listeners;
}

void addFocusLossListener(void (*listener)()) {
  for (auto f : focusLossListeners())
    if (f == listener) return;
  focusLossListeners().push_back(listener);
}

int cursorShowCount() { return state().cursorCount; }

namespace {
[[maybe_unused]] const bool registered = (layer::registerReset(resetUser), true);
}  // namespace

}  // namespace layer::user

using namespace layer::user;

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (traceFails("MessageBoxA", [&] {
        return layer::format("%s, \"%s\", %s, 0x%x", label(owner).c_str(), text ? text : "", caption ? caption : "NULL",
                             type);
      }))
    return 0;
  if (owner != nullptr && owner != desktopHandle() && !windowOrError(owner)) return 0;
  layer::traceMessageBox(owner, text, caption, type);
  // The platform's default caption when none is given.
  const char *shownCaption = caption ? caption : "Error";
  std::fprintf(stderr, "%s: %s\n", shownCaption, text ? text : "");
  std::fflush(stderr);
  return layer::host().messageBox(text ? text : "", shownCaption, type);
}

int WINAPI ShowCursor(BOOL show) {
  UserState &s = state();
  if (traceFails("ShowCursor", [&] { return show ? "TRUE" : "FALSE"; })) return s.cursorCount;
  s.cursorCount += show ? 1 : -1;
  layer::host().setCursorVisible(s.cursorCount >= 0);
  return s.cursorCount;
}

// Every window's DC is a DC onto the screen: the layer draws windows nowhere.
HDC WINAPI GetDC(HWND window) {
  if (traceFails("GetDC", [&] { return label(window); })) return nullptr;
  if (window != nullptr && window != desktopHandle() && !windowOrError(window)) return nullptr;
  return layer::gdi::createScreenDC(layer::host().desktopBitsPerPixel());
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
  if (traceFails("ReleaseDC", [&] {
        const std::string *dcLabel = layer::gdi::liveDcLabel(dc);
        return label(window) + ", " + (dcLabel ? *dcLabel : (dc ? std::string("stale dc") : "NULL"));
      }))
    return 0;
  // Only the screen DCs that GetDC hands out are given back here.
  if (!layer::gdi::isScreenDC(dc)) return 0;
  layer::gdi::destroyDC(dc);
  return 1;
}

HWND WINAPI GetForegroundWindow(void) {
  if (traceFails("GetForegroundWindow")) return nullptr;
  HWND foreground = state().foreground;
  return liveWindow(foreground) ? foreground : nullptr;
}

HWND WINAPI GetDesktopWindow(void) {
  if (traceFails("GetDesktopWindow")) return nullptr;
  return desktopHandle();
}

}  // extern "C"

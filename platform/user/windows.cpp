// Window classes, windows and the default window procedure.
#include <windows.h>

#include <cctype>
#include <cstdio>

#include "core/trace.h"
#include "host/host.h"
#include "user/user_internal.h"
#include "user/user_state.h"

namespace layer::user {
namespace {

// Program windows are 0x10000 + 4 * id; the desktop sits below that range.
constexpr uintptr_t kWindowBase = 0x10000;
constexpr uintptr_t kDesktop = 0x10;

std::string lowerCase(const char *text) {
  std::string out(text);
  for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool isAtom(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

std::string classText(LPCSTR name) {
  if (name == nullptr) return "NULL";
  if (isAtom(name)) return format("#%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(name)));
  return format("\"%s\"", name);
}

// A class by name (case-insensitive, as on the platform) or by atom.
WindowClass *findClass(LPCSTR name) {
  if (name == nullptr) return nullptr;
  UserState &s = state();
  if (isAtom(name)) {
    auto atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    for (auto &[key, c] : s.classes)
      if (c.atom == atom) return &c;
    return nullptr;
  }
  auto it = s.classes.find(lowerCase(name));
  return it == s.classes.end() ? nullptr : &it->second;
}

// Show commands that leave the activation alone.
bool showsWithoutActivating(int command) {
  return command == 4 /* SW_SHOWNOACTIVATE */ || command == 7 /* SW_SHOWMINNOACTIVE */ || command == 8 /* SW_SHOWNA */;
}

void showWindowInternal(HWND window, int command) {
  Window *w = liveWindow(window);
  if (!w) return;
  if (command == SW_HIDE || command == SW_MINIMIZE) {
    if (command == SW_HIDE) w->visible = false;
    if (state().foreground == window) setAppActive(nullptr, false, true);
    return;
  }
  if (!w->visible) w->needsPaint = true;
  w->visible = true;
  int id = w->id;
  host().showWindow(id);
  if (!showsWithoutActivating(command) && (state().foreground != window || !state().appActive))
    setAppActive(window, true, true);
}

// Everything destruction does after the checks: deactivation, WM_DESTROY,
// WM_NCDESTROY, the queue's messages for the window, the host's window.
void destroyWindowInternal(HWND window) {
  Window *w = liveWindow(window);
  if (!w || w->destroying) return;
  w->destroying = true;
  w->visible = false;
  if (state().foreground == window) setAppActive(nullptr, false, true);
  send(window, WM_DESTROY, 0, 0);
  send(window, WM_NCDESTROY, 0, 0);
  std::erase_if(state().queue, [window](const QueuedMessage &m) { return m.msg.hwnd == window; });
  w = liveWindow(window);
  if (!w) return;
  int id = w->id;
  w->alive = false;
  if (state().foreground == window) state().foreground = nullptr;
  host().destroyWindow(id);
}

}  // namespace

HWND handleOf(int id) { return reinterpret_cast<HWND>(kWindowBase + 4 * static_cast<uintptr_t>(id)); }

HWND desktopHandle() { return reinterpret_cast<HWND>(kDesktop); }

bool isLiveWindow(HWND window) { return liveWindow(window) != nullptr; }

Window *liveWindow(HWND window) {
  auto value = reinterpret_cast<uintptr_t>(window);
  if (value < kWindowBase || (value - kWindowBase) % 4 != 0) return nullptr;
  auto id = static_cast<int>((value - kWindowBase) / 4);
  auto it = state().windows.find(id);
  if (it == state().windows.end() || !it->second.alive) return nullptr;
  return &it->second;
}

std::string label(HWND window) {
  if (window == nullptr) return "NULL";
  if (window == desktopHandle()) return "desktop";
  auto value = reinterpret_cast<uintptr_t>(window);
  if (value >= kWindowBase && (value - kWindowBase) % 4 == 0 &&
      state().windows.count(static_cast<int>((value - kWindowBase) / 4)))
    return format("window#%d", static_cast<int>((value - kWindowBase) / 4));
  return format("%#llx", static_cast<unsigned long long>(value));
}

Window *windowOrError(HWND window) {
  Window *w = liveWindow(window);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

int hostWindowId(HWND window) {
  Window *w = liveWindow(window);
  return w ? w->id : 0;
}

LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window *w = liveWindow(window);
  if (!w || !w->procedure) return 0;
  WNDPROC procedure = w->procedure;  // the record may move while the procedure runs
  return procedure(window, message, wParam, lParam);
}

void setAppActive(HWND window, bool active, bool sent) {
  UserState &s = state();
  HWND told = active ? window : s.foreground;
  s.foreground = active ? window : nullptr;
  if (s.appActive == active) return;
  s.appActive = active;
  if (!told) return;
  if (sent)
    send(told, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
  else
    post(told, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
}

}  // namespace layer::user

using namespace layer::user;

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA *windowClass) {
  const char *name = windowClass ? windowClass->lpszClassName : nullptr;
  if (traceFails("RegisterClassA", [&] { return classText(name); })) return 0;
  if (!windowClass || !name || isAtom(name) || !*name || !windowClass->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (findClass(name)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  UserState &s = state();
  WindowClass c;
  c.name = name;
  c.atom = s.nextAtom++;
  c.description = *windowClass;
  c.description.lpszClassName = nullptr;  // the caller's string need not outlive the call
  c.description.lpszMenuName = nullptr;
  ATOM atom = c.atom;
  s.classes[lowerCase(name)] = std::move(c);
  return atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (traceFails("UnregisterClassA", [&] { return classText(className); })) return FALSE;
  WindowClass *c = findClass(className);
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  UserState &s = state();
  for (auto &[id, w] : s.windows)
    if (w.alive && lowerCase(w.className.c_str()) == lowerCase(c->name.c_str())) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  s.classes.erase(lowerCase(c->name.c_str()));
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  const char *title = windowName ? windowName : "";
  if (traceFails("CreateWindowExA", [&] {
        return layer::format("%s, \"%s\", 0x%x, %d, %d, %d, %d", classText(className).c_str(), title,
                             static_cast<unsigned>(style), x, y, width, height);
      }))
    return nullptr;
  WindowClass *c = findClass(className);
  if (!c) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (width == CW_USEDEFAULT) width = 640;
  if (height == CW_USEDEFAULT) height = 480;
  if (width < 0) width = 0;
  if (height < 0) height = 0;

  UserState &s = state();
  int id = s.nextWindowId++;
  std::string whyNot;
  if (!layer::host().createWindow(id, title, width, height, &whyNot)) {
    std::fprintf(stderr, "corvane: cannot create a window: %s\n", whyNot.empty() ? "unknown reason" : whyNot.c_str());
    std::fflush(stderr);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  Window w;
  w.id = id;
  w.alive = true;
  w.className = c->name;
  w.title = title;
  w.procedure = c->description.lpfnWndProc;
  s.windows[id] = std::move(w);
  HWND window = handleOf(id);

  CREATESTRUCTA create{};
  create.lpCreateParams = param;
  create.hInstance = instance;
  create.hMenu = menu;
  create.hwndParent = parent;
  create.cy = height;
  create.cx = width;
  create.y = y == CW_USEDEFAULT ? 0 : y;
  create.x = x == CW_USEDEFAULT ? 0 : x;
  create.style = static_cast<LONG>(style);
  create.lpszName = title;
  create.lpszClass = className;
  create.dwExStyle = exStyle;
  if (!send(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
    // Refused before it was made: only the non-client part is taken down.
    send(window, WM_NCDESTROY, 0, 0);
    if (Window *dead = liveWindow(window)) dead->alive = false;
    layer::host().destroyWindow(id);
    return nullptr;
  }
  if (!liveWindow(window)) return nullptr;
  if (send(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    destroyWindowInternal(window);
    return nullptr;
  }
  if (!liveWindow(window)) return nullptr;
  if (style & WS_VISIBLE) showWindowInternal(window, SW_SHOW);
  return window;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  if (traceFails("ShowWindow", [&] { return layer::format("%s, %d", label(window).c_str(), command); })) return FALSE;
  Window *w = windowOrError(window);
  if (!w) return FALSE;
  BOOL wasVisible = w->visible ? TRUE : FALSE;
  showWindowInternal(window, command);
  return wasVisible;
}

// The layer keeps no update regions: a window shown since its last paint
// gets one WM_PAINT here, and the queue never makes WM_PAINT by itself.
BOOL WINAPI UpdateWindow(HWND window) {
  if (traceFails("UpdateWindow", [&] { return label(window); })) return FALSE;
  Window *w = windowOrError(window);
  if (!w) return FALSE;
  if (w->visible && w->needsPaint) {
    w->needsPaint = false;
    send(window, WM_PAINT, 0, 0);
  }
  return TRUE;
}

BOOL WINAPI DestroyWindow(HWND window) {
  if (traceFails("DestroyWindow", [&] { return label(window); }) || !windowOrError(window)) return FALSE;
  destroyWindowInternal(window);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND window) {
  if (traceFails("IsWindow", [&] { return label(window); })) return FALSE;
  return (window == desktopHandle() || liveWindow(window)) ? TRUE : FALSE;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (traceFails("DefWindowProcA",
                 [&] { return layer::format("%s, 0x%04x", label(window).c_str(), static_cast<unsigned>(message)); }))
    return 0;
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      if (liveWindow(window)) destroyWindowInternal(window);
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4: the system menu's close command.
      if (wParam == VK_F4 && (lParam & (1 << 29))) send(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) send(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the background counts as erased; there is nothing to paint on
    default:
      return 0;
  }
}

}  // extern "C"

// The thread's message queue: posting, sending, peeking, getting, the quit
// request, key translation, and the host's events turned into messages.
#include <windows.h>

#include "core/trace.h"
#include "core/wake.h"
#include "host/host.h"
#include "user/user_internal.h"
#include "user/user_state.h"

namespace layer::user {
namespace {

HWND const kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

// The window an event is meant for: the one it names, else the foreground
// window; null when the program has no window to take it.
HWND eventTarget(const HostEvent &event) {
  if (event.window != 0 && liveWindow(handleOf(event.window))) return handleOf(event.window);
  HWND foreground = state().foreground;
  return liveWindow(foreground) ? foreground : nullptr;
}

// The most recently made visible window, for a focus change that names none.
HWND focusTarget(const HostEvent &event) {
  if (HWND target = eventTarget(event)) return target;
  UserState &s = state();
  for (auto it = s.windows.rbegin(); it != s.windows.rend(); ++it)
    if (it->second.alive && it->second.visible) return handleOf(it->first);
  return nullptr;
}

LPARAM keyBits(const HostEvent &event, bool up) {
  DWORD bits = 1;  // repeat count
  unsigned scan = event.scanCode & 0xFF;
  if (scan & 0x80) bits |= 1u << 24;  // extended key
  bits |= (scan & 0x7F) << 16;
  if (event.alt) bits |= 1u << 29;
  if (up || event.repeat) bits |= 1u << 30;
  if (up) bits |= 1u << 31;
  return static_cast<LPARAM>(bits);
}

void takeEvent(const HostEvent &event) {
  UserState &s = state();
  switch (event.type) {
    case HostEvent::KeyDown:
    case HostEvent::KeyUp: {
      HWND target = eventTarget(event);
      if (!target) return;  // keys reach only windows
      bool up = event.type == HostEvent::KeyUp;
      UINT message = up ? (event.alt ? WM_SYSKEYUP : WM_KEYUP) : (event.alt ? WM_SYSKEYDOWN : WM_KEYDOWN);
      post(target, message, event.virtualKey, keyBits(event, up), false, up ? 0 : event.character);
      return;
    }
    case HostEvent::FocusGained:
      if (HWND target = focusTarget(event)) setAppActive(target, true, false);
      return;
    case HostEvent::FocusLost:
      for (auto listener : focusLossListeners()) listener();
      setAppActive(nullptr, false, false);
      return;
    case HostEvent::Close:
      if (HWND target = eventTarget(event)) post(target, WM_CLOSE, 0, 0);
      return;
    case HostEvent::Quit:
      s.quitPending = true;
      s.quitCode = 0;
      return;
    case HostEvent::None:
      return;
  }
}

// A record to fill and a window filter naming no window, thread messages
// only, or a live window; sets the last error when not.
bool validRequest(const MSG *msg, HWND window) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return window == nullptr || window == kThreadMessagesOnly || windowOrError(window) != nullptr;
}

bool matches(const MSG &m, HWND window, UINT low, UINT high) {
  if (window == kThreadMessagesOnly ? m.hwnd != nullptr : (window != nullptr && m.hwnd != window)) return false;
  return (low == 0 && high == 0) || (m.message >= low && m.message <= high);
}

// Finds the first message for the filter, a pending quit only when nothing
// else is queued for it; removes it when asked.
bool takeMessage(MSG *out, HWND window, UINT low, UINT high, bool remove) {
  UserState &s = state();
  for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
    if (!matches(it->msg, window, low, high)) continue;
    *out = it->msg;
    if (remove) {
      s.lastTaken = *it;
      s.queue.erase(it);
    }
    return true;
  }
  bool quitInRange = (low == 0 && high == 0) || (WM_QUIT >= low && WM_QUIT <= high);
  if (s.quitPending && quitInRange && (window == nullptr || window == kThreadMessagesOnly)) {
    *out = MSG{};
    out->message = WM_QUIT;
    out->wParam = static_cast<WPARAM>(s.quitCode);
    out->time = GetTickCount();
    if (remove) {
      s.quitPending = false;
      s.lastTaken = QueuedMessage{*out, 0};
    }
    return true;
  }
  return false;
}

std::string messageText(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return format("%s, 0x%04x, %llu, %lld", label(window).c_str(), static_cast<unsigned>(message),
                static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
}

std::string filterText(HWND window, UINT low, UINT high) {
  return format("%s, %u, %u", window == kThreadMessagesOnly ? "-1" : label(window).c_str(), low, high);
}

}  // namespace

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool atFront, char character) {
  QueuedMessage m;
  m.msg.hwnd = window;
  m.msg.message = message;
  m.msg.wParam = wParam;
  m.msg.lParam = lParam;
  m.msg.time = GetTickCount();
  m.character = character;
  if (atFront)
    state().queue.push_front(m);
  else
    state().queue.push_back(m);
  layer::wakeThread();
}

void pumpHostEvents() {
  HostEvent event;
  while (host().pollEvent(&event)) takeEvent(event);
}

bool hasQueuedMessages() { return !state().queue.empty() || state().quitPending; }

}  // namespace layer::user

using namespace layer::user;

extern "C" {

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (traceFails("PostMessageA", [&] { return messageText(window, message, wParam, lParam); })) return FALSE;
  if (window == desktopHandle()) return TRUE;  // nobody in this process reads the desktop's messages
  if (window != nullptr && !windowOrError(window)) return FALSE;
  post(window, message, wParam, lParam);
  return TRUE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (traceFails("SendMessageA", [&] { return messageText(window, message, wParam, lParam); })) return 0;
  if (!liveWindow(window)) {
    if (window != desktopHandle()) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return send(window, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  layer::traceCall("PostQuitMessage", [&] { return layer::format("%d", exitCode); });
  state().quitPending = true;
  state().quitCode = exitCode;
  layer::wakeThread();
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
  if (traceFails("PeekMessageA", [&] {
        return filterText(window, filterMin, filterMax) +
               ((removeMessage & PM_REMOVE) ? std::string(", PM_REMOVE") : std::string(", PM_NOREMOVE"));
      }))
    return FALSE;
  if (!validRequest(msg, window)) return FALSE;
  pumpHostEvents();
  return takeMessage(msg, window, filterMin, filterMax, (removeMessage & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (traceFails("GetMessageA", [&] { return filterText(window, filterMin, filterMax); })) return -1;
  if (!validRequest(msg, window)) return -1;
  for (;;) {
    pumpHostEvents();
    if (takeMessage(msg, window, filterMin, filterMax, true)) return msg->message == WM_QUIT ? 0 : 1;
    layer::host().waitEvent();
  }
}

BOOL WINAPI TranslateMessage(const MSG *msg) {
  if (traceFails("TranslateMessage",
                 [&] { return msg ? layer::format("0x%04x", static_cast<unsigned>(msg->message)) : "NULL"; }))
    return FALSE;
  if (!msg) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      // Only a key press the host reported types a character: the layer has
      // no keyboard layout of its own for keys that a program posted.
      const MSG &taken = state().lastTaken.msg;
      bool fromHost = taken.hwnd == msg->hwnd && taken.message == msg->message && taken.wParam == msg->wParam &&
                      taken.lParam == msg->lParam;
      auto character = static_cast<unsigned char>(fromHost ? state().lastTaken.character : 0);
      // The character comes next, ahead of later keys, as on the platform.
      if (character != 0)
        post(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, character, msg->lParam, true);
      return TRUE;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT WINAPI DispatchMessageA(const MSG *msg) {
  if (traceFails("DispatchMessageA",
                 [&] { return msg ? messageText(msg->hwnd, msg->message, msg->wParam, msg->lParam) : "NULL"; }))
    return 0;
  if (!msg || !msg->hwnd) return 0;  // thread messages have no procedure
  if (!windowOrError(msg->hwnd)) return 0;
  return send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

// Returns at once when something is already queued rather than waiting for
// a newer message, so a program can never wait on messages it has seen.
BOOL WINAPI WaitMessage(void) {
  if (traceFails("WaitMessage")) return FALSE;
  pumpHostEvents();
  if (!hasQueuedMessages()) {
    layer::host().waitEvent();
    pumpHostEvents();
  }
  return TRUE;
}

}  // extern "C"

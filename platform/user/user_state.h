// USER's process-wide state, shared by its source files: window classes,
// windows, the thread's message queue, the cursor counter.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/trace.h"
#include "user/user_internal.h"

namespace layer::user {

struct WindowClass {
  std::string name;
  ATOM atom = 0;
  WNDCLASSA description{};
};

struct Window {
  int id = 0;  // the host's id, also the "window#N" label
  bool alive = false;
  bool destroying = false;
  bool visible = false;
  bool needsPaint = false;  // shown since its last WM_PAINT
  std::string className;
  std::string title;
  WNDPROC procedure = nullptr;
};

// A posted message, with the character its key types when the host made
// it from a key press (0 for none).
struct QueuedMessage {
  MSG msg{};
  char character = 0;
};

struct UserState {
  std::map<std::string, WindowClass> classes;  // by lower-case name
  ATOM nextAtom = 0xC000;
  std::map<int, Window> windows;  // by id; destroyed windows stay, marked dead
  int nextWindowId = 1;
  HWND foreground = nullptr;
  bool appActive = false;
  std::deque<QueuedMessage> queue;
  QueuedMessage lastTaken;  // the message most recently removed, for TranslateMessage
  bool quitPending = false;
  int quitCode = 0;
  int cursorCount = 0;
};

// The focus-loss listeners: kept through resets, like the reset registry.
std::vector<void (*)()> &focusLossListeners();

UserState &state();

// Handles: program windows are small tagged numbers so that a stale or
// made-up handle is recognised; the desktop has its own.
HWND handleOf(int id);
Window *liveWindow(HWND window);  // null when not a live program window

// Records an entry point's call; true, with the fault's code as the last
// error, when an injected fault makes it fail.
template <class Arguments = const char *>
bool traceFails(const char *name, Arguments &&arguments = "") {
  auto fault = traceCall(name, std::forward<Arguments>(arguments));
  if (fault) SetLastError(static_cast<DWORD>(*fault));
  return fault.has_value();
}
// The live window, or null with ERROR_INVALID_WINDOW_HANDLE as the last error.
Window *windowOrError(HWND window);

// Sends to a window's procedure; 0 when it is not a live window.
LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Appends to the thread's queue (window null: a thread message).
void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool atFront = false, char character = 0);

// Makes the program active with `window` in the foreground, or inactive,
// telling the window with WM_ACTIVATEAPP (sent when `sent`, else posted).
void setAppActive(HWND window, bool active, bool sent);

// Moves every event the host has into the thread's message queue.
void pumpHostEvents();
// True when the thread's queue holds a message or a quit request.
bool hasQueuedMessages();

void resetUser();

}  // namespace layer::user

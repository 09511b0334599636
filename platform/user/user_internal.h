// What USER offers the rest of the layer: windows by handle, and the focus
// loss for those whose state does not survive it.
#pragma once

#include <windows.h>

#include <string>

namespace layer::user {

// The host's id for a window (0 when the handle is no live window).
int hostWindowId(HWND window);

// True for a live window of the program (not the desktop).
bool isLiveWindow(HWND window);
HWND desktopHandle();
// "window#1", "desktop", "NULL", "0x..." for the call record.
std::string label(HWND window);

// Calls `listener` whenever the program loses the focus, before its windows
// hear of it (once per listener, however often registered).
void addFocusLossListener(void (*listener)());

// The cursor's show counter (ShowCursor).
int cursorShowCount();

}  // namespace layer::user

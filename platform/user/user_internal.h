// What USER offers the rest of the layer.
#pragma once

#include <windows.h>

namespace layer::user {

// The host's id for a window (0 when the handle is no live window).
int hostWindowId(HWND window);

// Moves every event the host has into the thread's message queue.
void pumpHostEvents();

// True when the thread's queue holds a message or a quit request.
bool hasQueuedMessages();

}  // namespace layer::user

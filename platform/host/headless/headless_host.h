// The headless host: windows that exist only in memory, frames kept for
// inspection, input and focus changes injected by tests, message boxes
// recorded and answered at once. No display and no SDL.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/surface_image.h"
#include "host/host.h"

namespace layer::headless {

struct Frame {
  int window = 0;
  SurfaceImage image;  // the front page as presented
};

// Input, as a keyboard and window manager would send it. Each key press is
// a key-down followed by a key-up unless `hold` is set.
void pressKey(unsigned virtualKey, bool alt = false);
void keyDown(unsigned virtualKey, bool repeat = false, bool alt = false);
void keyUp(unsigned virtualKey, bool alt = false);
void focus(bool gained);
void closeWindow();  // the window manager's close button
void pushEvent(const HostEvent &event);

// Frames presented so far. Only the last `keep` frames are stored (default 4)
// so that long runs stay flat in memory; presentedCount() counts them all.
const std::vector<Frame> &frames();
size_t presentedCount();
void keepFrames(size_t keep);

// Called after every present with the running count; tests drive scenarios
// from it (inject keys, dump frames, change files).
void setPresentHook(std::function<void(size_t presented)> hook);
// Called when the program would block waiting for an event and none is
// queued. It should inject one; if it does not, the host reports a hang on
// stderr and ends the process with code 124 rather than block forever.
void setIdleHook(std::function<void()> hook);
// Called when the program polls for an event and none is queued (as
// PeekMessageA does once a turn of a frame loop); it may inject one. Lets a
// test act while the program runs without presenting any frame.
void setPollHook(std::function<void()> hook);

void setDesktopDepth(int bitsPerPixel);
void setDisplayAvailable(bool available);  // false: createWindow fails
void setAudioAvailable(bool available);
bool cursorVisible();
bool isExclusive();
bool isAudioOpen();
// Windows the host holds (made and not yet destroyed), and whether one has
// been shown.
size_t windowCount();
bool isWindowShown(int window);

// Restores every headless setting above (called by layer::reset()).
void resetHost();

}  // namespace layer::headless

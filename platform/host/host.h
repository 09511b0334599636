// The small interface between the layer and what presents it: a headless
// host for tests, an SDL2 host for people. The layer never asks which host it
// runs on; exactly one host library is linked and supplies layer::host().
#pragma once

#include <cstdint>
#include <string>

#include "core/pixels.h"

namespace layer {

struct HostEvent {
  enum Type { None, KeyDown, KeyUp, FocusGained, FocusLost, Close, Quit };
  Type type = None;
  int window = 0;          // host window id
  unsigned virtualKey = 0;  // the platform's virtual-key code
  unsigned scanCode = 0;
  bool repeat = false;  // auto-repeat of a held key
  bool alt = false;     // Alt held: the key becomes WM_SYSKEYDOWN / WM_SYSKEYUP
  char character = 0;   // the character the key types, 0 when none
};

class Host {
 public:
  virtual ~Host() = default;

  // Makes a window; false with the reason in whyNot when there is no display.
  virtual bool createWindow(int window, const char *title, int width, int height, std::string *whyNot) = 0;
  virtual void showWindow(int window) = 0;
  virtual void destroyWindow(int window) = 0;
  // Exclusive full-screen on or off for a window (DirectDraw cooperative level).
  virtual void setExclusive(int window, bool exclusive) = 0;

  // Shows a frame: called with the new front page on every flip.
  virtual void present(int window, const PixelBuffer &frame) = 0;

  // Takes the next event without waiting; false when there is none.
  virtual bool pollEvent(HostEvent *event) = 0;
  // Blocks until an event can be polled.
  virtual void waitEvent() = 0;

  // A modal box; returns the button pressed (IDOK).
  virtual int messageBox(const char *text, const char *caption, unsigned type) = 0;
  virtual void setCursorVisible(bool visible) = 0;
  virtual int desktopBitsPerPixel() = 0;

  // Audio output for the primary sound buffer: silence while it plays.
  virtual bool openAudio() = 0;
  virtual void closeAudio() = 0;

  // The keyboard's state, 256 bytes by DirectInput scan code, 0x80 when down.
  virtual void keyboardState(uint8_t state[256]) = 0;
};

// The linked host.
Host &host();

}  // namespace layer

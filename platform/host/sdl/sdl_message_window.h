// The host's own message box, for when SDL cannot show one (under X, SDL
// draws its box with the server's core fonts, and a server without them gets
// no box at all). A window drawn with the layer's fonts: the text, wrapped,
// over an OK button. Enter, Esc, space, a click on the button or the
// window's close dismiss it; it is modal, so the call returns only then.
#pragma once

#include <SDL.h>

#include <string>
#include <vector>

namespace layer::sdl {

// Where things go in a box, in its pixels.
struct MessageLayout {
  int width = 0, height = 0;
  int textLeft = 0, textTop = 0, lineHeight = 0;
  std::vector<std::string> lines;  // the text wrapped to the box's width
  SDL_Rect button{};
};

// Lays out `text` in the box's font: lines break at '\n' and, past the
// widest line a box takes, between words.
MessageLayout layOutMessage(const char *text);

// What the box does with one event while it is up.
enum class BoxAction {
  Ignore,        // input for other windows: the box holds it while it is up
  Redraw,        // the box was exposed
  Dismiss,       // OK
  Keep,          // another window's event, handed back once the box is gone
  KeepAndClose,  // the program is asked to quit: the box ends, and the request stays
};

// Follows one box's events: which window it is, its button, whether the
// mouse went down on the button and which answering key is down. A click is
// a press and a release on the button; a key answers when it is released.
struct BoxEvents {
  Uint32 windowId = 0;
  SDL_Rect button{};
  bool pressed = false;
  SDL_Scancode heldKey = SDL_SCANCODE_UNKNOWN;

  BoxAction take(const SDL_Event &event);
};

// Shows the box and waits until it is dismissed; false, with the reason,
// when it cannot be shown.
bool showMessageWindow(const char *caption, const char *text, std::string *whyNot);

}  // namespace layer::sdl

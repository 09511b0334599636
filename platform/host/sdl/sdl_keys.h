// Keyboard translation for the SDL host: SDL's keys to the platform's
// virtual-key codes, PC scan codes and DirectInput codes, and the character
// a key types.
#pragma once

#include <SDL.h>

namespace layer::sdl {

struct KeyCodes {
  unsigned virtualKey = 0;  // VK_*, or the upper-case ASCII letter or digit
  // PC set-1 make code, with 0x80 added for E0-prefixed (extended) keys:
  // USER makes a key message's scan code and extended bit from it.
  unsigned scanCode = 0;
  unsigned directInputCode = 0;  // DIK_* value; the same but for Pause and Num Lock
};

// The codes of a key, by its position (scancode) and its meaning in the
// current layout (keycode; letters and digits follow the layout). False for
// keys the platform has no code for.
bool translateKey(SDL_Scancode scancode, SDL_Keycode keycode, KeyCodes *codes);

// The DirectInput code of a key position, 0 when it has none.
unsigned directInputCode(SDL_Scancode scancode);

// The ASCII character the key types with the given modifiers (Shift, Caps
// Lock, Ctrl, Num Lock), as a US keyboard does; 0 when it types none.
char keyCharacter(SDL_Scancode scancode, SDL_Keycode keycode, Uint16 modifiers);

}  // namespace layer::sdl

// Keyboard translation for the SDL host: SDL's keys to the platform's
// virtual-key codes, PC scan codes and DirectInput codes, and the character
// a key types.
#pragma once

#include <SDL.h>

#include "core/key_table.h"

namespace layer::sdl {

using layer::KeyCodes;

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

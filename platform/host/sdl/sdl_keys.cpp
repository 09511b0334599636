// Key tables of the SDL host. SDL scancodes are USB HID usages; each is the
// PC key (core/key_table.h) a keyboard under Windows reports for it.
#include "host/sdl/sdl_keys.h"

#include <windows.h>

#include "core/key_table.h"

namespace layer::sdl {
namespace {

constexpr unsigned kExtended = 0x80;  // E0-prefixed keys

// A position by its PC scan code. Letters, the digit row, F1 to F10 and the
// keypad's digits go by their virtual keys instead.
struct Position {
  SDL_Scancode scancode;
  unsigned scanCode;
};

constexpr Position kPositions[] = {
    {SDL_SCANCODE_RETURN, 0x1C},
    {SDL_SCANCODE_ESCAPE, 0x01},
    {SDL_SCANCODE_BACKSPACE, 0x0E},
    {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_SPACE, 0x39},
    {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_BACKSLASH, 0x2B},
    {SDL_SCANCODE_NONUSHASH, 0x2B},
    {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28},
    {SDL_SCANCODE_GRAVE, 0x29},
    {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F11, 0x57},
    {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_PRINTSCREEN, kExtended | 0x37},
    {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_PAUSE, 0x45},
    {SDL_SCANCODE_NUMLOCKCLEAR, kExtended | 0x45},
    {SDL_SCANCODE_INSERT, kExtended | 0x52},
    {SDL_SCANCODE_HOME, kExtended | 0x47},
    {SDL_SCANCODE_PAGEUP, kExtended | 0x49},
    {SDL_SCANCODE_DELETE, kExtended | 0x53},
    {SDL_SCANCODE_END, kExtended | 0x4F},
    {SDL_SCANCODE_PAGEDOWN, kExtended | 0x51},
    {SDL_SCANCODE_RIGHT, kExtended | 0x4D},
    {SDL_SCANCODE_LEFT, kExtended | 0x4B},
    {SDL_SCANCODE_DOWN, kExtended | 0x50},
    {SDL_SCANCODE_UP, kExtended | 0x48},
    {SDL_SCANCODE_KP_DIVIDE, kExtended | 0x35},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37},
    {SDL_SCANCODE_KP_MINUS, 0x4A},
    {SDL_SCANCODE_KP_PLUS, 0x4E},
    {SDL_SCANCODE_KP_ENTER, kExtended | 0x1C},
    {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_APPLICATION, kExtended | 0x5D},
    {SDL_SCANCODE_LCTRL, 0x1D},
    {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_LGUI, kExtended | 0x5B},
    {SDL_SCANCODE_RCTRL, kExtended | 0x1D},
    {SDL_SCANCODE_RSHIFT, 0x36},
    {SDL_SCANCODE_RALT, kExtended | 0x38},
    {SDL_SCANCODE_RGUI, kExtended | 0x5C},
};

bool isLetterPosition(SDL_Scancode s) { return s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_Z; }
bool isDigitPosition(SDL_Scancode s) { return s >= SDL_SCANCODE_1 && s <= SDL_SCANCODE_0; }

// The digit a digit-row position types: 1..9, then 0.
char digitAt(SDL_Scancode s) { return s == SDL_SCANCODE_0 ? '0' : static_cast<char>('1' + (s - SDL_SCANCODE_1)); }

// The PC key at a position, or null.
const KeyCodes *keyAt(SDL_Scancode scancode) {
  if (isLetterPosition(scancode)) return keyByVirtualKey('A' + static_cast<unsigned>(scancode - SDL_SCANCODE_A));
  // The digit row keeps its digits in every layout, shifted or not.
  if (isDigitPosition(scancode)) return keyByVirtualKey(static_cast<unsigned char>(digitAt(scancode)));
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F10)
    return keyByVirtualKey(VK_F1 + static_cast<unsigned>(scancode - SDL_SCANCODE_F1));
  if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
    return keyByVirtualKey(VK_NUMPAD0 + 1 + static_cast<unsigned>(scancode - SDL_SCANCODE_KP_1));
  if (scancode == SDL_SCANCODE_KP_0) return keyByVirtualKey(VK_NUMPAD0);
  for (const Position &position : kPositions)
    if (position.scancode == scancode) return keyByScanCode(position.scanCode);
  return nullptr;
}

}  // namespace

bool translateKey(SDL_Scancode scancode, SDL_Keycode keycode, KeyCodes *codes) {
  const KeyCodes *key = keyAt(scancode);
  if (!key) return false;
  *codes = *key;
  // Letters follow the layout: the key that types 'a' is A wherever it sits.
  if (keycode >= SDLK_a && keycode <= SDLK_z) codes->virtualKey = 'A' + static_cast<unsigned>(keycode - SDLK_a);
  return true;
}

unsigned directInputCode(SDL_Scancode scancode) {
  const KeyCodes *key = keyAt(scancode);
  return key ? key->directInputCode : 0;
}

char keyCharacter(SDL_Scancode scancode, SDL_Keycode keycode, Uint16 modifiers) {
  const bool shift = (modifiers & KMOD_SHIFT) != 0;
  const bool ctrl = (modifiers & KMOD_CTRL) != 0;
  char letter = 0;
  if (keycode >= SDLK_a && keycode <= SDLK_z) {
    letter = static_cast<char>('a' + (keycode - SDLK_a));
  } else if (isLetterPosition(scancode)) {
    letter = static_cast<char>('a' + (scancode - SDL_SCANCODE_A));
  }
  if (letter) {
    if (ctrl) return static_cast<char>(letter - 'a' + 1);  // Ctrl+A is 1, as on Windows
    const bool upper = shift != ((modifiers & KMOD_CAPS) != 0);
    return upper ? static_cast<char>(letter - 'a' + 'A') : letter;
  }
  if (ctrl) return 0;
  const KeyCodes *key = keyAt(scancode);
  if (!key) return 0;
  const bool keypadNumber =
      (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_0) || scancode == SDL_SCANCODE_KP_PERIOD;
  if (keypadNumber && !(modifiers & KMOD_NUM)) return 0;  // Num Lock off: navigation keys
  return shift ? key->shifted : key->plain;
}

}  // namespace layer::sdl

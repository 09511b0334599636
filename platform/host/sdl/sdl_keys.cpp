// Key tables of the SDL host. SDL scancodes are USB HID usages; the codes
// here are those a PC keyboard under Windows reports for the same key.
#include "host/sdl/sdl_keys.h"

#include <windows.h>

namespace layer::sdl {
namespace {

// Virtual keys the platform's header does not name.
constexpr unsigned kVkLeftWin = 0x5B, kVkRightWin = 0x5C, kVkApps = 0x5D, kVkSnapshot = 0x2C;
constexpr unsigned kVkNumLock = 0x90, kVkScroll = 0x91;
constexpr unsigned kVkOem2 = 0xBF, kVkOem3 = 0xC0, kVkOem4 = 0xDB, kVkOem5 = 0xDC, kVkOem6 = 0xDD;
constexpr unsigned kVkOem7 = 0xDE, kVkOem102 = 0xE2;

constexpr unsigned kExtended = 0x80;  // E0-prefixed keys, as DirectInput marks them

struct KeyEntry {
  SDL_Scancode scancode;
  unsigned virtualKey;
  unsigned scanCode;
  unsigned directInputCode;  // 0: the same as scanCode
  char plain;                // character without Shift
  char shifted;              // character with Shift
};

// Letters and the digit row are computed; everything else is listed.
constexpr KeyEntry kKeys[] = {
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C, 0, '\r', '\r'},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01, 0, 0x1B, 0x1B},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E, 0, '\b', '\b'},
    {SDL_SCANCODE_TAB, VK_TAB, 0x0F, 0, '\t', '\t'},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39, 0, ' ', ' '},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0x0C, 0, '-', '_'},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0x0D, 0, '=', '+'},
    {SDL_SCANCODE_LEFTBRACKET, kVkOem4, 0x1A, 0, '[', '{'},
    {SDL_SCANCODE_RIGHTBRACKET, kVkOem6, 0x1B, 0, ']', '}'},
    {SDL_SCANCODE_BACKSLASH, kVkOem5, 0x2B, 0, '\\', '|'},
    {SDL_SCANCODE_NONUSHASH, kVkOem5, 0x2B, 0, '\\', '|'},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0x27, 0, ';', ':'},
    {SDL_SCANCODE_APOSTROPHE, kVkOem7, 0x28, 0, '\'', '"'},
    {SDL_SCANCODE_GRAVE, kVkOem3, 0x29, 0, '`', '~'},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0x33, 0, ',', '<'},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0x34, 0, '.', '>'},
    {SDL_SCANCODE_SLASH, kVkOem2, 0x35, 0, '/', '?'},
    {SDL_SCANCODE_NONUSBACKSLASH, kVkOem102, 0x56, 0, '\\', '|'},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A, 0, 0, 0},
    {SDL_SCANCODE_F1, VK_F1, 0x3B, 0, 0, 0},
    {SDL_SCANCODE_F2, VK_F2, 0x3C, 0, 0, 0},
    {SDL_SCANCODE_F3, VK_F3, 0x3D, 0, 0, 0},
    {SDL_SCANCODE_F4, VK_F4, 0x3E, 0, 0, 0},
    {SDL_SCANCODE_F5, VK_F5, 0x3F, 0, 0, 0},
    {SDL_SCANCODE_F6, VK_F6, 0x40, 0, 0, 0},
    {SDL_SCANCODE_F7, VK_F7, 0x41, 0, 0, 0},
    {SDL_SCANCODE_F8, VK_F8, 0x42, 0, 0, 0},
    {SDL_SCANCODE_F9, VK_F9, 0x43, 0, 0, 0},
    {SDL_SCANCODE_F10, VK_F10, 0x44, 0, 0, 0},
    {SDL_SCANCODE_F11, VK_F11, 0x57, 0, 0, 0},
    {SDL_SCANCODE_F12, VK_F12, 0x58, 0, 0, 0},
    {SDL_SCANCODE_PRINTSCREEN, kVkSnapshot, kExtended | 0x37, 0, 0, 0},
    {SDL_SCANCODE_SCROLLLOCK, kVkScroll, 0x46, 0, 0, 0},
    // Pause and Num Lock share make code 0x45; key messages mark Num Lock
    // extended, DirectInput marks Pause instead.
    {SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45, 0xC5, 0, 0},
    {SDL_SCANCODE_NUMLOCKCLEAR, kVkNumLock, kExtended | 0x45, 0x45, 0, 0},
    {SDL_SCANCODE_INSERT, VK_INSERT, kExtended | 0x52, 0, 0, 0},
    {SDL_SCANCODE_HOME, VK_HOME, kExtended | 0x47, 0, 0, 0},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR, kExtended | 0x49, 0, 0, 0},
    {SDL_SCANCODE_DELETE, VK_DELETE, kExtended | 0x53, 0, 0, 0},
    {SDL_SCANCODE_END, VK_END, kExtended | 0x4F, 0, 0, 0},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, kExtended | 0x51, 0, 0, 0},
    {SDL_SCANCODE_RIGHT, VK_RIGHT, kExtended | 0x4D, 0, 0, 0},
    {SDL_SCANCODE_LEFT, VK_LEFT, kExtended | 0x4B, 0, 0, 0},
    {SDL_SCANCODE_DOWN, VK_DOWN, kExtended | 0x50, 0, 0, 0},
    {SDL_SCANCODE_UP, VK_UP, kExtended | 0x48, 0, 0, 0},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, kExtended | 0x35, 0, '/', '/'},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37, 0, '*', '*'},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A, 0, '-', '-'},
    {SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E, 0, '+', '+'},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, kExtended | 0x1C, 0, '\r', '\r'},
    {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, 0x4F, 0, '1', '1'},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, 0x50, 0, '2', '2'},
    {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, 0x51, 0, '3', '3'},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, 0x4B, 0, '4', '4'},
    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, 0x4C, 0, '5', '5'},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, 0x4D, 0, '6', '6'},
    {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, 0x47, 0, '7', '7'},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, 0x48, 0, '8', '8'},
    {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, 0x49, 0, '9', '9'},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0, 0x52, 0, '0', '0'},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53, 0, '.', '.'},
    {SDL_SCANCODE_APPLICATION, kVkApps, kExtended | 0x5D, 0, 0, 0},
    {SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D, 0, 0, 0},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A, 0, 0, 0},
    {SDL_SCANCODE_LALT, VK_MENU, 0x38, 0, 0, 0},
    {SDL_SCANCODE_LGUI, kVkLeftWin, kExtended | 0x5B, 0, 0, 0},
    {SDL_SCANCODE_RCTRL, VK_CONTROL, kExtended | 0x1D, 0, 0, 0},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36, 0, 0, 0},
    {SDL_SCANCODE_RALT, VK_MENU, kExtended | 0x38, 0, 0, 0},
    {SDL_SCANCODE_RGUI, kVkRightWin, kExtended | 0x5C, 0, 0, 0},
};

// Set-1 make codes of the letters A to Z and of the digit row 1 to 9, 0.
constexpr unsigned char kLetterScanCodes[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                                0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                                0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
constexpr char kShiftedDigits[11] = "!@#$%^&*()";  // for 1..9, 0

const KeyEntry *findKey(SDL_Scancode scancode) {
  for (const KeyEntry &entry : kKeys) {
    if (entry.scancode == scancode) return &entry;
  }
  return nullptr;
}

bool isLetterPosition(SDL_Scancode s) { return s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_Z; }
bool isDigitPosition(SDL_Scancode s) { return s >= SDL_SCANCODE_1 && s <= SDL_SCANCODE_0; }

// The digit a digit-row position types: 1..9, then 0.
char digitAt(SDL_Scancode s) { return s == SDL_SCANCODE_0 ? '0' : static_cast<char>('1' + (s - SDL_SCANCODE_1)); }

}  // namespace

bool translateKey(SDL_Scancode scancode, SDL_Keycode keycode, KeyCodes *codes) {
  const KeyEntry *entry = nullptr;
  if (isLetterPosition(scancode)) {
    codes->scanCode = kLetterScanCodes[scancode - SDL_SCANCODE_A];
    codes->virtualKey = 'A' + static_cast<unsigned>(scancode - SDL_SCANCODE_A);
  } else if (isDigitPosition(scancode)) {
    // The digit row keeps its digits in every layout, shifted or not.
    codes->scanCode = 0x02u + static_cast<unsigned>(scancode - SDL_SCANCODE_1);
    codes->virtualKey = static_cast<unsigned char>(digitAt(scancode));
  } else if ((entry = findKey(scancode)) != nullptr) {
    codes->scanCode = entry->scanCode;
    codes->virtualKey = entry->virtualKey;
  } else {
    return false;
  }
  codes->directInputCode = entry && entry->directInputCode ? entry->directInputCode : codes->scanCode;
  // Letters follow the layout: the key that types 'a' is A wherever it sits.
  if (keycode >= SDLK_a && keycode <= SDLK_z) codes->virtualKey = 'A' + static_cast<unsigned>(keycode - SDLK_a);
  return true;
}

unsigned directInputCode(SDL_Scancode scancode) {
  KeyCodes codes;
  return translateKey(scancode, SDLK_UNKNOWN, &codes) ? codes.directInputCode : 0;
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
  if (isDigitPosition(scancode)) {
    char digit = digitAt(scancode);
    return shift ? kShiftedDigits[digit == '0' ? 9 : digit - '1'] : digit;
  }
  const KeyEntry *entry = findKey(scancode);
  if (!entry) return 0;
  const bool keypadNumber =
      (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_0) || scancode == SDL_SCANCODE_KP_PERIOD;
  if (keypadNumber && !(modifiers & KMOD_NUM)) return 0;  // Num Lock off: navigation keys
  return shift ? entry->shifted : entry->plain;
}

}  // namespace layer::sdl

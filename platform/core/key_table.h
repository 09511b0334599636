// The keys of a PC keyboard under Windows (US layout): each key's
// virtual-key code, scan code, DirectInput code and the characters it types.
// Both hosts take their keys from here.
#pragma once

namespace layer {

struct KeyCodes {
  unsigned virtualKey = 0;  // VK_*, or the upper-case ASCII letter or digit
  // PC set-1 make code, with 0x80 added for E0-prefixed (extended) keys:
  // USER makes a key message's scan code and extended bit from it.
  unsigned scanCode = 0;
  unsigned directInputCode = 0;  // DIK_* value; the same but for Pause and Num Lock
  char plain = 0;                // character without Shift (keypad keys: with Num Lock on)
  char shifted = 0;              // character with Shift
};

// The key with this scan code, or null.
const KeyCodes *keyByScanCode(unsigned scanCode);
// The key with this virtual-key code, the left or main-block one where two
// share it (Shift, Ctrl, Alt, Enter); null when none has it.
const KeyCodes *keyByVirtualKey(unsigned virtualKey);

}  // namespace layer

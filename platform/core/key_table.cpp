#include "core/key_table.h"

#include <windows.h>

#include <array>

namespace layer {
namespace {

// Virtual keys the platform's header does not name.
constexpr unsigned kVkLeftWin = 0x5B, kVkRightWin = 0x5C, kVkApps = 0x5D, kVkSnapshot = 0x2C;
constexpr unsigned kVkNumLock = 0x90, kVkScroll = 0x91;
constexpr unsigned kVkOem2 = 0xBF, kVkOem3 = 0xC0, kVkOem4 = 0xDB, kVkOem5 = 0xDC, kVkOem6 = 0xDD;
constexpr unsigned kVkOem7 = 0xDE, kVkOem102 = 0xE2;

constexpr unsigned kExtended = 0x80;  // E0-prefixed keys, as DirectInput marks them

// Letters, the digit row and F1 to F10 are added below; everything else is listed.
// directInputCode 0 here means the same as the scan code.
constexpr KeyCodes kListed[] = {
    {VK_RETURN, 0x1C, 0, '\r', '\r'},
    {VK_ESCAPE, 0x01, 0, 0x1B, 0x1B},
    {VK_BACK, 0x0E, 0, '\b', '\b'},
    {VK_TAB, 0x0F, 0, '\t', '\t'},
    {VK_SPACE, 0x39, 0, ' ', ' '},
    {VK_OEM_MINUS, 0x0C, 0, '-', '_'},
    {VK_OEM_PLUS, 0x0D, 0, '=', '+'},
    {kVkOem4, 0x1A, 0, '[', '{'},
    {kVkOem6, 0x1B, 0, ']', '}'},
    {kVkOem5, 0x2B, 0, '\\', '|'},
    {VK_OEM_1, 0x27, 0, ';', ':'},
    {kVkOem7, 0x28, 0, '\'', '"'},
    {kVkOem3, 0x29, 0, '`', '~'},
    {VK_OEM_COMMA, 0x33, 0, ',', '<'},
    {VK_OEM_PERIOD, 0x34, 0, '.', '>'},
    {kVkOem2, 0x35, 0, '/', '?'},
    {kVkOem102, 0x56, 0, '\\', '|'},
    {VK_CAPITAL, 0x3A, 0, 0, 0},
    {VK_F11, 0x57, 0, 0, 0},
    {VK_F12, 0x58, 0, 0, 0},
    {kVkSnapshot, kExtended | 0x37, 0, 0, 0},
    {kVkScroll, 0x46, 0, 0, 0},
    // Pause and Num Lock share make code 0x45; key messages mark Num Lock
    // extended, DirectInput marks Pause instead.
    {VK_PAUSE, 0x45, 0xC5, 0, 0},
    {kVkNumLock, kExtended | 0x45, 0x45, 0, 0},
    {VK_INSERT, kExtended | 0x52, 0, 0, 0},
    {VK_HOME, kExtended | 0x47, 0, 0, 0},
    {VK_PRIOR, kExtended | 0x49, 0, 0, 0},
    {VK_DELETE, kExtended | 0x53, 0, 0, 0},
    {VK_END, kExtended | 0x4F, 0, 0, 0},
    {VK_NEXT, kExtended | 0x51, 0, 0, 0},
    {VK_RIGHT, kExtended | 0x4D, 0, 0, 0},
    {VK_LEFT, kExtended | 0x4B, 0, 0, 0},
    {VK_DOWN, kExtended | 0x50, 0, 0, 0},
    {VK_UP, kExtended | 0x48, 0, 0, 0},
    {VK_DIVIDE, kExtended | 0x35, 0, '/', '/'},
    {VK_MULTIPLY, 0x37, 0, '*', '*'},
    {VK_SUBTRACT, 0x4A, 0, '-', '-'},
    {VK_ADD, 0x4E, 0, '+', '+'},
    {VK_RETURN, kExtended | 0x1C, 0, '\r', '\r'},  // the keypad's Enter
    {VK_NUMPAD0 + 1, 0x4F, 0, '1', '1'},
    {VK_NUMPAD0 + 2, 0x50, 0, '2', '2'},
    {VK_NUMPAD0 + 3, 0x51, 0, '3', '3'},
    {VK_NUMPAD0 + 4, 0x4B, 0, '4', '4'},
    {VK_NUMPAD0 + 5, 0x4C, 0, '5', '5'},
    {VK_NUMPAD0 + 6, 0x4D, 0, '6', '6'},
    {VK_NUMPAD0 + 7, 0x47, 0, '7', '7'},
    {VK_NUMPAD0 + 8, 0x48, 0, '8', '8'},
    {VK_NUMPAD0 + 9, 0x49, 0, '9', '9'},
    {VK_NUMPAD0, 0x52, 0, '0', '0'},
    {VK_DECIMAL, 0x53, 0, '.', '.'},
    {kVkApps, kExtended | 0x5D, 0, 0, 0},
    {VK_CONTROL, 0x1D, 0, 0, 0},
    {VK_SHIFT, 0x2A, 0, 0, 0},
    {VK_MENU, 0x38, 0, 0, 0},
    {kVkLeftWin, kExtended | 0x5B, 0, 0, 0},
    {VK_CONTROL, kExtended | 0x1D, 0, 0, 0},
    {VK_SHIFT, 0x36, 0, 0, 0},
    {VK_MENU, kExtended | 0x38, 0, 0, 0},
    {kVkRightWin, kExtended | 0x5C, 0, 0, 0},
};

// Set-1 make codes of the letters A to Z.
constexpr unsigned char kLetterScanCodes[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                                0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                                0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
constexpr char kDigitRow[11] = "1234567890";
constexpr char kShiftedDigitRow[11] = "!@#$%^&*()";

constexpr size_t kListedCount = sizeof(kListed) / sizeof(kListed[0]);

constexpr std::array<KeyCodes, kListedCount + 26 + 10 + 10> makeKeys() {
  std::array<KeyCodes, kListedCount + 26 + 10 + 10> keys{};
  size_t n = 0;
  for (const KeyCodes &key : kListed) {
    keys[n] = key;
    if (!keys[n].directInputCode) keys[n].directInputCode = key.scanCode;
    ++n;
  }
  for (unsigned i = 0; i < 26; ++i, ++n) {
    keys[n] = {'A' + i, kLetterScanCodes[i], kLetterScanCodes[i], static_cast<char>('a' + i),
               static_cast<char>('A' + i)};
  }
  for (unsigned i = 0; i < 10; ++i, ++n)  // make codes 0x02 (1) to 0x0B (0)
    keys[n] = {static_cast<unsigned char>(kDigitRow[i]), 0x02 + i, 0x02 + i, kDigitRow[i], kShiftedDigitRow[i]};
  for (unsigned i = 0; i < 10; ++i, ++n)  // make codes 0x3B (F1) to 0x44 (F10)
    keys[n] = {VK_F1 + i, 0x3B + i, 0x3B + i, 0, 0};
  return keys;
}

constexpr auto kKeys = makeKeys();

}  // namespace

const KeyCodes *keyByScanCode(unsigned scanCode) {
  for (const KeyCodes &key : kKeys)
    if (key.scanCode == scanCode) return &key;
  return nullptr;
}

const KeyCodes *keyByVirtualKey(unsigned virtualKey) {
  for (const KeyCodes &key : kKeys)
    if (key.virtualKey == virtualKey) return &key;
  return nullptr;
}

}  // namespace layer

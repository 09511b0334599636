// The SDL host's own behaviour, without a screen: key tables, frame
// placement and conversion, pacing, and the host itself on SDL's offscreen
// and dummy drivers (events, exclusive full-screen, presents, audio, the
// no-display path).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/sdl/sdl_frame.h"
#include "host/sdl/sdl_host.h"
#include "host/sdl/sdl_keys.h"
#include "host/sdl/sdl_message_window.h"
#include "host/sdl/sdl_shown_frame.h"

namespace {

using layer::HostEvent;
using layer::PixelBuffer;
using layer::PixelLayout;
using namespace layer::sdl;

KeyCodes codesOf(SDL_Scancode scancode, SDL_Keycode keycode = SDLK_UNKNOWN) {
  KeyCodes codes;
  EXPECT_TRUE(translateKey(scancode, keycode, &codes)) << SDL_GetScancodeName(scancode);
  return codes;
}

// ---- keys ----

TEST(SdlKeys, LettersAreUpperCaseAsciiWithTheirPcScanCodes) {
  EXPECT_EQ(codesOf(SDL_SCANCODE_Q, SDLK_q).virtualKey, 'Q');
  EXPECT_EQ(codesOf(SDL_SCANCODE_Q, SDLK_q).scanCode, 0x10u);
  EXPECT_EQ(codesOf(SDL_SCANCODE_A, SDLK_a).scanCode, 0x1Eu);
  EXPECT_EQ(codesOf(SDL_SCANCODE_Z, SDLK_z).scanCode, 0x2Cu);
  EXPECT_EQ(codesOf(SDL_SCANCODE_W, SDLK_w).directInputCode, 0x11u);  // DIK_W
  // The code is the same whatever the modifiers: they are not an input here.
  for (int i = 0; i < 26; ++i) {
    const auto scancode = static_cast<SDL_Scancode>(SDL_SCANCODE_A + i);
    EXPECT_EQ(codesOf(scancode, SDLK_a + i).virtualKey, static_cast<unsigned>('A' + i));
    EXPECT_EQ(codesOf(scancode).virtualKey, static_cast<unsigned>('A' + i)) << "without a keycode";
  }
}

TEST(SdlKeys, LettersFollowTheLayoutAndDigitsKeepTheirRow) {
  // On a French keyboard the key in the Q position types 'a'.
  KeyCodes azertyA = codesOf(SDL_SCANCODE_Q, SDLK_a);
  EXPECT_EQ(azertyA.virtualKey, 'A');
  EXPECT_EQ(azertyA.scanCode, 0x10u) << "the scan code stays the position's";
  // Its 'm' sits where a US keyboard has ';'.
  EXPECT_EQ(codesOf(SDL_SCANCODE_SEMICOLON, SDLK_m).virtualKey, 'M');
  // Its digit row types '&' unshifted, yet the keys are still 1..0.
  EXPECT_EQ(codesOf(SDL_SCANCODE_1, SDLK_AMPERSAND).virtualKey, '1');
  EXPECT_EQ(codesOf(SDL_SCANCODE_0, SDLK_0).virtualKey, '0');
  EXPECT_EQ(codesOf(SDL_SCANCODE_0).scanCode, 0x0Bu);
  EXPECT_EQ(codesOf(SDL_SCANCODE_1).scanCode, 0x02u);
}

TEST(SdlKeys, KeypadAndMainKeyboardPlusAndMinusDiffer) {
  EXPECT_EQ(codesOf(SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS).virtualKey, static_cast<unsigned>(VK_ADD));
  EXPECT_EQ(codesOf(SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS).virtualKey, static_cast<unsigned>(VK_SUBTRACT));
  EXPECT_EQ(codesOf(SDL_SCANCODE_KP_PLUS).scanCode, 0x4Eu);
  EXPECT_EQ(codesOf(SDL_SCANCODE_KP_MINUS).scanCode, 0x4Au);
  EXPECT_EQ(codesOf(SDL_SCANCODE_EQUALS, SDLK_EQUALS).virtualKey, static_cast<unsigned>(VK_OEM_PLUS));
  EXPECT_EQ(codesOf(SDL_SCANCODE_MINUS, SDLK_MINUS).virtualKey, static_cast<unsigned>(VK_OEM_MINUS));
  EXPECT_EQ(codesOf(SDL_SCANCODE_EQUALS).scanCode, 0x0Du);
  EXPECT_EQ(codesOf(SDL_SCANCODE_MINUS).scanCode, 0x0Cu);
}

TEST(SdlKeys, NamedKeys) {
  struct Case {
    SDL_Scancode scancode;
    unsigned virtualKey, scanCode, directInput;
  };
  const Case cases[] = {
      {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01, 0x01},
      {SDL_SCANCODE_SPACE, VK_SPACE, 0x39, 0x39},
      {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C, 0x1C},
      {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x9C, 0x9C},
      {SDL_SCANCODE_TAB, VK_TAB, 0x0F, 0x0F},
      {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E, 0x0E},
      {SDL_SCANCODE_F1, VK_F1, 0x3B, 0x3B},
      {SDL_SCANCODE_F4, VK_F4, 0x3E, 0x3E},
      {SDL_SCANCODE_F10, VK_F10, 0x44, 0x44},
      {SDL_SCANCODE_F11, VK_F11, 0x57, 0x57},
      {SDL_SCANCODE_F12, VK_F12, 0x58, 0x58},
      {SDL_SCANCODE_UP, VK_UP, 0xC8, 0xC8},
      {SDL_SCANCODE_DOWN, VK_DOWN, 0xD0, 0xD0},
      {SDL_SCANCODE_LEFT, VK_LEFT, 0xCB, 0xCB},
      {SDL_SCANCODE_RIGHT, VK_RIGHT, 0xCD, 0xCD},
      {SDL_SCANCODE_HOME, VK_HOME, 0xC7, 0xC7},
      {SDL_SCANCODE_END, VK_END, 0xCF, 0xCF},
      {SDL_SCANCODE_PAGEUP, VK_PRIOR, 0xC9, 0xC9},
      {SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0xD1, 0xD1},
      {SDL_SCANCODE_INSERT, VK_INSERT, 0xD2, 0xD2},
      {SDL_SCANCODE_DELETE, VK_DELETE, 0xD3, 0xD3},
      {SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A, 0x2A},
      {SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36, 0x36},
      {SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D, 0x1D},
      {SDL_SCANCODE_RCTRL, VK_CONTROL, 0x9D, 0x9D},
      {SDL_SCANCODE_LALT, VK_MENU, 0x38, 0x38},
      {SDL_SCANCODE_RALT, VK_MENU, 0xB8, 0xB8},
      {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0xB5, 0xB5},
      {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37, 0x37},
      {SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45, 0xC5},
      {SDL_SCANCODE_NUMLOCKCLEAR, 0x90, 0xC5, 0x45},
      {SDL_SCANCODE_KP_0, VK_NUMPAD0, 0x52, 0x52},
      {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, 0x47, 0x47},
      {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A, 0x3A},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(SDL_GetScancodeName(c.scancode));
    KeyCodes codes = codesOf(c.scancode);
    EXPECT_EQ(codes.virtualKey, c.virtualKey);
    EXPECT_EQ(codes.scanCode, c.scanCode);
    EXPECT_EQ(codes.directInputCode, c.directInput);
    EXPECT_EQ(directInputCode(c.scancode), c.directInput);
  }
}

TEST(SdlKeys, EveryKeyHasItsOwnDirectInputCode) {
  // Two positions sharing a DIK code would make keyboardState() report one
  // key for another. Only the two spellings of the backslash key may share.
  std::set<unsigned> seen;
  int known = 0;
  for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
    const auto scancode = static_cast<SDL_Scancode>(s);
    if (scancode == SDL_SCANCODE_NONUSHASH) continue;
    const unsigned code = directInputCode(scancode);
    if (!code) continue;
    ++known;
    EXPECT_LT(code, 256u);
    EXPECT_TRUE(seen.insert(code).second) << SDL_GetScancodeName(scancode) << " repeats DIK " << code;
  }
  EXPECT_GE(known, 100);
  KeyCodes none;
  EXPECT_FALSE(translateKey(SDL_SCANCODE_UNKNOWN, SDLK_UNKNOWN, &none));
  EXPECT_FALSE(translateKey(SDL_SCANCODE_AUDIOPLAY, SDLK_AUDIOPLAY, &none));
  EXPECT_EQ(directInputCode(SDL_SCANCODE_AUDIOPLAY), 0u);
}

TEST(SdlKeys, CharactersWithShiftCapsLockAndCtrl) {
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_Q, SDLK_q, KMOD_NONE), 'q');
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_Q, SDLK_q, KMOD_LSHIFT), 'Q');
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_Q, SDLK_q, KMOD_CAPS), 'Q');
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_Q, SDLK_q, KMOD_CAPS | KMOD_RSHIFT), 'q');
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL), 3);
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_Q, SDLK_a, KMOD_NONE), 'a') << "the layout's letter";
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_1, SDLK_1, KMOD_SHIFT), '!');
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_0, SDLK_0, KMOD_SHIFT), ')');
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_EQUALS, SDLK_EQUALS, KMOD_SHIFT), '+');
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS, KMOD_SHIFT), '-');
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_KP_5, SDLK_KP_5, KMOD_NUM), '5');
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_KP_5, SDLK_KP_5, KMOD_NONE), 0) << "Num Lock off";
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_NONE), '\r');
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, KMOD_NONE), 0x1B);
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_F1, SDLK_F1, KMOD_NONE), 0);
  EXPECT_EQ(keyCharacter(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT), 0);
}

// ---- placement ----

TEST(SdlPlacement, WholeFactorsCentredWithBars) {
  EXPECT_EQ(placeFrame(640, 480, 640, 480), (Placement{0, 0, 640, 480}));
  EXPECT_EQ(placeFrame(1024, 768, 640, 480), (Placement{192, 144, 640, 480}));
  EXPECT_EQ(placeFrame(1280, 960, 640, 480), (Placement{0, 0, 1280, 960}));
  EXPECT_EQ(placeFrame(1920, 1080, 640, 480), (Placement{320, 60, 1280, 960}));
  EXPECT_EQ(placeFrame(1366, 768, 640, 480), (Placement{363, 144, 640, 480}));
  // 4K: the height allows 4x (1920), the width 6x: 4x wins.
  EXPECT_EQ(placeFrame(3840, 2160, 640, 480), (Placement{640, 120, 2560, 1920}));
}

TEST(SdlPlacement, ShrinksToFitKeepingTheAspect) {
  EXPECT_EQ(placeFrame(320, 240, 640, 480), (Placement{0, 0, 320, 240}));
  EXPECT_EQ(placeFrame(800, 400, 640, 480), (Placement{133, 0, 533, 400}));
  EXPECT_EQ(placeFrame(400, 600, 640, 480), (Placement{0, 150, 400, 300}));
  EXPECT_EQ(placeFrame(1, 1, 640, 480), (Placement{0, 0, 1, 1}));
  EXPECT_EQ(placeFrame(0, 480, 640, 480), Placement{});
  EXPECT_EQ(placeFrame(640, 480, 0, 0), Placement{});
}

// ---- conversion ----

struct TestFrame {
  std::vector<uint8_t> bytes;
  PixelBuffer buffer;
  TestFrame(PixelLayout layout, int width, int height, int extraPitch = 0) {
    buffer.width = width;
    buffer.height = height;
    buffer.layout = layout;
    buffer.pitch = width * layout.bytesPerPixel() + extraPitch;
    bytes.assign(static_cast<size_t>(buffer.pitch) * static_cast<size_t>(height), 0xEE);  // padding shows
    buffer.bits = bytes.data();
  }
  void set(int x, int y, uint32_t colorref) {
    layer::writePixel(buffer, x, y, layer::packColor(buffer.layout, colorref));
  }
};

uint32_t rgbAt(const std::vector<uint8_t> &rgb, int width, int x, int y) {
  const uint8_t *p = rgb.data() + (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
  return p[0] | (p[1] << 8) | (p[2] << 16);  // back to 0x00BBGGRR
}

TEST(SdlConversion, EveryLayoutComesOutAsTheSameColours) {
  const uint32_t colours[] = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x804020};
  const PixelLayout layouts[] = {layer::layout555(), layer::layout565(), layer::layout24(), layer::layout32()};
  for (const PixelLayout &layout : layouts) {
    SCOPED_TRACE(layout.bitsPerPixel);
    TestFrame frame(layout, 6, 2, 5);
    for (int i = 0; i < 6; ++i) {
      frame.set(i, 0, colours[i]);
      frame.set(5 - i, 1, colours[i]);
    }
    std::vector<uint8_t> rgb(6 * 2 * 3);
    convertToRgb24(frame.buffer, rgb.data(), 6 * 3);
    for (int i = 0; i < 6; ++i) {
      const uint32_t expected = layer::unpackColor(layout, layer::packColor(layout, colours[i]));
      EXPECT_EQ(rgbAt(rgb, 6, i, 0), expected) << i;
      EXPECT_EQ(rgbAt(rgb, 6, 5 - i, 1), expected) << i;
    }
    // Full scale stays full scale in every layout.
    EXPECT_EQ(rgbAt(rgb, 6, 4, 0), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(rgb, 6, 1, 0), 0x0000FFu);
  }
}

TEST(SdlConversion, EightBitFramesUseTheirPaletteOrTheDefaultOne) {
  TestFrame frame(layer::layout8(), 3, 1);
  frame.bytes[0] = 0;
  frame.bytes[1] = 255;
  frame.bytes[2] = 7;
  std::vector<uint8_t> rgb(9);
  convertToRgb24(frame.buffer, rgb.data(), 9);
  EXPECT_EQ(rgbAt(rgb, 3, 0, 0), 0x000000u);
  EXPECT_EQ(rgbAt(rgb, 3, 1, 0), 0xFFFFFFu);
  EXPECT_EQ(rgbAt(rgb, 3, 2, 0), layer::defaultPalette()[7]);

  std::vector<uint32_t> palette(256, 0);
  palette[0] = 0x112233;
  palette[7] = 0x0000FF;
  frame.buffer.palette = palette.data();
  convertToRgb24(frame.buffer, rgb.data(), 9);
  EXPECT_EQ(rgbAt(rgb, 3, 0, 0), 0x112233u);
  EXPECT_EQ(rgbAt(rgb, 3, 2, 0), 0x0000FFu);
}

TEST(SdlConversion, UncommonMasksAreConvertedNotUploaded) {
  const PixelLayout bgr{24, 0xFF0000, 0x00FF00, 0x0000FF};  // blue at the lowest byte
  EXPECT_EQ(directTextureFormat(bgr), static_cast<Uint32>(SDL_PIXELFORMAT_UNKNOWN));
  EXPECT_EQ(directTextureFormat(layer::layout8()), static_cast<Uint32>(SDL_PIXELFORMAT_UNKNOWN));
  EXPECT_EQ(directTextureFormat(layer::layout565()), static_cast<Uint32>(SDL_PIXELFORMAT_UNKNOWN));
  EXPECT_EQ(directTextureFormat(layer::layout555()), static_cast<Uint32>(SDL_PIXELFORMAT_UNKNOWN));
  TestFrame frame(bgr, 2, 1);
  frame.bytes[0] = 0x10;  // blue
  frame.bytes[1] = 0x20;  // green
  frame.bytes[2] = 0x30;  // red
  std::vector<uint8_t> rgb(6);
  convertToRgb24(frame.buffer, rgb.data(), 6);
  EXPECT_EQ(rgb[0], 0x30);
  EXPECT_EQ(rgb[1], 0x20);
  EXPECT_EQ(rgb[2], 0x10);
}

TEST(SdlConversion, DirectFormatsMeanTheSamePixelsToSdl) {
  // Frames uploaded as they are must read in SDL exactly as the layer means them.
  const PixelLayout layouts[] = {layer::layout24(), layer::layout32()};
  for (const PixelLayout &layout : layouts) {
    SCOPED_TRACE(layout.bitsPerPixel);
    const Uint32 format = directTextureFormat(layout);
    ASSERT_NE(format, static_cast<Uint32>(SDL_PIXELFORMAT_UNKNOWN));
    TestFrame frame(layout, 4, 1);
    const uint32_t colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x336699};
    for (int i = 0; i < 4; ++i) frame.set(i, 0, colours[i]);
    std::vector<uint8_t> ours(12), sdls(12);
    convertToRgb24(frame.buffer, ours.data(), 12);
    ASSERT_EQ(
        SDL_ConvertPixels(4, 1, format, frame.bytes.data(), frame.buffer.pitch, SDL_PIXELFORMAT_RGB24, sdls.data(), 12),
        0)
        << SDL_GetError();
    EXPECT_EQ(ours, sdls);
  }
}

// ---- telling a changed frame ----

TEST(SdlShownFrame, AnyVisibleDifferenceCountsAndPaddingDoesNot) {
  const PixelLayout layouts[] = {layer::layout8(), layer::layout565(), layer::layout24(), layer::layout32()};
  for (const PixelLayout &layout : layouts) {
    SCOPED_TRACE(layout.bitsPerPixel);
    TestFrame frame(layout, 64, 48, 4);
    ShownFrame shown;
    EXPECT_TRUE(shown.differs(frame.buffer)) << "nothing kept yet";
    shown.keep(frame.buffer);
    // The same pixels in another buffer with another pitch and padding.
    TestFrame copy(layout, 64, 48, 12);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) layer::writePixel(copy.buffer, x, y, layer::readPixel(frame.buffer, x, y));
    copy.bytes[static_cast<size_t>(copy.buffer.pitch) - 1] = 0x11;
    EXPECT_FALSE(shown.differs(copy.buffer));
    // The first and the last pixel.
    for (const auto &[x, y] : {std::pair{0, 0}, std::pair{63, 47}}) {
      TestFrame changed = copy;
      changed.buffer.bits = changed.bytes.data();
      layer::writePixel(changed.buffer, x, y, layer::readPixel(copy.buffer, x, y) ^ 1);
      EXPECT_TRUE(shown.differs(changed.buffer)) << x << "," << y;
    }
    TestFrame smaller(layout, 64, 47, 4);
    EXPECT_TRUE(shown.differs(smaller.buffer));
    // The page is drawn over after the flip; what is kept is a copy.
    layer::writePixel(frame.buffer, 5, 5, layer::readPixel(frame.buffer, 5, 5) ^ 1);
    EXPECT_TRUE(shown.differs(frame.buffer));
    shown.clear();
    EXPECT_TRUE(shown.differs(frame.buffer));
  }
  // Same bytes, another layout: other colours.
  TestFrame frame555(layer::layout555(), 8, 8), frame565(layer::layout565(), 8, 8);
  ShownFrame shown;
  shown.keep(frame555.buffer);
  EXPECT_TRUE(shown.differs(frame565.buffer));
}

TEST(SdlShownFrame, EightBitFramesDifferByTheirPalette) {
  TestFrame frame(layer::layout8(), 16, 16);
  std::vector<uint32_t> palette(layer::defaultPalette(), layer::defaultPalette() + 256);
  ShownFrame shown;
  shown.keep(frame.buffer);  // no palette: the default one
  frame.buffer.palette = palette.data();
  EXPECT_FALSE(shown.differs(frame.buffer)) << "the default palette given explicitly";
  palette[255] ^= 0x010000;
  EXPECT_TRUE(shown.differs(frame.buffer));
  shown.keep(frame.buffer);
  EXPECT_FALSE(shown.differs(frame.buffer));
  palette[0] ^= 1;  // the kept palette is a copy
  EXPECT_TRUE(shown.differs(frame.buffer));
}

// ---- pacing ----

// Runs `frames` frames of a loop that draws for `drawSeconds` and whose
// presents take `presentSeconds`; returns the times presents finished.
std::vector<double> runPaced(FramePacer &pacer, double &now, int frames, double drawSeconds, double presentSeconds) {
  std::vector<double> times;
  for (int i = 0; i < frames; ++i) {
    now += drawSeconds + presentSeconds;
    times.push_back(now);
    const double wait = pacer.afterPresent(now, presentSeconds);
    EXPECT_GE(wait, 0);
    EXPECT_LE(wait, pacer.interval() + 1e-9);
    now += wait;
  }
  return times;
}

TEST(SdlPacing, FastFramesArePacedToTheRefreshRate) {
  FramePacer pacer(60);
  double now = 0;
  std::vector<double> times = runPaced(pacer, now, 121, 0.002, 0.0001);
  EXPECT_FALSE(pacer.vsyncTrusted());
  EXPECT_NEAR((times.back() - times[1]) / 119.0, 1.0 / 60, 1e-4);
  for (size_t i = 2; i < times.size(); ++i) EXPECT_NEAR(times[i] - times[i - 1], 1.0 / 60, 1e-6);
}

TEST(SdlPacing, PresentsThatWaitForTheDisplayAreNotDelayedAgain) {
  FramePacer pacer(60);
  double now = 0;
  for (int i = 0; i < 20; ++i) {
    now += 0.001 + 0.016;
    const double wait = pacer.afterPresent(now, 0.016);
    if (i > 4) {
      EXPECT_EQ(wait, 0) << i;
    }
  }
  EXPECT_TRUE(pacer.vsyncTrusted());
  // The renderer stops waiting (a window moved to an unsynchronised output).
  for (int i = 0; i < 20; ++i) {
    now += 0.001;
    now += pacer.afterPresent(now, 0.0001);
  }
  EXPECT_FALSE(pacer.vsyncTrusted());
  // Slow presents from a renderer without vsync are slow, not synchronised.
  for (int i = 0; i < 20; ++i) {
    now += 0.001 + 0.016;
    pacer.afterPresent(now, 0.016, false);
  }
  EXPECT_FALSE(pacer.vsyncTrusted());
}

TEST(SdlPacing, SlowFramesAreNeitherDelayedNorFollowedByABurst) {
  FramePacer pacer(60);
  double now = 0;
  std::vector<double> slow = runPaced(pacer, now, 10, 0.040, 0.0001);
  for (size_t i = 1; i < slow.size(); ++i) EXPECT_NEAR(slow[i] - slow[i - 1], 0.0401, 1e-6);
  // Back to fast frames after the stall: no frames crammed in to catch up.
  std::vector<double> fast = runPaced(pacer, now, 10, 0.001, 0.0001);
  EXPECT_GE(fast[0] - slow.back(), 0.001);
  for (size_t i = 1; i < fast.size(); ++i) EXPECT_GT(fast[i] - fast[i - 1], 0.9 / 60) << i;
}

TEST(SdlPacing, SkippedFramesStillTakeOneRefreshEach) {
  // Paced by the host: presents and skips share one beat.
  FramePacer pacer(60);
  double now = 0;
  std::vector<double> times;
  for (int i = 0; i < 30; ++i) {
    now += 0.0002;
    times.push_back(now);
    now += i % 3 == 0 ? pacer.afterPresent(now, 0.0005) : pacer.afterSkip(now);
  }
  for (size_t i = 2; i < times.size(); ++i) EXPECT_NEAR(times[i] - times[i - 1], 1.0 / 60, 1e-6) << i;

  // The renderer waits for vsync: a skip waits out the refresh that began
  // with the last present, and the next present its own.
  FramePacer synced(60);
  now = 0;
  for (int i = 0; i < 10; ++i) {
    now += 0.0002 + 1.0 / 60;
    EXPECT_EQ(synced.afterPresent(now, 1.0 / 60), 0);
  }
  ASSERT_TRUE(synced.vsyncTrusted());
  const double lastPresent = now;
  now += 0.0002;
  now += synced.afterSkip(now);
  EXPECT_NEAR(now, lastPresent + 1.0 / 60, 1e-9);
  now += 0.0002;
  now += synced.afterSkip(now);
  EXPECT_NEAR(now, lastPresent + 2.0 / 60, 1e-9);
  EXPECT_TRUE(synced.vsyncTrusted()) << "skips say nothing about the renderer";
}

// ---- the host's own message box ----

SDL_Event boxKey(Uint32 type, SDL_Scancode scancode, Uint32 window) {
  SDL_Event e{};
  e.type = type;
  e.key.windowID = window;
  e.key.keysym.scancode = scancode;
  return e;
}
SDL_Event boxClick(Uint32 type, int x, int y, Uint32 window, Uint8 button = SDL_BUTTON_LEFT) {
  SDL_Event e{};
  e.type = type;
  e.button.windowID = window;
  e.button.button = button;
  e.button.x = x;
  e.button.y = y;
  return e;
}
SDL_Event boxWindowEvent(Uint8 which, Uint32 window) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = which;
  e.window.windowID = window;
  return e;
}

TEST(SdlMessageWindow, KeysAnswerOnReleaseAndAClickIsAPressAndAReleaseOnTheButton) {
  constexpr Uint32 box = 7, program = 1;
  for (SDL_Scancode key : {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_ESCAPE, SDL_SCANCODE_SPACE}) {
    SCOPED_TRACE(SDL_GetScancodeName(key));
    BoxEvents events{box, {10, 50, 80, 26}};
    // A key already down when the box came up does not answer it.
    EXPECT_EQ(events.take(boxKey(SDL_KEYUP, key, program)), BoxAction::Ignore);
    EXPECT_EQ(events.take(boxKey(SDL_KEYDOWN, key, program)), BoxAction::Ignore);
    EXPECT_EQ(events.take(boxKey(SDL_KEYUP, key, program)), BoxAction::Dismiss) << "whichever window has the focus";
  }
  BoxEvents events{box, {10, 50, 80, 26}};
  EXPECT_EQ(events.take(boxKey(SDL_KEYDOWN, SDL_SCANCODE_Q, box)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxKey(SDL_KEYUP, SDL_SCANCODE_Q, box)), BoxAction::Ignore);

  // Pressed off the button, released on it; pressed on it, released off it;
  // the right button; another window's clicks: none of them is a click on OK.
  EXPECT_EQ(events.take(boxClick(SDL_MOUSEBUTTONDOWN, 5, 55, box)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxClick(SDL_MOUSEBUTTONUP, 20, 55, box)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxClick(SDL_MOUSEBUTTONDOWN, 20, 55, box)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxClick(SDL_MOUSEBUTTONUP, 90, 55, box)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxClick(SDL_MOUSEBUTTONDOWN, 20, 55, box, SDL_BUTTON_RIGHT)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxClick(SDL_MOUSEBUTTONUP, 20, 55, box, SDL_BUTTON_RIGHT)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxClick(SDL_MOUSEBUTTONDOWN, 20, 55, program)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxClick(SDL_MOUSEBUTTONUP, 20, 55, box)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxClick(SDL_MOUSEBUTTONDOWN, 10, 50, box)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxClick(SDL_MOUSEBUTTONUP, 89, 75, box)), BoxAction::Dismiss);
}

TEST(SdlMessageWindow, TheWindowsCloseDismissesItAndOtherWindowsEventsWait) {
  constexpr Uint32 box = 7, program = 1;
  BoxEvents events{box, {10, 50, 80, 26}};
  EXPECT_EQ(events.take(boxWindowEvent(SDL_WINDOWEVENT_EXPOSED, box)), BoxAction::Redraw);
  EXPECT_EQ(events.take(boxWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED, box)), BoxAction::Ignore);
  EXPECT_EQ(events.take(boxWindowEvent(SDL_WINDOWEVENT_CLOSE, program)), BoxAction::Keep);
  EXPECT_EQ(events.take(boxWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST, program)), BoxAction::Keep);
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = program;
  EXPECT_EQ(events.take(motion), BoxAction::Ignore);
  SDL_Event device{};
  device.type = SDL_AUDIODEVICEADDED;
  EXPECT_EQ(events.take(device), BoxAction::Keep);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  EXPECT_EQ(events.take(quit), BoxAction::KeepAndClose);
  EXPECT_EQ(events.take(boxWindowEvent(SDL_WINDOWEVENT_CLOSE, box)), BoxAction::Dismiss);
}

TEST(SdlMessageWindow, TextIsWrappedToTheBoxAboveItsButton) {
  const MessageLayout one = layOutMessage("Error Setting Display Mode");
  ASSERT_EQ(one.lines.size(), 1u);
  EXPECT_GT(one.lineHeight, 8);
  EXPECT_GE(one.button.y, one.textTop + one.lineHeight);
  EXPECT_LE(one.button.x + one.button.w, one.width);
  EXPECT_LE(one.button.y + one.button.h, one.height);

  std::string words;
  for (int i = 0; i < 60; ++i) words += "word ";
  const MessageLayout many = layOutMessage(("first line\r\n" + words + "\n" + std::string(300, 'W')).c_str());
  ASSERT_GT(many.lines.size(), 4u);
  EXPECT_EQ(many.lines[0], "first line");
  EXPECT_LE(many.width, 600) << "long text wraps instead of widening the box";
  EXPECT_EQ(many.lines[1].substr(0, 5), "word ");
  std::string rejoined;
  for (size_t i = 1; i < many.lines.size(); ++i) rejoined += many.lines[i];
  EXPECT_EQ(std::count(rejoined.begin(), rejoined.end(), 'W'), 300) << "a long word is cut, not lost";
  EXPECT_EQ(many.button.y, many.textTop + static_cast<int>(many.lines.size()) * many.lineHeight + 16);
}

// ---- the host on SDL's invisible drivers ----

class Environment {
 public:
  void set(const char *name, const char *value) {
    remember(name);
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~Environment() {
    for (auto &[name, value] : saved_) {
      if (value.first)
        setenv(name.c_str(), value.second.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

 private:
  void remember(const char *name) {
    if (saved_.count(name)) return;
    const char *old = std::getenv(name);
    saved_[name] = {old != nullptr, old ? old : ""};
  }
  std::map<std::string, std::pair<bool, std::string>> saved_;
};

class SdlHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.set("SDL_VIDEODRIVER", "offscreen");
    env.set("CORVANE_ALLOW_OFFSCREEN", "1");
    env.set("CORVANE_SDL_STATS", nullptr);
  }
  void TearDown() override { host.shutdown(); }

  void createShown() {
    std::string why;
    ASSERT_TRUE(host.createWindow(1, "Corvane", 640, 480, &why)) << why;
    host.showWindow(1);
  }

  SDL_Event keyEvent(Uint32 type, SDL_Scancode scancode, SDL_Keycode keycode, Uint16 mod = KMOD_NONE,
                     bool repeat = false) {
    SDL_Event e{};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = keycode;
    e.key.keysym.mod = mod;
    return e;
  }
  SDL_Event windowEvent(Uint8 which) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = which;
    return e;
  }

  Environment env;
  SdlHost host;
};

TEST_F(SdlHostTest, WithoutADisplayNothingOpensAndNothingBlocks) {
  env.set("SDL_VIDEODRIVER", nullptr);
  env.set("DISPLAY", nullptr);
  env.set("WAYLAND_DISPLAY", nullptr);
  std::string why;
  EXPECT_FALSE(host.createWindow(1, "Corvane", 640, 480, &why));
  EXPECT_EQ(why, "no display: DISPLAY is not set");
  EXPECT_EQ(host.messageBox("text", "caption", MB_ICONERROR), IDOK);
  EXPECT_EQ(host.desktopBitsPerPixel(), 32);
  HostEvent event;
  EXPECT_FALSE(host.pollEvent(&event));
  host.waitEvent();  // returns at once
  uint8_t keys[256];
  keys[5] = 1;
  host.keyboardState(keys);
  EXPECT_EQ(keys[5], 0);
  host.present(1, PixelBuffer{});
  EXPECT_FALSE(host.isFullScreen(1));
}

TEST_F(SdlHostTest, InvisibleDriversCountAsNoDisplayUnlessAllowed) {
  for (const char *driver : {"offscreen", "dummy"}) {
    SCOPED_TRACE(driver);
    env.set("SDL_VIDEODRIVER", driver);
    env.set("CORVANE_ALLOW_OFFSCREEN", nullptr);
    std::string why;
    EXPECT_FALSE(host.createWindow(1, "Corvane", 640, 480, &why));
    EXPECT_NE(why.find("no display"), std::string::npos) << why;
    EXPECT_NE(why.find(driver), std::string::npos) << why;
    EXPECT_EQ(host.messageBox("text", nullptr, MB_ICONERROR), IDOK);
    host.shutdown();
    env.set("CORVANE_ALLOW_OFFSCREEN", "1");
    EXPECT_TRUE(host.createWindow(1, "Corvane", 640, 480, &why)) << why;
    host.shutdown();
  }
}

TEST_F(SdlHostTest, KeysBecomeHostEvents) {
  createShown();
  HostEvent event;
  ASSERT_TRUE(host.translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS), &event));
  EXPECT_EQ(event.type, HostEvent::KeyDown);
  EXPECT_EQ(event.window, 1);
  EXPECT_EQ(event.virtualKey, static_cast<unsigned>(VK_ADD));
  EXPECT_EQ(event.scanCode, 0x4Eu);
  EXPECT_FALSE(event.repeat);
  EXPECT_FALSE(event.alt);
  EXPECT_EQ(event.character, '+');

  ASSERT_TRUE(host.translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_Q, SDLK_q, KMOD_LSHIFT, true), &event));
  EXPECT_EQ(event.virtualKey, static_cast<unsigned>('Q'));
  EXPECT_TRUE(event.repeat);
  EXPECT_EQ(event.character, 'Q');

  ASSERT_TRUE(host.translate(keyEvent(SDL_KEYUP, SDL_SCANCODE_Q, SDLK_q, KMOD_LSHIFT), &event));
  EXPECT_EQ(event.type, HostEvent::KeyUp);
  EXPECT_EQ(event.character, 0) << "key-ups type nothing";

  ASSERT_TRUE(host.translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT), &event));
  EXPECT_EQ(event.virtualKey, static_cast<unsigned>(VK_F4));
  EXPECT_TRUE(event.alt);
  ASSERT_TRUE(host.translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN), &event));
  EXPECT_EQ(event.virtualKey, static_cast<unsigned>(VK_RETURN)) << "Enter alone reaches the program";

  EXPECT_FALSE(host.translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_AUDIOPLAY, SDLK_AUDIOPLAY), &event));
}

TEST_F(SdlHostTest, WindowEventsAndQuit) {
  createShown();
  HostEvent event;
  ASSERT_TRUE(host.translate(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST), &event));
  EXPECT_EQ(event.type, HostEvent::FocusLost);
  EXPECT_EQ(event.window, 1);
  ASSERT_TRUE(host.translate(windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED), &event));
  EXPECT_EQ(event.type, HostEvent::FocusGained);
  ASSERT_TRUE(host.translate(windowEvent(SDL_WINDOWEVENT_CLOSE), &event));
  EXPECT_EQ(event.type, HostEvent::Close);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_TRUE(host.translate(quit, &event));
  EXPECT_EQ(event.type, HostEvent::Close);
  EXPECT_EQ(event.window, 1);
  EXPECT_FALSE(host.translate(windowEvent(SDL_WINDOWEVENT_EXPOSED), &event));
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  EXPECT_FALSE(host.translate(motion, &event));
}

TEST_F(SdlHostTest, AltEnterSwitchesFullScreenAndIsSwallowed) {
  createShown();
  host.setExclusive(1, true);
  EXPECT_TRUE(host.isFullScreen(1));
  HostEvent event;
  EXPECT_FALSE(host.translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT), &event));
  EXPECT_FALSE(host.isFullScreen(1));
  // Held: repeats neither switch back nor reach the program.
  EXPECT_FALSE(host.translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT, true), &event));
  EXPECT_FALSE(host.isFullScreen(1));
  EXPECT_FALSE(host.translate(keyEvent(SDL_KEYUP, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT), &event));
  // The Alt key itself is the program's.
  EXPECT_TRUE(host.translate(keyEvent(SDL_KEYUP, SDL_SCANCODE_LALT, SDLK_LALT), &event));
  EXPECT_EQ(event.virtualKey, static_cast<unsigned>(VK_MENU));
  // Only the one Enter-up was swallowed.
  EXPECT_TRUE(host.translate(keyEvent(SDL_KEYUP, SDL_SCANCODE_RETURN, SDLK_RETURN), &event));
  EXPECT_FALSE(host.translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_RALT), &event));
  EXPECT_TRUE(host.isFullScreen(1));
  EXPECT_FALSE(host.translate(keyEvent(SDL_KEYUP, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_RALT), &event));
  // Leaving exclusive mode leaves the window windowed whatever Alt+Enter did.
  EXPECT_FALSE(host.translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT), &event));
  host.setExclusive(1, false);
  EXPECT_FALSE(host.isFullScreen(1));
  host.setExclusive(1, true);
  EXPECT_TRUE(host.isFullScreen(1));
}

TEST_F(SdlHostTest, PolledAndAwaitedEventsArriveOnceInOrder) {
  createShown();
  HostEvent event;
  while (host.pollEvent(&event)) {
  }
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  SDL_Event a = keyEvent(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a);
  SDL_Event b = keyEvent(SDL_KEYDOWN, SDL_SCANCODE_B, SDLK_b);
  SDL_PushEvent(&motion);
  SDL_PushEvent(&a);
  SDL_PushEvent(&b);
  host.waitEvent();  // skips the motion, keeps A
  ASSERT_TRUE(host.pollEvent(&event));
  EXPECT_EQ(event.virtualKey, static_cast<unsigned>('A'));
  host.waitEvent();  // B is waiting already
  ASSERT_TRUE(host.pollEvent(&event));
  EXPECT_EQ(event.virtualKey, static_cast<unsigned>('B'));
  EXPECT_FALSE(host.pollEvent(&event));
}

// A frame whose pixel (x, y) has red x and blue y, in the 24-bit layout.
struct PatternFrame : TestFrame {
  PatternFrame(PixelLayout layout, int width, int height) : TestFrame(layout, width, height, 4) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x)
        set(x, y, static_cast<uint32_t>(x & 0xFF) | (static_cast<uint32_t>(y & 0xFF) << 16));
    }
  }
};

TEST_F(SdlHostTest, ExclusiveFramesFillTheDesktopCentredAtAWholeFactor) {
  // The dummy driver's window surface follows the window's size; the
  // offscreen driver keeps drawing into a surface of the first size.
  env.set("SDL_VIDEODRIVER", "dummy");
  createShown();
  host.setExclusive(1, true);
  PatternFrame frame(layer::layout24(), 640, 480);
  host.present(1, frame.buffer);
  std::vector<uint32_t> out;
  int width = 0, height = 0;
  ASSERT_TRUE(host.readOutput(1, &out, &width, &height)) << SDL_GetError();
  SDL_DisplayMode desktop;
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
  ASSERT_EQ(width, desktop.w);
  ASSERT_EQ(height, desktop.h);
  const Placement p = placeFrame(width, height, 640, 480);
  EXPECT_EQ(host.placement(1), p);
  auto at = [&](int x, int y) {
    return out[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] & 0xFFFFFF;
  };
  const int factor = p.width / 640;
  for (int y = 0; y < 480; y += 7) {
    for (int x = 0; x < 640; x += 5) {
      const uint32_t expected = (static_cast<uint32_t>(x & 0xFF) << 16) | static_cast<uint32_t>(y & 0xFF);  // 0xRRGGBB
      ASSERT_EQ(at(p.x + x * factor, p.y + y * factor), expected) << x << "," << y;
      ASSERT_EQ(at(p.x + x * factor + factor - 1, p.y + y * factor + factor - 1), expected) << "nearest, not blended";
    }
  }
  // Black bars all round.
  if (p.x > 0) {
    for (int y = 0; y < height; y += 9) {
      EXPECT_EQ(at(p.x - 1, y), 0u);
      EXPECT_EQ(at(0, y), 0u);
      EXPECT_EQ(at(p.x + p.width, y), 0u);
      EXPECT_EQ(at(width - 1, y), 0u);
    }
  }
  if (p.y > 0) {
    for (int x = 0; x < width; x += 9) {
      EXPECT_EQ(at(x, p.y - 1), 0u);
      EXPECT_EQ(at(x, p.y + p.height), 0u);
    }
  }

  // Alt+Enter: a window of the frame's size, showing it 1:1.
  HostEvent event;
  host.translate(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT), &event);
  host.present(1, frame.buffer);
  ASSERT_TRUE(host.readOutput(1, &out, &width, &height));
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_EQ(at(639, 479), 0x7F00DFu);  // red 639 & 0xFF = 0x7F, blue 479 & 0xFF = 0xDF
}

TEST_F(SdlHostTest, EveryLayoutIsShown) {
  createShown();
  const PixelLayout layouts[] = {layer::layout8(), layer::layout555(), layer::layout565(), layer::layout24(),
                                 layer::layout32()};
  for (const PixelLayout &layout : layouts) {
    SCOPED_TRACE(layout.bitsPerPixel);
    TestFrame frame(layout, 640, 480, 8);
    // Palette entries 0 and 255 are black and white; pack picks the nearest.
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) frame.set(x, y, (x < 320) ? 0xFFFFFF : 0x000000);
    }
    frame.set(400, 100, 0xFFFFFF);
    host.present(1, frame.buffer);
    std::vector<uint32_t> out;
    int width = 0, height = 0;
    ASSERT_TRUE(host.readOutput(1, &out, &width, &height));
    ASSERT_EQ(width, 640);
    auto at = [&](int x, int y) { return out[static_cast<size_t>(y) * 640 + static_cast<size_t>(x)] & 0xFFFFFF; };
    EXPECT_EQ(at(0, 0), 0xFFFFFFu);
    EXPECT_EQ(at(319, 479), 0xFFFFFFu);
    EXPECT_EQ(at(320, 0), 0u);
    EXPECT_EQ(at(639, 479), 0u);
    EXPECT_EQ(at(400, 100), 0xFFFFFFu);
  }
}

TEST_F(SdlHostTest, OnlyChangedFramesAreUploadedAndEveryChangedOneIs) {
  createShown();
  auto pixelShown = [&](int x, int y) {
    std::vector<uint32_t> out;
    int width = 0, height = 0;
    EXPECT_TRUE(host.readOutput(1, &out, &width, &height));
    return out.empty() ? 0xDEADu
                       : out[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] & 0xFFFFFF;
  };
  // Two pages flipped in turn, as DirectDraw does: A, A, B, B, A.
  TestFrame a(layer::layout24(), 640, 480), b(layer::layout24(), 640, 480);
  std::fill(a.bytes.begin(), a.bytes.end(), 0);
  std::fill(b.bytes.begin(), b.bytes.end(), 0);
  TestFrame a2 = a;
  a2.buffer.bits = a2.bytes.data();
  b.set(639, 479, 0xFFFFFF);  // the very last pixel differs
  host.present(1, a.buffer);
  host.present(1, a2.buffer);
  EXPECT_EQ(host.stats().skipped, 1);
  host.present(1, b.buffer);
  EXPECT_EQ(pixelShown(639, 479), 0xFFFFFFu);
  host.present(1, b.buffer);
  EXPECT_EQ(host.stats().skipped, 2);
  host.present(1, a2.buffer);
  EXPECT_EQ(pixelShown(639, 479), 0u) << "back to the older page";
  EXPECT_EQ(host.stats().frames, 5);
  EXPECT_EQ(host.stats().skipped, 2);

  // An exposed window shows the last frame again; later equal frames stay skipped.
  HostEvent event;
  host.translate(windowEvent(SDL_WINDOWEVENT_EXPOSED), &event);
  EXPECT_EQ(pixelShown(639, 479), 0u);
  host.present(1, a.buffer);
  EXPECT_EQ(host.stats().skipped, 3);

  // Another layout with the same bytes is another picture.
  TestFrame c(layer::layout32(), 640, 480);
  std::fill(c.bytes.begin(), c.bytes.end(), 0);
  c.set(0, 0, 0x0000FF);
  host.present(1, c.buffer);
  EXPECT_EQ(pixelShown(0, 0), 0xFF0000u);
  EXPECT_EQ(host.stats().skipped, 3);

  // A renderer that lost its textures gets the same frame again.
  SDL_Event reset{};
  reset.type = SDL_RENDER_DEVICE_RESET;
  EXPECT_FALSE(host.translate(reset, &event));
  host.present(1, c.buffer);
  EXPECT_EQ(pixelShown(0, 0), 0xFF0000u);
  EXPECT_EQ(host.stats().skipped, 3);

  // A new window starts with nothing shown.
  host.destroyWindow(1);
  createShown();
  host.present(1, c.buffer);
  EXPECT_EQ(pixelShown(0, 0), 0xFF0000u);
  EXPECT_EQ(host.stats().skipped, 3);
}

TEST_F(SdlHostTest, SilentAudioOnTheDummyDriverAndNoneWithoutADevice) {
  env.set("SDL_AUDIODRIVER", "dummy");
  EXPECT_TRUE(host.openAudio());
  EXPECT_TRUE(host.openAudio()) << "a second open keeps the device";
  host.closeAudio();
  host.closeAudio();
  env.set("SDL_AUDIODRIVER", "no-such-driver");
  EXPECT_FALSE(host.openAudio());
  host.closeAudio();
}

TEST_F(SdlHostTest, DesktopDepthAndAQuietKeyboard) {
  createShown();
  // The offscreen desktop is X8R8G8B8: 32 bits a pixel, though SDL counts 24.
  EXPECT_EQ(host.desktopBitsPerPixel(), 32);
  uint8_t keys[256];
  std::fill(keys, keys + 256, 0x55);
  host.keyboardState(keys);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(keys[i], 0) << i;
  host.setCursorVisible(false);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  host.setCursorVisible(true);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST_F(SdlHostTest, WhereNobodyCouldSeeABoxItSaysWhyAndReturnsAtOnce) {
  env.set("DISPLAY", nullptr);
  env.set("WAYLAND_DISPLAY", nullptr);
  createShown();
  testing::internal::CaptureStderr();
  EXPECT_EQ(host.messageBox("text", "caption", MB_ICONERROR), IDOK);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("corvane-sdl: SDL cannot show its message box: "), std::string::npos) << said;
}

TEST_F(SdlHostTest, AfterAShutdownTheHostStartsAfresh) {
  createShown();
  host.setExclusive(1, true);
  host.shutdown();
  EXPECT_FALSE(host.isFullScreen(1));
  HostEvent event;
  EXPECT_FALSE(host.pollEvent(&event));
  createShown();
  EXPECT_FALSE(host.isFullScreen(1));
  host.destroyWindow(1);
  host.destroyWindow(1);
  host.present(1, PatternFrame(layer::layout24(), 4, 4).buffer);  // no window: nothing happens
}

}  // namespace

// The headless host: windows that exist only in memory, presented frames
// kept for inspection, events injected by tests.
#include "host/headless/headless_host.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>

#include "core/reset.h"
#include "core/wake.h"

namespace layer::headless {
namespace {

struct HeadlessWindow {
  std::string title;
  int width = 0, height = 0;
  bool shown = false;
};

struct HeadlessState {
  std::map<int, HeadlessWindow> windows;
  std::deque<HostEvent> events;
  std::vector<Frame> frames;
  size_t presented = 0;
  size_t keep = 4;
  std::function<void(size_t)> presentHook;
  std::function<void()> idleHook;
  std::function<void()> pollHook;
  int desktopDepth = 32;
  bool displayAvailable = true;
  bool audioAvailable = true;
  bool audioOpen = false;
  bool cursorVisible = true;
  bool exclusive = false;
  uint8_t keys[256] = {};
};

HeadlessState &state() {
  static HeadlessState *s = new HeadlessState;  // never destroyed: used during static destruction
  return *s;
}

// The keyboard's scan code (DirectInput numbering; 0x80 and up are the
// extended keys) and the character a key types without Shift.
struct KeyInfo {
  unsigned scanCode;
  char character;
};

KeyInfo keyInfo(unsigned vk) {
  static const char letters[] =
      "\x1e\x30\x2e\x20\x12\x21\x22\x23\x17\x24\x25\x26\x32\x31\x18\x19\x10\x13\x1f\x14\x16"
      "\x2f\x11\x2d\x15\x2c";
  if (vk >= 'A' && vk <= 'Z')
    return {static_cast<unsigned char>(letters[vk - 'A']), static_cast<char>('a' + (vk - 'A'))};
  if (vk >= '1' && vk <= '9') return {0x02 + (vk - '1'), static_cast<char>(vk)};
  static const unsigned char numpadScan[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9)
    return {numpadScan[vk - VK_NUMPAD0], static_cast<char>('0' + (vk - VK_NUMPAD0))};
  if (vk >= VK_F1 && vk <= VK_F10) return {0x3B + (vk - VK_F1), 0};
  switch (vk) {
    case '0':
      return {0x0B, '0'};
    case VK_ESCAPE:
      return {0x01, 0x1B};
    case VK_BACK:
      return {0x0E, 0x08};
    case VK_TAB:
      return {0x0F, 0x09};
    case VK_RETURN:
      return {0x1C, 0x0D};
    case VK_SPACE:
      return {0x39, ' '};
    case VK_SHIFT:
    case VK_LSHIFT:
      return {0x2A, 0};
    case VK_RSHIFT:
      return {0x36, 0};
    case VK_CONTROL:
      return {0x1D, 0};
    case VK_MENU:
      return {0x38, 0};
    case VK_CAPITAL:
      return {0x3A, 0};
    case VK_PAUSE:
      return {0xC5, 0};
    case VK_F11:
      return {0x57, 0};
    case VK_F12:
      return {0x58, 0};
    case VK_MULTIPLY:
      return {0x37, '*'};
    case VK_ADD:
      return {0x4E, '+'};
    case VK_SUBTRACT:
      return {0x4A, '-'};
    case VK_DECIMAL:
      return {0x53, '.'};
    case VK_DIVIDE:
      return {0xB5, '/'};
    case VK_OEM_1:
      return {0x27, ';'};
    case VK_OEM_PLUS:
      return {0x0D, '='};
    case VK_OEM_COMMA:
      return {0x33, ','};
    case VK_OEM_MINUS:
      return {0x0C, '-'};
    case VK_OEM_PERIOD:
      return {0x34, '.'};
    case VK_HOME:
      return {0xC7, 0};
    case VK_UP:
      return {0xC8, 0};
    case VK_PRIOR:
      return {0xC9, 0};
    case VK_LEFT:
      return {0xCB, 0};
    case VK_RIGHT:
      return {0xCD, 0};
    case VK_END:
      return {0xCF, 0};
    case VK_DOWN:
      return {0xD0, 0};
    case VK_NEXT:
      return {0xD1, 0};
    case VK_INSERT:
      return {0xD2, 0};
    case VK_DELETE:
      return {0xD3, 0};
    default:
      return {0, 0};
  }
}

HostEvent keyEvent(HostEvent::Type type, unsigned vk, bool repeat, bool alt) {
  KeyInfo info = keyInfo(vk);
  HostEvent e;
  e.type = type;
  e.virtualKey = vk;
  e.scanCode = info.scanCode;
  e.repeat = repeat;
  e.alt = alt;
  e.character = type == HostEvent::KeyDown ? info.character : 0;
  return e;
}

class HeadlessHost final : public Host {
 public:
  bool createWindow(int window, const char *title, int width, int height, std::string *whyNot) override {
    HeadlessState &s = state();
    if (!s.displayAvailable) {
      if (whyNot) *whyNot = "no display (headless host set to have none)";
      return false;
    }
    s.windows[window] = HeadlessWindow{title ? title : "", width, height, false};
    return true;
  }

  void showWindow(int window) override {
    auto it = state().windows.find(window);
    if (it != state().windows.end()) it->second.shown = true;
  }

  void destroyWindow(int window) override { state().windows.erase(window); }

  void setExclusive(int, bool exclusive) override { state().exclusive = exclusive; }

  void present(int window, const PixelBuffer &frame) override {
    HeadlessState &s = state();
    // Reuse the storage of the frame that drops out, so that a long run
    // copies each frame but allocates nothing.
    Frame f;
    if (s.keep > 0 && s.frames.size() >= s.keep) {
      f = std::move(s.frames.front());
      s.frames.erase(s.frames.begin());
      while (s.frames.size() >= s.keep) s.frames.erase(s.frames.begin());
    }
    f.window = window;
    f.image.width = frame.width;
    f.image.height = frame.height;
    f.image.pitch = frame.pitch;
    f.image.bitsPerPixel = frame.layout.bitsPerPixel;
    f.image.greenMask = frame.layout.bitsPerPixel == 16 ? frame.layout.greenMask : 0;
    if (frame.bits && frame.height > 0 && frame.pitch > 0)
      f.image.bytes.assign(frame.bits, frame.bits + static_cast<size_t>(frame.height) * frame.pitch);
    else
      f.image.bytes.clear();
    if (s.keep == 0)
      s.frames.clear();
    else
      s.frames.push_back(std::move(f));
    ++s.presented;
    if (s.presentHook) {
      auto hook = s.presentHook;  // the hook may replace itself
      hook(s.presented);
    }
  }

  bool pollEvent(HostEvent *event) override {
    HeadlessState &s = state();
    if (s.events.empty() && s.pollHook) {
      auto hook = s.pollHook;  // the hook may replace itself
      hook();
    }
    if (s.events.empty()) return false;
    HostEvent e = s.events.front();
    s.events.pop_front();
    if ((e.type == HostEvent::KeyDown || e.type == HostEvent::KeyUp) && e.scanCode < 256)
      s.keys[e.scanCode] = e.type == HostEvent::KeyDown ? 0x80 : 0;
    if (event) *event = e;
    return true;
  }

  void waitEvent() override {
    HeadlessState &s = state();
    if (!s.events.empty()) return;
    const uint64_t wakes = wakeCount();
    if (s.idleHook) {
      auto hook = s.idleHook;
      hook();
    }
    // The hook may also have posted a message straight to the queue.
    if (!s.events.empty() || wakeCount() != wakes) return;
    std::fputs("headless host: the program waits for an event that will never come\n", stderr);
    std::fflush(stderr);
    std::_Exit(124);
  }

  int messageBox(const char *, const char *, unsigned) override { return IDOK; }

  void setCursorVisible(bool visible) override { state().cursorVisible = visible; }

  int desktopBitsPerPixel() override { return state().desktopDepth; }

  bool openAudio() override {
    HeadlessState &s = state();
    s.audioOpen = s.audioAvailable;
    return s.audioOpen;
  }

  void closeAudio() override { state().audioOpen = false; }

  void keyboardState(uint8_t out[256]) override { std::memcpy(out, state().keys, 256); }
};

}  // namespace

void pushEvent(const HostEvent &event) { state().events.push_back(event); }

void keyDown(unsigned virtualKey, bool repeat, bool alt) {
  pushEvent(keyEvent(HostEvent::KeyDown, virtualKey, repeat, alt));
}

void keyUp(unsigned virtualKey, bool alt) { pushEvent(keyEvent(HostEvent::KeyUp, virtualKey, false, alt)); }

void pressKey(unsigned virtualKey, bool alt) {
  keyDown(virtualKey, false, alt);
  keyUp(virtualKey, alt);
}

void focus(bool gained) {
  HostEvent e;
  e.type = gained ? HostEvent::FocusGained : HostEvent::FocusLost;
  pushEvent(e);
}

void closeWindow() {
  HostEvent e;
  e.type = HostEvent::Close;
  pushEvent(e);
}

const std::vector<Frame> &frames() { return state().frames; }
size_t presentedCount() { return state().presented; }

void keepFrames(size_t keep) {
  HeadlessState &s = state();
  s.keep = keep;
  if (s.frames.size() > keep) s.frames.erase(s.frames.begin(), s.frames.begin() + (s.frames.size() - keep));
}

void setPresentHook(std::function<void(size_t presented)> hook) { state().presentHook = std::move(hook); }
void setIdleHook(std::function<void()> hook) { state().idleHook = std::move(hook); }
void setPollHook(std::function<void()> hook) { state().pollHook = std::move(hook); }

void setDesktopDepth(int bitsPerPixel) { state().desktopDepth = bitsPerPixel; }
void setDisplayAvailable(bool available) { state().displayAvailable = available; }
void setAudioAvailable(bool available) { state().audioAvailable = available; }
bool cursorVisible() { return state().cursorVisible; }
bool isExclusive() { return state().exclusive; }

bool isAudioOpen() { return state().audioOpen; }
size_t windowCount() { return state().windows.size(); }
bool isWindowShown(int window) {
  auto it = state().windows.find(window);
  return it != state().windows.end() && it->second.shown;
}

void resetHost() {
  HeadlessState &s = state();
  s.windows.clear();
  s.events.clear();
  s.frames.clear();
  s.presented = 0;
  s.keep = 4;
  s.presentHook = nullptr;
  s.idleHook = nullptr;
  s.pollHook = nullptr;
  s.desktopDepth = 32;
  s.displayAvailable = true;
  s.audioAvailable = true;
  s.audioOpen = false;
  s.cursorVisible = true;
  s.exclusive = false;
  std::memset(s.keys, 0, sizeof s.keys);
}

namespace {
struct HeadlessResetRegistration {
  HeadlessResetRegistration() { layer::registerReset(resetHost); }
} headlessResetRegistration;
}  // namespace

}  // namespace layer::headless

layer::Host &layer::host() {
  static layer::headless::HeadlessHost *h = new layer::headless::HeadlessHost;  // lives through static destruction
  return *h;
}

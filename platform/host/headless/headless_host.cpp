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

#include "core/key_table.h"
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

// The key a virtual-key code stands for; the left and right Shift codes name
// one of the two Shift keys.
const KeyCodes *keyOf(unsigned vk) {
  if (vk == VK_LSHIFT) return keyByVirtualKey(VK_SHIFT);
  if (vk == VK_RSHIFT) return keyByScanCode(0x36);
  return keyByVirtualKey(vk);
}

// Key events carry the DirectInput code as their scan code, which also
// indexes the keyboard's state; the character is the one typed without Shift.
HostEvent keyEvent(HostEvent::Type type, unsigned vk, bool repeat, bool alt) {
  const KeyCodes *key = keyOf(vk);
  HostEvent e;
  e.type = type;
  e.virtualKey = vk;
  e.scanCode = key ? key->directInputCode : 0;
  e.repeat = repeat;
  e.alt = alt;
  e.character = type == HostEvent::KeyDown && key ? key->plain : 0;
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
[[maybe_unused]] const bool registered = (layer::registerReset(resetHost), true);
}  // namespace

}  // namespace layer::headless

layer::Host &layer::host() {
  static layer::headless::HeadlessHost *h = new layer::headless::HeadlessHost;  // lives through static destruction
  return *h;
}

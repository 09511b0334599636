// The SDL2 host. Exclusive full-screen never changes the monitor's mode: the
// window becomes borderless at the desktop's size and the frame is scaled
// into it by a whole factor where one fits, nearest-neighbour, with black
// bars. Alt+Enter switches to a window of the frame's size and back.
#include "host/sdl/sdl_host.h"

#include <windows.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gdi/gdi_internal.h"
#include "host/sdl/sdl_keys.h"
#include "host/sdl/sdl_message_window.h"
#include "host/sdl/sdl_process_clock.h"
#include "host/sdl/sdl_renderer_choice.h"

namespace layer::sdl {
namespace {

bool environmentIs(const char *name, const char *value) {
  const char *set = std::getenv(name);
  return set && std::strcmp(set, value) == 0;
}

double secondsNow() {
  return static_cast<double>(SDL_GetPerformanceCounter()) / static_cast<double>(SDL_GetPerformanceFrequency());
}

void sleepFor(double seconds) {
  const Uint32 milliseconds = static_cast<Uint32>(seconds * 1000.0 + 0.5);
  if (milliseconds > 0) SDL_Delay(milliseconds);
}

void SDLCALL fillSilence(void *, Uint8 *stream, int length) { std::memset(stream, 0, static_cast<size_t>(length)); }

// Whether SDL's default audio drivers can find anything: without a sound
// card or a sound server they fail anyway, and ALSA fills stderr doing so.
// A driver chosen through SDL_AUDIODRIVER is always tried.
bool soundOutputLikely() {
  const char *driver = std::getenv("SDL_AUDIODRIVER");
  if (driver && *driver) return true;
  if (access("/dev/snd", F_OK) == 0 || std::getenv("PULSE_SERVER")) return true;
  const char *runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return false;
  const std::string base(runtime);
  return access((base + "/pulse/native").c_str(), F_OK) == 0 || access((base + "/pipewire-0").c_str(), F_OK) == 0;
}

bool isInvisibleDriver(const char *driver) {
  return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

}  // namespace

SdlHost::SdlHost() { stats_.enabled = environmentIs("CORVANE_SDL_STATS", "1"); }

SdlHost::~SdlHost() { shutdown(); }

bool SdlHost::ensureVideo() {
  if (video_ == Video::Ready) return true;
  if (video_ == Video::Unavailable) return false;
  video_ = Video::Unavailable;
  const char *driver = std::getenv("SDL_VIDEODRIVER");
  const bool driverChosen = driver && *driver;
  if (!driverChosen && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    // SDL would quietly fall back to drawing nowhere.
    whyNoDisplay_ = "no display: DISPLAY is not set";
    return false;
  }
  // The first frame holds text: fontconfig loads while SDL starts its video,
  // which spends most of its time waiting on the X server.
  gdi::prepareFonts();
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");  // a closed window is reported once, as Close
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  // The software renderer draws into the window's own surface; SDL would
  // otherwise show that surface through an OpenGL texture, loading GL.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    whyNoDisplay_ = std::string("no display: ") + SDL_GetError();
    return false;
  }
  const char *current = SDL_GetCurrentVideoDriver();
  if (isInvisibleDriver(current) && !environmentIs("CORVANE_ALLOW_OFFSCREEN", "1")) {
    whyNoDisplay_ = std::string("no display: SDL found only its ") + current + " video driver";
    if (!driverChosen && std::getenv("DISPLAY")) {
      whyNoDisplay_ = std::string("no display: cannot open the X display ") + std::getenv("DISPLAY");
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  if (SDL_GetNumVideoDisplays() < 1) {
    whyNoDisplay_ = "no display: SDL reports no screen";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  SDL_StopTextInput();  // characters come from the key tables, not from an input method
  SDL_ShowCursor(cursorVisible_ ? SDL_ENABLE : SDL_DISABLE);
  SDL_DisplayMode mode;
  pacer_.setRefreshRate(SDL_GetDesktopDisplayMode(0, &mode) == 0 ? mode.refresh_rate : 0);
  whyNoDisplay_.clear();
  video_ = Video::Ready;
  return true;
}

SdlHost::Window *SdlHost::find(int window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

const SdlHost::Window *SdlHost::find(int window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : &it->second;
}

int SdlHost::windowIdOf(Uint32 sdlWindowId) const {
  for (const auto &[id, w] : windows_) {
    if (SDL_GetWindowID(w.sdlWindow) == sdlWindowId) return id;
  }
  return windows_.empty() ? 0 : windows_.begin()->first;
}

bool SdlHost::createWindow(int window, const char *title, int width, int height, std::string *whyNot) {
  if (finished_ || !ensureVideo()) {
    if (whyNot) *whyNot = finished_ ? "the display has been closed" : whyNoDisplay_;
    return false;
  }
  destroyWindow(window);
  Window w;
  w.width = std::max(width, 1);
  w.height = std::max(height, 1);
  w.sdlWindow = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w.width, w.height,
                                 SDL_WINDOW_HIDDEN);
  if (!w.sdlWindow) {
    if (whyNot) *whyNot = std::string("no window: ") + SDL_GetError();
    return false;
  }
  // Vsync where the renderer has it; present() paces the rest itself.
  const int driver = cheapestRenderDriver(w.sdlWindow);
  const Uint32 tries[] = {SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC, SDL_RENDERER_PRESENTVSYNC, 0};
  for (Uint32 flags : tries) {
    if ((w.renderer = SDL_CreateRenderer(w.sdlWindow, driver, flags)) != nullptr) break;
  }
  if (!w.renderer) {
    if (whyNot) *whyNot = std::string("no renderer: ") + SDL_GetError();
    SDL_DestroyWindow(w.sdlWindow);
    return false;
  }
  SDL_RendererInfo info{};
  w.rendererVsync = SDL_GetRendererInfo(w.renderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC);
  stats_.renderer = info.name ? info.name : "";
  windows_[window] = w;
  return true;
}

void SdlHost::showWindow(int window) {
  Window *w = find(window);
  if (!w) return;
  SDL_ShowWindow(w->sdlWindow);
  redraw(*w);
}

void SdlHost::destroyWindow(int window) {
  Window *w = find(window);
  if (!w) return;
  if (w->texture) SDL_DestroyTexture(w->texture);
  SDL_DestroyRenderer(w->renderer);
  SDL_DestroyWindow(w->sdlWindow);
  windows_.erase(window);
}

void SdlHost::setExclusive(int window, bool exclusive) {
  Window *w = find(window);
  if (!w) return;
  w->exclusive = exclusive;
  if (!exclusive) w->userWindowed = false;
  applyMode(*w);
}

bool SdlHost::isFullScreen(int window) const {
  const Window *w = find(window);
  return w && w->exclusive && !w->userWindowed;
}

Placement SdlHost::placement(int window) const {
  const Window *w = find(window);
  if (!w || !w->texture) return {};
  int outputWidth = 0, outputHeight = 0;
  SDL_GetRendererOutputSize(w->renderer, &outputWidth, &outputHeight);
  return placeFrame(outputWidth, outputHeight, w->textureWidth, w->textureHeight);
}

void SdlHost::applyMode(Window &w) {
  int display = SDL_GetWindowDisplayIndex(w.sdlWindow);
  if (display < 0) display = 0;
  if (w.exclusive && !w.userWindowed) {
    // Without a window manager SDL's full-screen flags leave the X window
    // as it is; a borderless window at the desktop's size covers the screen
    // with or without one.
    SDL_Rect bounds{0, 0, w.width, w.height};
    SDL_GetDisplayBounds(display, &bounds);
    SDL_DisplayMode desktop;
    int width = bounds.w, height = bounds.h;
    if (SDL_GetDesktopDisplayMode(display, &desktop) == 0) {
      width = desktop.w;
      height = desktop.h;
    }
    SDL_SetWindowBordered(w.sdlWindow, SDL_FALSE);
    SDL_SetWindowSize(w.sdlWindow, width, height);
    SDL_SetWindowPosition(w.sdlWindow, bounds.x, bounds.y);
    SDL_RaiseWindow(w.sdlWindow);
  } else {
    SDL_SetWindowBordered(w.sdlWindow, SDL_TRUE);
    SDL_SetWindowSize(w.sdlWindow, w.width, w.height);
    SDL_SetWindowPosition(w.sdlWindow, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                          SDL_WINDOWPOS_CENTERED_DISPLAY(display));
  }
  redraw(w);
}

void SdlHost::redraw(Window &w) {
  compose(w);
  SDL_RenderPresent(w.renderer);
}

void SdlHost::compose(Window &w) {
  SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255);
  SDL_RenderClear(w.renderer);
  if (w.hasFrame && w.texture) {
    int outputWidth = 0, outputHeight = 0;
    SDL_GetRendererOutputSize(w.renderer, &outputWidth, &outputHeight);
    const Placement p = placeFrame(outputWidth, outputHeight, w.textureWidth, w.textureHeight);
    const SDL_Rect target{p.x, p.y, p.width, p.height};
    SDL_RenderCopy(w.renderer, w.texture, nullptr, &target);
  }
}

bool SdlHost::readOutput(int window, std::vector<uint32_t> *pixels, int *width, int *height) {
  Window *w = find(window);
  if (!w) return false;
  compose(*w);
  SDL_GetRendererOutputSize(w->renderer, width, height);
  pixels->assign(static_cast<size_t>(*width) * static_cast<size_t>(*height), 0);
  const bool read =
      SDL_RenderReadPixels(w->renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels->data(), *width * 4) == 0;
  SDL_RenderPresent(w->renderer);
  return read;
}

void SdlHost::present(int window, const PixelBuffer &frame) {
  Window *w = find(window);
  if (!w || !frame.bits || frame.width <= 0 || frame.height <= 0) return;
  ++stats_.frames;
  if (w->hasFrame && !w->shown.differs(frame)) {
    // Already on the screen, and an exposed or resized window is repainted
    // when its event comes: no upload and no present, but the frame still
    // takes its refresh.
    ++stats_.skipped;
    if (stats_.enabled) noteFrame(false);
    sleepFor(pacer_.afterSkip(secondsNow()));
    return;
  }
  Uint32 format = directTextureFormat(frame.layout);
  const bool direct = format != SDL_PIXELFORMAT_UNKNOWN;
  if (!direct) format = SDL_PIXELFORMAT_RGB24;
  if (!w->texture || w->textureWidth != frame.width || w->textureHeight != frame.height || w->textureFormat != format) {
    if (w->texture) SDL_DestroyTexture(w->texture);
    w->hasFrame = false;
    w->texture = SDL_CreateTexture(w->renderer, format, SDL_TEXTUREACCESS_STREAMING, frame.width, frame.height);
    if (!w->texture) return;
    SDL_SetTextureScaleMode(w->texture, SDL_ScaleModeNearest);
    w->textureWidth = frame.width;
    w->textureHeight = frame.height;
    w->textureFormat = format;
  }
  if (direct) {
    SDL_UpdateTexture(w->texture, nullptr, frame.bits, frame.pitch);
  } else {
    const int pitch = frame.width * 3;
    conversion_.resize(static_cast<size_t>(pitch) * static_cast<size_t>(frame.height));
    convertToRgb24(frame, conversion_.data(), pitch);
    SDL_UpdateTexture(w->texture, nullptr, conversion_.data(), pitch);
  }
  w->shown.keep(frame);
  w->hasFrame = true;
  const double start = secondsNow();
  redraw(*w);
  const double took = secondsNow() - start;
  if (stats_.enabled) noteFrame(true);
  sleepFor(pacer_.afterPresent(secondsNow(), took, w->rendererVsync));
}

void SdlHost::noteFrame(bool changed) {
  Stats &s = stats_;
  const double now = secondsNow();
  const double cpu = processCpuSeconds();
  if (s.firstPresentSeconds < 0) {
    s.firstPresentSeconds = secondsSinceProcessStart();
  } else if (now - s.lastFrameAt < 0.25) {
    // Frames drawn back to back; longer gaps are time spent inactive.
    s.drawingSeconds += now - s.lastFrameAt;
    s.drawingCpuSeconds += cpu - s.lastFrameCpu;
    ++s.drawingFrames;
  }
  s.lastFrameAt = now;
  s.lastFrameCpu = cpu;
  if (s.pendingKeyFrame < 0) return;
  if (changed) {
    s.keyLatencies.push_back(s.frames - s.pendingKeyFrame);
    s.pendingKeyFrame = -1;
  } else if (s.frames - s.pendingKeyFrame > 120) {
    s.pendingKeyFrame = -1;  // a key that changed nothing
  }
}

bool SdlHost::translate(const SDL_Event &sdlEvent, HostEvent *event) {
  *event = HostEvent{};
  switch (sdlEvent.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const SDL_Keysym &key = sdlEvent.key.keysym;
      const bool down = sdlEvent.type == SDL_KEYDOWN;
      const bool alt = (key.mod & KMOD_ALT) != 0;
      const bool enter = key.scancode == SDL_SCANCODE_RETURN || key.scancode == SDL_SCANCODE_KP_ENTER;
      if (down && alt && enter) {
        // Alt+Enter belongs to the host: full-screen or windowed.
        if (!sdlEvent.key.repeat) {
          Window *w = find(windowIdOf(sdlEvent.key.windowID));
          if (w && w->exclusive) {
            w->userWindowed = !w->userWindowed;
            applyMode(*w);
          }
        }
        swallowedKeyUp_ = key.scancode;
        return false;
      }
      if (!down && swallowedKeyUp_ != SDL_SCANCODE_UNKNOWN && key.scancode == swallowedKeyUp_) {
        swallowedKeyUp_ = SDL_SCANCODE_UNKNOWN;
        return false;
      }
      KeyCodes codes;
      if (!translateKey(key.scancode, key.sym, &codes)) return false;
      event->type = down ? HostEvent::KeyDown : HostEvent::KeyUp;
      event->window = windowIdOf(sdlEvent.key.windowID);
      event->virtualKey = codes.virtualKey;
      event->scanCode = codes.scanCode;
      event->repeat = sdlEvent.key.repeat != 0;
      event->alt = alt;
      event->character = down ? keyCharacter(key.scancode, key.sym, key.mod) : 0;
      return true;
    }
    case SDL_WINDOWEVENT:
      event->window = windowIdOf(sdlEvent.window.windowID);
      switch (sdlEvent.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          event->type = HostEvent::FocusGained;
          return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          event->type = HostEvent::FocusLost;
          return true;
        case SDL_WINDOWEVENT_CLOSE:
          event->type = HostEvent::Close;
          return true;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          // The window lost its picture: unchanged frames are not presented
          // and an inactive program presents nothing, so show the last one again.
          if (Window *w = find(event->window)) redraw(*w);
          return false;
        default:
          return false;
      }
    case SDL_QUIT:
      event->type = HostEvent::Close;
      event->window = windows_.empty() ? 0 : windows_.begin()->first;
      return true;
    case SDL_RENDER_DEVICE_RESET:
      // The renderers lost their textures: the next frame is uploaded anew,
      // changed or not.
      for (auto &[id, w] : windows_) {
        if (w.texture) SDL_DestroyTexture(w.texture);
        w.texture = nullptr;
        w.hasFrame = false;
        w.shown.clear();
      }
      return false;
    default:
      return false;
  }
}

bool SdlHost::pollEvent(HostEvent *event) {
  if (!pending_.empty()) {
    *event = pending_.front();
    pending_.pop_front();
  } else {
    if (video_ != Video::Ready) return false;
    SDL_Event sdlEvent;
    bool found = false;
    while (!found && SDL_PollEvent(&sdlEvent)) found = translate(sdlEvent, event);
    if (!found) return false;
  }
  // Repeats count too: each step of a held key must show in the next frame.
  if (stats_.enabled && event->type == HostEvent::KeyDown && stats_.pendingKeyFrame < 0) {
    stats_.pendingKeyFrame = stats_.frames;
  }
  return true;
}

void SdlHost::waitEvent() {
  if (!pending_.empty() || video_ != Video::Ready) return;
  SDL_Event sdlEvent;
  HostEvent event;
  // SDL_WaitEvent blocks on the display connection; events that mean
  // nothing to the layer (mouse motion, exposure) do not end the wait.
  while (SDL_WaitEvent(&sdlEvent)) {
    if (translate(sdlEvent, &event)) {
      pending_.push_back(event);
      return;
    }
  }
}

int SdlHost::messageBox(const char *text, const char *caption, unsigned type) {
  if (finished_ || !ensureVideo()) return IDOK;
  Uint32 flags = 0;
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
      flags = SDL_MESSAGEBOX_ERROR;
      break;
    case MB_ICONEXCLAMATION:
      flags = SDL_MESSAGEBOX_WARNING;
      break;
    case MB_ICONINFORMATION:
    case MB_ICONQUESTION:
      flags = SDL_MESSAGEBOX_INFORMATION;
      break;
    default:
      break;
  }
  // A box without a caption is titled "Error", as on Windows.
  const char *title = caption ? caption : "Error";
  if (SDL_ShowSimpleMessageBox(flags, title, text ? text : "", nullptr) == 0) return IDOK;
  // SDL has no box here: say why, and show one of the host's own where
  // anyone could see it.
  std::fprintf(stderr, "corvane-sdl: SDL cannot show its message box: %s\n", SDL_GetError());
  if (isInvisibleDriver(SDL_GetCurrentVideoDriver())) return IDOK;
  std::string whyNot;
  if (!showMessageWindow(title, text, &whyNot))
    std::fprintf(stderr, "corvane-sdl: nor can the host show its own: %s\n", whyNot.c_str());
  return IDOK;
}

void SdlHost::setCursorVisible(bool visible) {
  cursorVisible_ = visible;
  if (video_ == Video::Ready) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

int SdlHost::desktopBitsPerPixel() {
  if (finished_ || !ensureVideo()) return 32;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 32;
  if (SDL_BYTESPERPIXEL(mode.format) == 4) return 32;  // X8R8G8B8 counts 24 bits but takes 32
  const int bits = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
  return bits > 0 ? bits : 32;
}

bool SdlHost::openAudio() {
  if (audio_) return true;
  if (finished_ || !soundOutputLikely() || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec wanted{};
  wanted.freq = 22050;
  wanted.format = AUDIO_S16SYS;  // silence is all zero bytes
  wanted.channels = 2;
  wanted.samples = 1024;
  wanted.callback = fillSilence;
  SDL_AudioSpec obtained{};
  audio_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (!audio_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(audio_, 0);
  return true;
}

void SdlHost::closeAudio() {
  if (!audio_) return;
  SDL_CloseAudioDevice(audio_);
  audio_ = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlHost::keyboardState(uint8_t state[256]) {
  std::memset(state, 0, 256);
  if (video_ != Video::Ready) return;
  SDL_PumpEvents();
  int count = 0;
  const Uint8 *keys = SDL_GetKeyboardState(&count);
  for (int i = 0; i < count; ++i) {
    if (!keys[i]) continue;
    const unsigned code = directInputCode(static_cast<SDL_Scancode>(i));
    if (code > 0 && code < 256) state[code] = 0x80;
  }
}

void SdlHost::shutdown() {
  if (stats_.enabled && stats_.frames > 0) printStats();
  while (!windows_.empty()) destroyWindow(windows_.begin()->first);
  closeAudio();
  if (video_ == Video::Ready) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  video_ = Video::Unknown;
  whyNoDisplay_.clear();
  pending_.clear();
  swallowedKeyUp_ = SDL_SCANCODE_UNKNOWN;
  cursorVisible_ = true;
  conversion_.clear();
  pacer_ = FramePacer();
  const bool statsEnabled = stats_.enabled;
  stats_ = Stats{};
  stats_.enabled = statsEnabled;
}

void SdlHost::finish() {
  shutdown();
  SDL_Quit();
  finished_ = true;
}

void SdlHost::printStats() const {
  const Stats &s = stats_;
  const bool drawing = s.drawingSeconds > 0;
  std::fprintf(stderr, "corvane-sdl: first frame %.0f ms after start; %ld frames, %.1f per second while drawing (%s)",
               s.firstPresentSeconds * 1000.0, s.frames,
               drawing ? static_cast<double>(s.drawingFrames) / s.drawingSeconds : 0.0,
               pacer_.vsyncTrusted() ? "the renderer waits for vsync" : "paced by the host");
  std::fprintf(stderr, "; renderer %s", s.renderer.c_str());
  std::fprintf(stderr, "; CPU %.1f %% of a core while drawing",
               drawing ? 100.0 * s.drawingCpuSeconds / s.drawingSeconds : 0.0);
  std::fprintf(stderr, "; %ld presents skipped (frame unchanged)", s.skipped);
  std::fprintf(stderr, "; presents take %.1f ms", pacer_.averagePresent() * 1000.0);
  if (!s.keyLatencies.empty()) {
    long sum = 0;
    for (long l : s.keyLatencies) sum += l;
    std::fprintf(stderr, "; key to changed frame: %ld..%ld frames, mean %.2f over %zu keys",
                 *std::min_element(s.keyLatencies.begin(), s.keyLatencies.end()),
                 *std::max_element(s.keyLatencies.begin(), s.keyLatencies.end()),
                 static_cast<double>(sum) / static_cast<double>(s.keyLatencies.size()), s.keyLatencies.size());
  }
  std::fprintf(stderr, "\n");
}

}  // namespace layer::sdl

// The SDL2 host: one SDL window per platform window, frames scaled onto
// the desktop in exclusive full-screen, SDL's keyboard and window events
// as host events, SDL message boxes and SDL audio playing silence.
#pragma once

#include <SDL.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/sdl/sdl_frame.h"
#include "host/sdl/sdl_shown_frame.h"

namespace layer::sdl {

class SdlHost : public Host {
 public:
  SdlHost();
  ~SdlHost() override;

  bool createWindow(int window, const char *title, int width, int height, std::string *whyNot) override;
  void showWindow(int window) override;
  void destroyWindow(int window) override;
  void setExclusive(int window, bool exclusive) override;
  void present(int window, const PixelBuffer &frame) override;
  bool pollEvent(HostEvent *event) override;
  void waitEvent() override;
  int messageBox(const char *text, const char *caption, unsigned type) override;
  void setCursorVisible(bool visible) override;
  int desktopBitsPerPixel() override;
  bool openAudio() override;
  void closeAudio() override;
  void keyboardState(uint8_t state[256]) override;

  // Closes every window and the audio device and lets SDL go; the host is
  // as new afterwards (tests, and the end of the process).
  void shutdown();
  // Shuts down for good: the end of the process. Later calls find no display.
  void finish();

  // Turns one SDL event into a host event; false when it yields none (it
  // may still have been acted on, as Alt+Enter is).
  bool translate(const SDL_Event &sdlEvent, HostEvent *event);

  // Whether a window is shown full-screen on the desktop right now.
  bool isFullScreen(int window) const;
  // The rectangle a window's frames land in, in its output pixels.
  Placement placement(int window) const;
  // What a window shows, as 0xAARRGGBB pixels of its output (tests).
  bool readOutput(int window, std::vector<uint32_t> *pixels, int *width, int *height);
  // Why there is no display, empty while there is one or none was looked for.
  const std::string &whyNoDisplay() const { return whyNoDisplay_; }

  // Figures of the presents; printed to stderr at shutdown when
  // CORVANE_SDL_STATS=1, which also turns on the timing ones.
  struct Stats {
    bool enabled = false;
    std::string renderer;             // the renderer of the last window made, by SDL's name
    long frames = 0;                  // flips, presented or not
    long skipped = 0;                 // flips whose frame was already on the screen
    double firstPresentSeconds = -1;  // since the process started
    double lastFrameAt = 0;
    double lastFrameCpu = 0;       // CPU seconds of the process at the last frame
    double drawingSeconds = 0;     // between frames that follow one another closely
    double drawingCpuSeconds = 0;  // CPU used in those stretches
    long drawingFrames = 0;
    long pendingKeyFrame = -1;       // frame count when a key went out
    std::vector<long> keyLatencies;  // in frames, key to changed frame
  };
  const Stats &stats() const { return stats_; }

 private:
  struct Window {
    SDL_Window *sdlWindow = nullptr;
    SDL_Renderer *renderer = nullptr;
    SDL_Texture *texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
    Uint32 textureFormat = 0;
    int width = 0, height = 0;  // the size asked for, the windowed size
    bool exclusive = false;
    bool userWindowed = false;  // Alt+Enter took it out of full-screen
    bool hasFrame = false;
    bool rendererVsync = false;  // the renderer says it waits for vsync (software ones say so anyway)
    ShownFrame shown;            // what the window shows: its last uploaded frame
  };

  bool ensureVideo();
  Window *find(int window);
  const Window *find(int window) const;
  int windowIdOf(Uint32 sdlWindowId) const;
  void applyMode(Window &w);
  void redraw(Window &w);
  void compose(Window &w);  // the window's picture, not yet presented
  void noteFrame(bool changed);
  void printStats() const;

  enum class Video { Unknown, Ready, Unavailable };
  Video video_ = Video::Unknown;
  bool finished_ = false;
  std::string whyNoDisplay_;
  std::map<int, Window> windows_;
  std::deque<HostEvent> pending_;
  SDL_Scancode swallowedKeyUp_ = SDL_SCANCODE_UNKNOWN;  // the Enter of an Alt+Enter
  bool cursorVisible_ = true;
  SDL_AudioDeviceID audio_ = 0;
  std::vector<uint8_t> conversion_;
  FramePacer pacer_;
  Stats stats_;
};

}  // namespace layer::sdl

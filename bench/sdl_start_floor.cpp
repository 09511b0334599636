// The least an SDL program does to put a 640x480 frame on the screen, as
// the SDL host does it: SDL's video with the same hints, a borderless
// window at the desktop's size, SDL's software renderer, one streamed
// frame. It prints the time from its start to that present, as the host's
// statistics count the viewer's first frame, so that start_time.sh can set
// the viewer against it in the same run.
#include <SDL.h>

#include <cstdio>
#include <vector>

#include "host/sdl/sdl_process_clock.h"

int main() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "sdl_start_floor: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window *window = SDL_CreateWindow("floor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480,
                                        SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
  SDL_Renderer *renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
  SDL_Texture *texture =
      renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, 640, 480) : nullptr;
  if (!texture) {
    std::fprintf(stderr, "sdl_start_floor: %s\n", SDL_GetError());
    return 1;
  }
  SDL_DisplayMode desktop;
  if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) SDL_SetWindowSize(window, desktop.w, desktop.h);
  SDL_SetWindowPosition(window, 0, 0);
  SDL_ShowWindow(window);
  std::vector<Uint32> frame(640 * 480, 0xFF204060u);
  SDL_UpdateTexture(texture, nullptr, frame.data(), 640 * 4);
  SDL_RenderCopy(renderer, texture, nullptr, nullptr);
  SDL_RenderPresent(renderer);
  std::printf("sdl_start_floor: first frame %.0f ms after start\n", layer::sdl::secondsSinceProcessStart() * 1000);
  SDL_Quit();
  return 0;
}

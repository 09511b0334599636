// Which of SDL's render drivers a window gets.
#pragma once

#include <SDL.h>

namespace layer::sdl {

// The render driver that costs least for the window, as an index for
// SDL_CreateRenderer, or -1 to let SDL choose (always so when
// SDL_RENDER_DRIVER names one).
int cheapestRenderDriver(SDL_Window *window);

}  // namespace layer::sdl

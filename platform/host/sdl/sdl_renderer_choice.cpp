// Choosing the renderer by its cost. Where the X server offers no direct
// rendering, OpenGL is Mesa's llvmpipe: loading it (LLVM among it) adds
// 150 ms or more to the start, and its presents cost several times what
// SDL's software renderer costs drawing straight into the window. Kept apart
// because the X11 headers define names such as None and Bool.
#include "host/sdl/sdl_renderer_choice.h"

#include <SDL_syswm.h>

#include <cstdlib>
#include <cstring>

namespace layer::sdl {
namespace {

// Whether the X server offers direct rendering (DRI3 or DRI2), which OpenGL
// needs to draw on a graphics card. True for any other video driver.
bool rendersDirectly(SDL_Window *window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
  // SDL has libX11 loaded already; the program itself does not link it.
  void *x11 = SDL_LoadObject("libX11.so.6");
  if (!x11) return true;
  using QueryExtension = int (*)(Display *, const char *, int *, int *, int *);
  auto query = reinterpret_cast<QueryExtension>(SDL_LoadFunction(x11, "XQueryExtension"));
  bool direct = true;
  if (query) {
    int opcode = 0, event = 0, error = 0;
    direct = query(info.info.x11.display, "DRI3", &opcode, &event, &error) ||
             query(info.info.x11.display, "DRI2", &opcode, &event, &error);
  }
  SDL_UnloadObject(x11);
  return direct;
#else
  (void)window;
  return true;
#endif
}

}  // namespace

int cheapestRenderDriver(SDL_Window *window) {
  const char *named = std::getenv("SDL_RENDER_DRIVER");
  if ((named && *named) || rendersDirectly(window)) return -1;
  for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
    SDL_RendererInfo info;
    if (SDL_GetRenderDriverInfo(i, &info) == 0 && std::strcmp(info.name, "software") == 0) return i;
  }
  return -1;
}

}  // namespace layer::sdl

// The display object: a pop-up window, exclusive full-screen DirectDraw with
// a primary surface and one back buffer, a sound device, the keyboard as a
// DirectInput device, text output, line drawing and the frame loop.
// One Screen per program, of static storage duration; the display surfaces
// are released when it is destroyed.
#pragma once

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0700
#endif

#include <ddraw.h>
#include <dinput.h>
#include <dsound.h>
#include <windows.h>

#include <cstdint>

#include "graphics/display_surfaces.h"
#include "screen/line_drawer.h"
#include "screen/text_writer.h"

class Graphic;

// The display depth asked of Screen::create: 0 = 8, 1 = 16, 2 = 24 and
// 3 = 32 bits per pixel, 4 = the desktop's depth.
using ScreenMode = uint32_t;

// Called once a frame between clearing the back buffer and flipping it.
using FrameCallback = void (*)();

class Screen {
 public:
  DDBLTFX clearEffects{};  // scratch for the clear, rewritten each frame
  HWND window = nullptr;
  DisplaySurfaces surfaces;
  TextWriter textWriter;
  LineDrawer lineDrawer;
  bool running = false;
  int32_t active = 0;  // written by the window procedure from WM_ACTIVATEAPP
  IDirectInput *directInput = nullptr;
  IDirectInputDevice *keyboard = nullptr;
  IDirectSound *directSound = nullptr;

  Screen() = default;
  Screen(const Screen &) = delete;
  Screen &operator=(const Screen &) = delete;

  // Set-up and teardown.
  bool create(const char *title, int32_t width, int32_t height, ScreenMode mode, WNDPROC windowProc, HINSTANCE instance,
              HICON icon, HCURSOR cursor);
  void stop();
  bool createSurfaces();
  bool loadGraphic(Graphic &graphic, const char *fileName);

  // The frame loop.
  int32_t run(FrameCallback frameCallback);
  HRESULT clearBackBuffer();
  void flip();

  // The sound and keyboard devices.
  bool initSound();
  void initKeyboard();
  void releaseDevices();
};

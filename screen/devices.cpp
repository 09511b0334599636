// The sound and keyboard devices: opened during create, never used, released
// when the frame loop ends through Screen::stop. Sound may fail to come up;
// the screen works without it, and without the keyboard device.
#include <cstring>

#include "screen/screen.h"

bool Screen::initSound() {
  if (DirectSoundCreate(nullptr, &directSound, nullptr) != DS_OK) {
    directSound = nullptr;
    return false;
  }
  HWND cooperativeWindow = GetForegroundWindow();
  if (!cooperativeWindow) cooperativeWindow = GetDesktopWindow();
  if (directSound->SetCooperativeLevel(cooperativeWindow, DSSCL_PRIORITY) != DS_OK) {
    directSound->Release();
    directSound = nullptr;
    return false;
  }
  DSBUFFERDESC description;
  std::memset(&description, 0, sizeof(description));
  description.dwSize = sizeof(DSBUFFERDESC);
  description.dwFlags = DSBCAPS_PRIMARYBUFFER;
  // Held only here: the buffer goes with the DirectSound object.
  IDirectSoundBuffer *primaryBuffer = nullptr;
  if (directSound->CreateSoundBuffer(&description, &primaryBuffer, nullptr) != DS_OK) {
    directSound->Release();
    directSound = nullptr;
    return false;
  }
  primaryBuffer->Play(0, 0, DSBPLAY_LOOPING);
  return true;
}

// Failures are silent; a step that needs an object that did not come up is skipped.
void Screen::initKeyboard() {
  if (DirectInputCreateA(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, &directInput, nullptr) != DI_OK) {
    directInput = nullptr;
    return;
  }
  if (directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr) != DI_OK) {
    keyboard = nullptr;
    return;
  }
  keyboard->SetDataFormat(&c_dfDIKeyboard);
  keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  keyboard->Acquire();
}

void Screen::releaseDevices() {
  if (keyboard) {
    keyboard->Unacquire();
    keyboard->Release();
    keyboard = nullptr;
  }
  if (directInput) {
    directInput->Release();
    directInput = nullptr;
  }
  if (directSound) {
    directSound->Release();
    directSound = nullptr;
  }
}

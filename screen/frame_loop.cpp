// The frame loop: every waiting message first, one per turn; with the queue
// empty, a frame while the application is active, else a wait for the next
// message. The running flag is tested before each message and each frame.
#include <cstring>

#include "screen/screen.h"

int32_t Screen::run(FrameCallback frameCallback) {
  MSG message;
  std::memset(&message, 0, sizeof(message));
  while (running) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      // 0 is WM_QUIT; -1, a failed take, is handled like any other message.
      if (GetMessageA(&message, nullptr, 0, 0) == 0) return static_cast<int32_t>(message.wParam);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else if (active) {
      clearBackBuffer();
      if (frameCallback) frameCallback();
      flip();
    } else {
      WaitMessage();
    }
  }
  releaseDevices();
  return static_cast<int32_t>(message.wParam);
}

HRESULT Screen::clearBackBuffer() {
  std::memset(&clearEffects, 0, sizeof(clearEffects));
  clearEffects.dwSize = sizeof(DDBLTFX);
  clearEffects.dwFillColor = 0;
  if (!surfaces.backBuffer) return DDERR_SURFACELOST;
  return surfaces.backBuffer->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &clearEffects);
}

// A failed flip restores the primary surface; the next frame is drawn as usual.
void Screen::flip() {
  if (!surfaces.primary) return;
  if (surfaces.primary->Flip(nullptr, DDFLIP_WAIT) != DD_OK) surfaces.primary->Restore();
}

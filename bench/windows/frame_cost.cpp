// The viewer's frame on the Windows program's own DirectDraw, for running
// under Wine or on Windows, where Google Benchmark is not at hand: the clear,
// the four frame lines, the zoom line and both help lines (texts through
// Windows' GDI on the surface), and a Lock and Unlock of the back buffer
// (its two conversions between GDI's order and the program's), each against
// a memset plus a memcpy of one 640x480x24 frame in the same run. The flip
// is left out: it waits for the monitor's refresh.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/frame_drawing.h"
#include "screen/screen.h"

namespace {

constexpr size_t kFrameBytes = 640 * 480 * 3;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// Seconds per call of `step`, the best of several rounds.
template <class Step>
double secondsPer(Step step, int calls) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double best = 1e9;
  for (int round = 0; round < 7; ++round) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < calls; ++i) step();
    QueryPerformanceCounter(&end);
    const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart) / calls;
    if (seconds < best) best = seconds;
  }
  return best;
}

}  // namespace

int main() {
  std::vector<unsigned char> frame(kFrameBytes), copy(kFrameBytes);
  volatile unsigned char sink = 0;
  const double floor = secondsPer(
      [&] {
        std::memset(frame.data(), sink, kFrameBytes);
        std::memcpy(copy.data(), frame.data(), kFrameBytes);
        sink = copy[kFrameBytes / 2];
      },
      200);

  Screen screen;
  if (!screen.create("Corvane", 640, 480, 2, windowProc, GetModuleHandleA(nullptr), nullptr, nullptr)) {
    std::printf("the screen did not come up\n");
    return 1;
  }
  bench::drawFrameWithoutFlip(screen);  // fonts made once, as after the first frame of a run
  const double draw = secondsPer([&] { bench::drawFrameWithoutFlip(screen); }, 50);
  IDirectDrawSurface *back = screen.surfaces.backBuffer;
  const double lockRoundTrip = secondsPer(
      [&] {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        if (back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) == DD_OK) back->Unlock(nullptr);
      },
      50);
  screen.stop();

  std::printf("memset + memcpy of a 640x480x24 frame: %.1f us\n", floor * 1e6);
  std::printf("frame drawn (no flip): %.1f us, %.2fx the floor\n", draw * 1e6, draw / floor);
  std::printf("Lock + Unlock of the 24-bit back buffer: %.1f us, %.2fx the floor\n", lockRoundTrip * 1e6,
              lockRoundTrip / floor);
  return 0;
}

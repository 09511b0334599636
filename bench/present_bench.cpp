// What telling an unchanged frame costs the SDL host, against the memcpy of
// one 640x480x24 frame (the floor) and against what skipping it saves: the
// upload and present of the frame through SDL's software renderer (on the
// dummy video driver, so without the X server's share). The column x_memcpy
// is each one's CPU time over the memcpy's, timed in the same run.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "host/sdl/sdl_shown_frame.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr size_t kFrameBytes = size_t{kWidth} * kHeight * 3;

struct Frame {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kFrameBytes);
  layer::PixelBuffer buffer;
  Frame() {
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 1920);
    buffer.bits = bytes.data();
    buffer.width = kWidth;
    buffer.height = kHeight;
    buffer.pitch = kWidth * 3;
    buffer.layout = layer::layout24();
  }
};

// The floor: CPU seconds of one memcpy of a frame, the median of 15 batches
// timed in this run.
double memcpySeconds() {
  static const double seconds = [] {
    std::vector<uint8_t> from(kFrameBytes, 1), to(kFrameBytes);
    std::vector<double> batches;
    for (int batch = 0; batch < 15; ++batch) {
      const std::clock_t start = std::clock();
      for (int i = 0; i < 100; ++i) {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
      }
      batches.push_back(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC / 100);
    }
    std::nth_element(batches.begin(), batches.begin() + 7, batches.end());
    return batches[7];
  }();
  return seconds;
}

// Shows the CPU time per iteration since `start` as a multiple of the floor.
void reportAgainstMemcpy(benchmark::State &state, std::clock_t start) {
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  state.counters["x_memcpy"] = seconds / (memcpySeconds() * static_cast<double>(state.iterations()));
}

// The frame flipped again unchanged: the whole frame is compared.
void BM_Compare_Unchanged(benchmark::State &state) {
  Frame frame, page;
  layer::sdl::ShownFrame shown;
  shown.keep(frame.buffer);
  memcpySeconds();
  const std::clock_t start = std::clock();
  for (auto _ : state) benchmark::DoNotOptimize(shown.differs(page.buffer));
  reportAgainstMemcpy(state, start);
}
BENCHMARK(BM_Compare_Unchanged);

// A frame whose last pixel changed: compared to the end, then kept.
void BM_Compare_ChangedAndKept(benchmark::State &state) {
  Frame a, b;
  b.bytes.back() ^= 1;
  layer::sdl::ShownFrame shown;
  shown.keep(a.buffer);
  bool odd = false;
  memcpySeconds();
  const std::clock_t start = std::clock();
  for (auto _ : state) {
    const layer::PixelBuffer &next = (odd = !odd) ? b.buffer : a.buffer;
    if (shown.differs(next)) shown.keep(next);
  }
  reportAgainstMemcpy(state, start);
}
BENCHMARK(BM_Compare_ChangedAndKept);

// What a skip saves: upload and present with SDL's software renderer.
void BM_UploadAndPresent_Software(benchmark::State &state) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    state.SkipWithError(SDL_GetError());
    return;
  }
  SDL_Window *window = SDL_CreateWindow("bench", 0, 0, kWidth, kHeight, SDL_WINDOW_HIDDEN);
  SDL_Renderer *renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
  SDL_Texture *texture =
      renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING, kWidth, kHeight)
               : nullptr;
  if (!texture) {
    state.SkipWithError(SDL_GetError());
  } else {
    Frame frame;
    memcpySeconds();
    const std::clock_t start = std::clock();
    for (auto _ : state) {
      SDL_UpdateTexture(texture, nullptr, frame.buffer.bits, frame.buffer.pitch);
      SDL_RenderClear(renderer);
      SDL_RenderCopy(renderer, texture, nullptr, nullptr);
      SDL_RenderPresent(renderer);
    }
    reportAgainstMemcpy(state, start);
  }
  if (texture) SDL_DestroyTexture(texture);
  if (renderer) SDL_DestroyRenderer(renderer);
  if (window) SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
BENCHMARK(BM_UploadAndPresent_Software);

}  // namespace

BENCHMARK_MAIN();

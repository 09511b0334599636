// What telling an unchanged frame costs the SDL host, against the memcpy of
// one 640x480x24 frame (the floor) and against what skipping it saves: the
// upload and present of the frame through SDL's software renderer (on the
// dummy video driver, so without the X server's share). Prints the ratios.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
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

void BM_Floor_MemcpyFrame(benchmark::State &state) {
  std::vector<uint8_t> from(kFrameBytes, 1), to(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), to.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Floor_MemcpyFrame);

// The frame flipped again unchanged: the whole frame is compared.
void BM_Compare_Unchanged(benchmark::State &state) {
  Frame frame, page;
  layer::sdl::ShownFrame shown;
  shown.keep(frame.buffer);
  for (auto _ : state) benchmark::DoNotOptimize(shown.differs(page.buffer));
}
BENCHMARK(BM_Compare_Unchanged);

// A frame whose last pixel changed: compared to the end, then kept.
void BM_Compare_ChangedAndKept(benchmark::State &state) {
  Frame a, b;
  b.bytes.back() ^= 1;
  layer::sdl::ShownFrame shown;
  shown.keep(a.buffer);
  bool odd = false;
  for (auto _ : state) {
    const layer::PixelBuffer &next = (odd = !odd) ? b.buffer : a.buffer;
    if (shown.differs(next)) shown.keep(next);
  }
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
    for (auto _ : state) {
      SDL_UpdateTexture(texture, nullptr, frame.buffer.bits, frame.buffer.pitch);
      SDL_RenderClear(renderer);
      SDL_RenderCopy(renderer, texture, nullptr, nullptr);
      SDL_RenderPresent(renderer);
    }
  }
  if (texture) SDL_DestroyTexture(texture);
  if (renderer) SDL_DestroyRenderer(renderer);
  if (window) SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
BENCHMARK(BM_UploadAndPresent_Software);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      cpu_[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double floor = cpu_["BM_Floor_MemcpyFrame"];
    if (floor <= 0) return;
    for (const char *name : {"BM_Compare_Unchanged", "BM_Compare_ChangedAndKept", "BM_UploadAndPresent_Software"}) {
      if (cpu_[name] > 0) std::printf("%s / memcpy of a 640x480x24 frame: %.2fx CPU\n", name, cpu_[name] / floor);
    }
  }

 private:
  std::map<std::string, double> cpu_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

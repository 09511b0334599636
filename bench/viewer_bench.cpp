// The viewer's own work on the headless host, with its real objects: whole
// frames (clear, drawFrame, flip) at zoom 0.1, 1, 1.1 and 16 beside the frame
// floor (memset plus memcpy of one 640x480x24 frame), and each colour command
// on the 640x480 sample picture beside a memcpy of the picture's 921,600
// bytes, all in the same run. Prints the ratios at the end.
#include <windows.h>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_floor.h"
#include "host/headless/headless_host.h"
#include "viewer/viewer_state.h"

namespace {

constexpr size_t kFrameBytes = 640 * 480 * 3;

bool viewerUp = false;

// What viewerMain does before its loop, without the loop.
bool bringUpViewer() {
  std::string assets = __FILE__;
  assets = assets.substr(0, assets.rfind('/')) + "/../assets";
  if (chdir(assets.c_str()) != 0) return false;
  layer::headless::keepFrames(1);
  if (!viewerScreen.create("Corvane", 640, 480, 2, viewerWindowProc, GetModuleHandleA(nullptr), nullptr, nullptr))
    return false;
  if (!viewerScreen.loadGraphic(viewerGraphic, "intro.bmp")) return false;
  clipRect = {21, 16, 619, 464};
  return true;
}

void BM_Floor_MemsetMemcpyFrame(benchmark::State &state) { bench::memsetMemcpyFloor(state, kFrameBytes); }
BENCHMARK(BM_Floor_MemsetMemcpyFrame);

void BM_Floor_MemcpyPicture(benchmark::State &state) { bench::memcpyFloor(state, kFrameBytes); }
BENCHMARK(BM_Floor_MemcpyPicture);

void frameAtZoom(benchmark::State &state, float atZoom) {
  if (!viewerUp) {
    state.SkipWithError("the viewer did not come up");
    return;
  }
  zoom = atZoom;
  viewerScreen.clearBackBuffer();
  drawFrame();  // glyphs rendered once, as after the first frame of a run
  viewerScreen.flip();
  for (auto _ : state) {
    viewerScreen.clearBackBuffer();
    drawFrame();
    viewerScreen.flip();
  }
  zoom = 1.0f;
}

void BM_Frame_Zoom10(benchmark::State &state) { frameAtZoom(state, 0.1f); }
void BM_Frame_Zoom100(benchmark::State &state) { frameAtZoom(state, 1.0f); }
void BM_Frame_Zoom110(benchmark::State &state) { frameAtZoom(state, 1.1f); }
void BM_Frame_Zoom1600(benchmark::State &state) { frameAtZoom(state, 16.0f); }
BENCHMARK(BM_Frame_Zoom10);
BENCHMARK(BM_Frame_Zoom100);
BENCHMARK(BM_Frame_Zoom110);
BENCHMARK(BM_Frame_Zoom1600);

// One colour command as its key runs it, over and over on the same picture.
template <typename Command>
void colourCommand(benchmark::State &state, Command command) {
  if (!viewerUp) {
    state.SkipWithError("the viewer did not come up");
    return;
  }
  for (auto _ : state) {
    command();
    benchmark::ClobberMemory();
  }
  viewerGraphic.restore();
}

void BM_Colour_Grayscale(benchmark::State &s) {
  colourCommand(s, [] { viewerGraphic.grayscale(); });
}
void BM_Colour_Invert(benchmark::State &s) {
  colourCommand(s, [] { viewerGraphic.invert(); });
}
void BM_Colour_Brighten(benchmark::State &s) {
  colourCommand(s, [] { viewerGraphic.brighten(0.1f); });
}
void BM_Colour_Darken(benchmark::State &s) {
  colourCommand(s, [] { viewerGraphic.darken(0.1f); });
}
void BM_Colour_AddRed(benchmark::State &s) {
  colourCommand(s, [] { viewerGraphic.addColor(0.1f, 0, 0); });
}
void BM_Colour_MinusBlue(benchmark::State &s) {
  colourCommand(s, [] { viewerGraphic.addColor(0, 0, -0.1f); });
}
BENCHMARK(BM_Colour_Grayscale);
BENCHMARK(BM_Colour_Invert);
BENCHMARK(BM_Colour_Brighten);
BENCHMARK(BM_Colour_Darken);
BENCHMARK(BM_Colour_AddRed);
BENCHMARK(BM_Colour_MinusBlue);

// Keeps each benchmark's CPU time per iteration (steadier than wall time on a
// shared machine) and prints the ratios to the floors.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs)
      if (!run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    double frameFloor = times_["BM_Floor_MemsetMemcpyFrame"], copyFloor = times_["BM_Floor_MemcpyPicture"];
    for (const auto &[name, time] : times_) {
      if (name.rfind("BM_Frame_", 0) == 0 && frameFloor > 0)
        std::printf("%-22s %6.2fx memset+memcpy of a frame (target: within 5x)\n", name.c_str(), time / frameFloor);
      if (name.rfind("BM_Colour_", 0) == 0 && copyFloor > 0)
        std::printf("%-22s %6.2fx memcpy of the picture (target: within 3x)\n", name.c_str(), time / copyFloor);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  viewerUp = bringUpViewer();
  if (!viewerUp) std::fprintf(stderr, "viewer_bench: the viewer did not come up\n");
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

// The cost of one viewer frame without its picture on the headless host:
// the clear, the four frame lines, the zoom line and both help lines, and
// the flip, against a memset plus a memcpy of one 640x480x24 frame in the
// same run. Prints the ratio at the end.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench_floor.h"
#include "bench/frame_drawing.h"
#include "host/headless/headless_host.h"
#include "screen/screen.h"

namespace {

constexpr size_t kFrameBytes = 640 * 480 * 3;

Screen *screen = nullptr;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ACTIVATEAPP) {
    if (screen) screen->active = static_cast<int32_t>(wParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void drawFrame(Screen &s) {
  bench::drawFrameWithoutFlip(s);
  s.flip();
}

void BM_Floor_MemsetMemcpyFrame(benchmark::State &state) { bench::memsetMemcpyFloor(state, kFrameBytes); }
BENCHMARK(BM_Floor_MemsetMemcpyFrame);

void BM_Frame(benchmark::State &state) {
  layer::headless::keepFrames(1);
  screen = new Screen;
  if (!screen->create("Corvane", 640, 480, 2, windowProc, GetModuleHandleA(nullptr), nullptr, nullptr)) {
    state.SkipWithError("the screen did not come up");
  } else {
    drawFrame(*screen);  // glyphs rendered once, as after the first frame of a run
    for (auto _ : state) drawFrame(*screen);
  }
  delete screen;
  screen = nullptr;
}
BENCHMARK(BM_Frame);

// Keeps each benchmark's time per iteration (the median when repeated) and
// prints the frame's ratio to the floor, in real and in CPU time.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      std::string name = run.benchmark_name();
      Times *times = name.rfind("BM_Floor", 0) == 0 ? &floor_ : name.rfind("BM_Frame", 0) == 0 ? &frame_ : nullptr;
      if (times) *times = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (floor_.real > 0 && frame_.real > 0)
      std::printf("frame / (memset + memcpy of a 640x480x24 frame): %.2fx real, %.2fx CPU (target: within 3x)\n",
                  frame_.real / floor_.real, frame_.cpu / floor_.cpu);
  }

 private:
  struct Times {
    double real = 0, cpu = 0;
  };
  Times floor_, frame_;
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

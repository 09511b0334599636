// The colour operations over whole pictures in each pixel layout, beside a
// memcpy of the same number of bytes measured in the same run. The counter
// x_memcpy is the operation's processor time over that memcpy's, both taken
// in alternating batches.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "graphics/bitmap_loading.h"
#include "graphics/display_surfaces.h"
#include "graphics/graphic.h"
#include "host/headless/headless_host.h"
#include "layer_test.h"

namespace {

struct Picture {
  DisplaySurfaces surfaces;
  Graphic graphic;
};

// One picture per layout and size, made on first use and kept for the run.
Picture &picture(int format, int width, int height) {
  static std::map<std::vector<int>, Picture> pictures;
  auto [it, made] = pictures.try_emplace({format, width, height});
  Picture &p = it->second;
  if (made) {
    layer::setUse555(format == 15);
    layer::headless::setDesktopDepth(format == 15 ? 16 : format);
    DirectDrawCreate(nullptr, &p.surfaces.directDraw, nullptr);
    p.graphic.owner = &p.surfaces;
    p.graphic.surface = createOffscreenSurface(p.surfaces.directDraw, width, height);
    p.graphic.width = width;
    p.graphic.height = height;
    DDSURFACEDESC description = {};
    description.dwSize = sizeof(description);
    if (p.graphic.surface && p.graphic.surface->Lock(nullptr, &description, DDLOCK_WAIT, nullptr) == DD_OK) {
      uint8_t *bytes = static_cast<uint8_t *>(description.lpSurface);
      uint32_t seed = 12345;
      for (size_t i = 0; i < static_cast<size_t>(description.lPitch) * height; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<uint8_t>(seed >> 16);
      }
      p.graphic.surface->Unlock(nullptr);
    }
  }
  // Every layout of the run shares the one display mode: set it for this one.
  layer::setUse555(format == 15);
  layer::headless::setDesktopDepth(format == 15 ? 16 : format);
  return p;
}

double threadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

enum class Op { Grayscale, Invert, Brighten, Darken, AddColor };

void runOp(Graphic &graphic, Op op) {
  switch (op) {
    case Op::Grayscale:
      graphic.grayscale();
      break;
    case Op::Invert:
      graphic.invert();
      break;
    case Op::Brighten:
      graphic.brighten(0.1f);
      break;
    case Op::Darken:
      graphic.darken(0.1f);
      break;
    case Op::AddColor:  // the "add red" key
      graphic.addColor(0.1f, 0, 0);
      break;
  }
  benchmark::ClobberMemory();
}

// Average processor seconds of `work` over a batch of at least 10 ms.
template <class Work>
double batchSeconds(Work work) {
  int runs = 0;
  const double start = threadSeconds();
  double elapsed = 0;
  do {
    work();
    ++runs;
    elapsed = threadSeconds() - start;
  } while (elapsed < 0.01);
  return elapsed / runs;
}

// The operation's time over a memcpy of the same bytes, from batches of the
// two taken in turns, so that both meet the same load on the shared
// machine; each side counts its fastest batch. Processor time, so that other
// work on the machine counts against neither.
double timesMemcpy(Graphic &graphic, Op op, size_t bytes) {
  std::vector<uint8_t> from(bytes, 1), to(bytes, 0);
  const auto copy = [&] {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  };
  double opBest = 1e9, copyBest = 1e9;
  for (int round = 0; round < 5; ++round) {
    opBest = std::min(opBest, batchSeconds([&] { runOp(graphic, op); }));
    copyBest = std::min(copyBest, batchSeconds(copy));
  }
  benchmark::DoNotOptimize(to.data());
  return opBest / copyBest;
}

void colorOp(benchmark::State &state, Op op, int format, int width, int height) {
  Picture &p = picture(format, width, height);
  if (!p.graphic.surface || p.graphic.pixelFormat() != static_cast<PixelFormat>(format)) {
    state.SkipWithError("no surface in this layout");
    return;
  }
  const size_t bytes = static_cast<size_t>(width) * height * ((format + 7) / 8);
  for (auto _ : state) runOp(p.graphic, op);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["x_memcpy"] = timesMemcpy(p.graphic, op, bytes);
}

void registerAll() {
  const std::pair<Op, const char *> ops[] = {{Op::Grayscale, "grayscale"},
                                             {Op::Invert, "invert"},
                                             {Op::Brighten, "brighten"},
                                             {Op::Darken, "darken"},
                                             {Op::AddColor, "addColor"}};
  const std::pair<int, int> sizes[] = {{640, 480}, {4096, 4096}};
  for (auto [width, height] : sizes)
    for (int format : {15, 16, 24, 32})
      for (auto [op, name] : ops) {
        std::string title = std::string(name) + "/" + std::to_string(format) + "/" + std::to_string(width) + "x" +
                            std::to_string(height);
        benchmark::RegisterBenchmark(title.c_str(), colorOp, op, format, width, height);
      }
}

}  // namespace

int main(int argc, char **argv) {
  setenv("CORVANE_QUIET_DEBUG", "1", 1);  // the 32-bit walk writes its pitch on every call
  registerAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

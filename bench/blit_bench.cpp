// The stretching blit as the viewer uses it: a 640x480 24-bit picture cut and
// stretched onto the 598x448 region of a 24-bit back buffer, at zooms 0.1, 1,
// 1.1 and 16. Measured against memcpy of the destination bytes (the floor) and
// against the nearest-neighbour scalers of SDL2 and pixman on the same
// rectangles; a summary of the ratios is printed after the runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <ddraw.h>
#include "bench/bench_floor.h"
#include "host/headless/headless_host.h"
#include "layer_test.h"

#ifdef CORVANE_HAVE_SDL2
#include <SDL.h>
#endif
#ifdef CORVANE_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Cut {
  const char *name;
  RECT source, dest;
};

// The viewer's cut of a picture drawn at (x, y) with size w by h into its
// clip rectangle (21, 16, 619, 464): each cut edge rounded on its own, the
// vertical factor rounded to single precision.
Cut viewerCut(const char *name, int x, int y, int w, int h) {
  const RECT clip{21, 16, 619, 464};
  const double fx = double(kWidth) / w;
  const double fy = static_cast<float>(double(kHeight) / h);
  Cut c{name, {0, 0, kWidth, kHeight}, {x, y, x + w, y + h}};
  if (x < clip.left) c.source.left = int((clip.left - x) * fx + 0.5), c.dest.left = clip.left;
  if (y < clip.top) c.source.top = int((clip.top - y) * fy + 0.5), c.dest.top = clip.top;
  if (x + w > clip.right) c.source.right = kWidth - int((x + w - clip.right) * fx + 0.5), c.dest.right = clip.right;
  if (y + h > clip.bottom)
    c.source.bottom = kHeight - int((y + h - clip.bottom) * fy + 0.5), c.dest.bottom = clip.bottom;
  return c;
}

const Cut kCuts[] = {
    viewerCut("zoom 0.1", 288, 216, 64, 48),          // source (0,0,640,480) onto (288,216,352,264)
    viewerCut("zoom 1", 0, 0, 640, 480),              // (21,16,619,464) onto itself
    viewerCut("zoom 1.1", -32, -24, 704, 528),        // (48,36,592,444) onto (21,16,619,464)
    viewerCut("zoom 16", -4800, -3600, 10240, 7680),  // (301,226,339,254) onto (21,16,619,464)
};

size_t destBytes(const Cut &c) { return size_t(c.dest.right - c.dest.left) * (c.dest.bottom - c.dest.top) * 3; }

std::vector<uint8_t> noise(size_t bytes) {
  std::vector<uint8_t> v(bytes);
  std::mt19937 random(42);
  for (auto &b : v) b = static_cast<uint8_t>(random());
  return v;
}

// ---- the floor ----

void BM_Memcpy(benchmark::State &state, const Cut *cut) {
  const size_t bytes = destBytes(*cut);
  bench::memcpyFloor(state, bytes);
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

// ---- ours: IDirectDrawSurface::Blt between 24-bit surfaces ----

IDirectDrawSurface *makeSurface(IDirectDraw *dd) {
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = kWidth;
  desc.dwHeight = kHeight;
  IDirectDrawSurface *s = nullptr;
  if (dd->CreateSurface(&desc, &s, nullptr) != DD_OK) return nullptr;
  return s;
}

void BM_Blt(benchmark::State &state, const Cut *cut) {
  layer::reset();
  layer::headless::setDesktopDepth(24);  // offscreen surfaces in the 24-bit layout
  IDirectDraw *dd = nullptr;
  if (DirectDrawCreate(nullptr, &dd, nullptr) != DD_OK) {
    state.SkipWithError("DirectDrawCreate failed");
    return;
  }
  IDirectDrawSurface *picture = makeSurface(dd), *back = makeSurface(dd);
  if (!picture || !back) {
    state.SkipWithError("CreateSurface failed");
    return;
  }
  layer::SurfaceImage image = layer::readSurface(picture);
  image.bytes = noise(image.bytes.size());
  layer::writeSurface(picture, image);
  RECT source = cut->source, dest = cut->dest;
  for (auto _ : state) {
    if (back->Blt(&dest, picture, &source, DDBLT_WAIT, nullptr) != DD_OK) {
      state.SkipWithError("Blt failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * destBytes(*cut));
  layer::clearCalls();
  back->Release();
  picture->Release();
  dd->Release();
}

#ifdef CORVANE_HAVE_SDL2
void BM_SdlBlitScaled(benchmark::State &state, const Cut *cut) {
  SDL_Surface *from = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 24, SDL_PIXELFORMAT_RGB24);
  SDL_Surface *to = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 24, SDL_PIXELFORMAT_RGB24);
  if (!from || !to) {
    state.SkipWithError("SDL_CreateRGBSurfaceWithFormat failed");
    return;
  }
  std::vector<uint8_t> pixels = noise(size_t(from->pitch) * kHeight);
  std::memcpy(from->pixels, pixels.data(), pixels.size());
  SDL_Rect source{cut->source.left, cut->source.top, cut->source.right - cut->source.left,
                  cut->source.bottom - cut->source.top};
  for (auto _ : state) {
    SDL_Rect dest{cut->dest.left, cut->dest.top, cut->dest.right - cut->dest.left, cut->dest.bottom - cut->dest.top};
    SDL_BlitScaled(from, &source, to, &dest);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * destBytes(*cut));
  SDL_FreeSurface(to);
  SDL_FreeSurface(from);
}
#endif

#ifdef CORVANE_HAVE_PIXMAN
void BM_PixmanNearest(benchmark::State &state, const Cut *cut) {
  const int stride = kWidth * 3;  // 1920, a multiple of 4 as pixman wants
  std::vector<uint8_t> fromBits = noise(size_t(stride) * kHeight), toBits(size_t(stride) * kHeight);
  pixman_image_t *from =
      pixman_image_create_bits(PIXMAN_r8g8b8, kWidth, kHeight, reinterpret_cast<uint32_t *>(fromBits.data()), stride);
  pixman_image_t *to =
      pixman_image_create_bits(PIXMAN_r8g8b8, kWidth, kHeight, reinterpret_cast<uint32_t *>(toBits.data()), stride);
  const int dw = cut->dest.right - cut->dest.left, dh = cut->dest.bottom - cut->dest.top;
  const double sx = double(cut->source.right - cut->source.left) / dw;
  const double sy = double(cut->source.bottom - cut->source.top) / dh;
  // Destination pixel (i, j) of the rectangle samples the source at
  // (left + (i + 0.5) * sx, top + (j + 0.5) * sy).
  pixman_transform_t transform;
  pixman_transform_init_identity(&transform);
  transform.matrix[0][0] = pixman_double_to_fixed(sx);
  transform.matrix[0][2] = pixman_double_to_fixed(cut->source.left);
  transform.matrix[1][1] = pixman_double_to_fixed(sy);
  transform.matrix[1][2] = pixman_double_to_fixed(cut->source.top);
  pixman_image_set_transform(from, &transform);
  pixman_image_set_filter(from, PIXMAN_FILTER_NEAREST, nullptr, 0);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, cut->dest.left, cut->dest.top, dw, dh);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * destBytes(*cut));
  pixman_image_unref(to);
  pixman_image_unref(from);
}
#endif

std::string runName(const char *kind, const Cut &cut) { return std::string(kind) + "/" + cut.name; }

}  // namespace

int main(int argc, char **argv) {
  for (const Cut &cut : kCuts) {
    benchmark::RegisterBenchmark(runName("memcpy", cut).c_str(), BM_Memcpy, &cut);
    benchmark::RegisterBenchmark(runName("Blt", cut).c_str(), BM_Blt, &cut);
#ifdef CORVANE_HAVE_SDL2
    benchmark::RegisterBenchmark(runName("SDL_BlitScaled", cut).c_str(), BM_SdlBlitScaled, &cut);
#endif
#ifdef CORVANE_HAVE_PIXMAN
    benchmark::RegisterBenchmark(runName("pixman", cut).c_str(), BM_PixmanNearest, &cut);
#endif
  }
  benchmark::Initialize(&argc, argv);
  bench::TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\nTime ratios: Blt / memcpy is the distance from the floor; a peer / Blt above 1 means Blt is faster\n");
  std::printf("%-10s %12s %14s %16s %12s\n", "cut", "Blt (us cpu)", "Blt / memcpy", "SDL / Blt", "pixman / Blt");
  for (const Cut &cut : kCuts) {
    auto time = [&](const char *kind) { return reporter.seconds(runName(kind, cut)); };
    const double blt = time("Blt"), floor = time("memcpy"), sdl = time("SDL_BlitScaled"), pixman = time("pixman");
    if (blt <= 0) continue;
    std::printf("%-10s %12.2f %14.2f", cut.name, blt * 1e6, floor > 0 ? blt / floor : 0.0);
    if (sdl > 0)
      std::printf(" %16.2f", sdl / blt);
    else
      std::printf(" %16s", "-");
    if (pixman > 0)
      std::printf(" %12.2f\n", pixman / blt);
    else
      std::printf(" %12s\n", "-");
  }
  benchmark::Shutdown();
  return 0;
}

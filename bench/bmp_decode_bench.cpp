// Decoding a BMP from memory, 24-bit and RLE8: the layer's decoder against
// the floor (memcpy of the file, into a kept buffer and into fresh memory) and
// two peers, stb_image (which has no RLE) and SDL_LoadBMP_RW. Prints the time
// ratios at the end.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_floor.h"
#include "gdi/bmp_decoder.h"
#include "support/bmp_writer.h"

#ifdef CORVANE_HAVE_STB
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#include <stb/stb_image.h>
#endif
#ifdef CORVANE_HAVE_SDL2
#include <SDL.h>
#endif

namespace {

struct Picture {
  const char *name;
  int width, height;
  bool rle8 = false;
};
constexpr Picture kPictures[] = {{"640x480", 640, 480}, {"4096x4096", 4096, 4096}, {"rle8_640x480", 640, 480, true}};

// Bands of repeated indices broken every 64 pixels by 8 that differ: both
// kinds of run.
bmptest::BmpContents rle8Picture(const Picture *picture) {
  bmptest::BmpContents s;
  s.width = picture->width;
  s.height = picture->height;
  s.bitsPerPixel = 8;
  s.compression = BI_RLE8;
  for (uint32_t i = 0; i < 256; ++i) s.palette.push_back(bmptest::bmpColor(i, 255 - i, i / 2));
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      s.pixels.push_back(static_cast<uint32_t>(x % 64 < 8 ? x * 7 + y * 3 : x / 12 + y / 6) & 0xFF);
  return s;
}

const std::vector<uint8_t> &fileFor(const Picture *picture) {
  static std::map<const Picture *, std::vector<uint8_t>> files;
  auto it = files.find(picture);
  if (it != files.end()) return it->second;
  if (picture->rle8) return files.emplace(picture, bmptest::writeBmp(rle8Picture(picture))).first->second;
  bmptest::BmpContents s;
  s.width = picture->width;
  s.height = picture->height;
  s.bitsPerPixel = 24;
  int stride = bmptest::bmpStride(s.width, 24);
  s.rawBits.resize(static_cast<size_t>(stride) * s.height);
  for (size_t i = 0; i < s.rawBits.size(); ++i) s.rawBits[i] = static_cast<uint8_t>(i * 7 + (i >> 11));
  return files.emplace(picture, bmptest::writeBmp(s)).first->second;
}

void BM_Memcpy(benchmark::State &state, const Picture *picture) {
  const std::vector<uint8_t> &file = fileFor(picture);
  bench::memcpyFloor(state, file.size());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

// The floor for anything that hands back a new picture: fresh memory, then the copy.
void BM_MemcpyToNew(benchmark::State &state, const Picture *picture) {
  const std::vector<uint8_t> &file = fileFor(picture);
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[file.size()]);
    std::memcpy(copy.get(), file.data(), file.size());
    benchmark::DoNotOptimize(copy.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

void BM_Decode(benchmark::State &state, const Picture *picture) {
  const std::vector<uint8_t> &file = fileFor(picture);
  for (auto _ : state) {
    layer::gdi::BmpResult result = layer::gdi::decodeBmp(file.data(), file.size());
    if (!result.bitmap) state.SkipWithError("the decoder refused the file");
    benchmark::DoNotOptimize(result.bitmap.get());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

#ifdef CORVANE_HAVE_STB
void BM_Stb(benchmark::State &state, const Picture *picture) {
  const std::vector<uint8_t> &file = fileFor(picture);
  for (auto _ : state) {
    int w, h, n;
    stbi_uc *pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &n, 3);
    if (!pixels) state.SkipWithError("stb_image refused the file");
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
#endif

#ifdef CORVANE_HAVE_SDL2
void BM_Sdl(benchmark::State &state, const Picture *picture) {
  const std::vector<uint8_t> &file = fileFor(picture);
  for (auto _ : state) {
    SDL_Surface *surface = SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
    if (!surface) state.SkipWithError("SDL_LoadBMP_RW refused the file");
    benchmark::DoNotOptimize(surface);
    SDL_FreeSurface(surface);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
#endif

std::string runName(const char *kind, const Picture &picture) { return std::string(kind) + "/" + picture.name; }

}  // namespace

int main(int argc, char **argv) {
  for (const Picture &picture : kPictures) {
    benchmark::RegisterBenchmark(runName("memcpy", picture).c_str(), BM_Memcpy, &picture);
    benchmark::RegisterBenchmark(runName("memcpy_new", picture).c_str(), BM_MemcpyToNew, &picture);
    benchmark::RegisterBenchmark(runName("decode", picture).c_str(), BM_Decode, &picture);
#ifdef CORVANE_HAVE_STB
    benchmark::RegisterBenchmark(runName("stb_image", picture).c_str(), BM_Stb, &picture);
#endif
#ifdef CORVANE_HAVE_SDL2
    benchmark::RegisterBenchmark(runName("SDL_LoadBMP", picture).c_str(), BM_Sdl, &picture);
#endif
  }
  benchmark::Initialize(&argc, argv);
  bench::TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf(
      "\nTime ratios: decode / memcpy is the distance from the floor; a peer / decode above 1 means the\n"
      "decoder is faster\n");
  std::printf("%-10s %12s %15s %19s %15s %13s\n", "picture", "decode (us)", "decode / memcpy", "decode / memcpy_new",
              "stb / decode", "SDL / decode");
  for (const Picture &picture : kPictures) {
    auto time = [&](const char *kind) { return reporter.seconds(runName(kind, picture)); };
    const double decode = time("decode"), floor = time("memcpy"), fresh = time("memcpy_new");
    const double stb = time("stb_image"), sdl = time("SDL_LoadBMP");
    if (decode <= 0) continue;
    std::printf("%-10s %12.1f %15.2f %19.2f", picture.name, decode * 1e6, floor > 0 ? decode / floor : 0.0,
                fresh > 0 ? decode / fresh : 0.0);
    if (stb > 0)
      std::printf(" %15.2f", stb / decode);
    else
      std::printf(" %15s", "-");
    if (sdl > 0)
      std::printf(" %13.2f\n", sdl / decode);
    else
      std::printf(" %13s\n", "-");
  }
  benchmark::Shutdown();
  return 0;
}

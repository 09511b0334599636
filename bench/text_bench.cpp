// The cost of a frame's text: TextOutA of the viewer's longest line (117
// characters, glyphs cached) onto a 640x480 24-bit memory DC, against a
// memcpy of the whole frame in the same run.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/bench_floor.h"

namespace {

const char kHelp2[] =
    "| d to darken | e to add red | r to add green | t to add blue | y to minus red | u to minus green | i to minus "
    "blue |";

void BM_MemcpyFrame(benchmark::State &state) { bench::memcpyFloor(state, 640 * 480 * 3); }
BENCHMARK(BM_MemcpyFrame);

void BM_TextOutLongLine(benchmark::State &state) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 640;
  info.bmiHeader.biHeight = -480;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  SelectObject(dc, bitmap);
  HFONT font = CreateFontA(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           NONANTIALIASED_QUALITY, VARIABLE_PITCH, "Arial");
  if (font) SelectObject(dc, font);
  SetTextColor(dc, 255);
  SetBkColor(dc, 1);
  const int length = static_cast<int>(sizeof(kHelp2) - 1);
  TextOutA(dc, 0, 455, kHelp2, length);  // renders the glyphs once
  for (auto _ : state) {
    benchmark::DoNotOptimize(TextOutA(dc, 0, 455, kHelp2, length));
    benchmark::ClobberMemory();
  }
  state.SetLabel(font ? "Arial" : "built-in font");
  DeleteDC(dc);
  DeleteObject(bitmap);
  if (font) DeleteObject(font);
}
BENCHMARK(BM_TextOutLongLine);

}  // namespace

BENCHMARK_MAIN();

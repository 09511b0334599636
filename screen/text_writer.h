// Text on the back buffer through GDI: Arial 13, not anti-aliased, red on an
// opaque near-black box. Each print takes the back buffer's device context
// and gives it back before returning.
#pragma once

#include <windows.h>

#include <cstdint>

class DisplaySurfaces;

class TextWriter {
 public:
  DisplaySurfaces *owner = nullptr;  // not owned; text lands on its back buffer
  HFONT font = nullptr;              // selected for every print when not null
  HFONT underlinedFont = nullptr;    // made with the other, never selected
  COLORREF backColor = 0;
  COLORREF textColor = 0;

  void init(DisplaySurfaces *owner);
  // Formats as the C library's printf does; text longer than the 4,999
  // characters the buffer holds is cut.
  void printf(int32_t x, int32_t y, const char *format, ...) __attribute__((format(printf, 4, 5)));
  void printText(const char *text, int32_t x, int32_t y);
};

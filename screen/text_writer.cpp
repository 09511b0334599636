// Text output: formats into a buffer on the stack and prints it with
// TextOutA in the writer's font and colours. The device context's background
// mode stays opaque, so each line lies on a box of the background colour.
#include "screen/text_writer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "graphics/display_surfaces.h"

namespace {

constexpr int kCellHeight = 13;
constexpr size_t kFormatBufferSize = 5000;

HFONT createArial(bool underlined) {
  return CreateFontA(kCellHeight, 0, 0, 0, FW_NORMAL, FALSE, underlined ? TRUE : FALSE, FALSE, ANSI_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, VARIABLE_PITCH | FF_DONTCARE,
                     "Arial");
}

}  // namespace

void TextWriter::init(DisplaySurfaces *owner) {
  this->owner = owner;
  font = createArial(false);
  underlinedFont = createArial(true);
  backColor = RGB(1, 0, 0);  // near-black, apart from the cleared back buffer's 0
  textColor = RGB(255, 0, 0);
}

void TextWriter::printf(int32_t x, int32_t y, const char *format, ...) {
  if (!format) return;
  char buffer[kFormatBufferSize];
  va_list arguments;
  va_start(arguments, format);
  // Longer text is cut to what the buffer holds, its terminating zero included.
  int length = std::vsnprintf(buffer, sizeof(buffer), format, arguments);
  va_end(arguments);
  if (length < 0) buffer[0] = '\0';
  printText(buffer, x, y);
}

void TextWriter::printText(const char *text, int32_t x, int32_t y) {
  if (!owner || !owner->backBuffer || !text) return;
  HDC dc = nullptr;
  if (owner->backBuffer->GetDC(&dc) != DD_OK || !dc) return;  // nothing to draw on
  SetTextColor(dc, textColor);
  SetBkColor(dc, backColor);
  if (font) SelectObject(dc, font);
  TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
  owner->backBuffer->ReleaseDC(dc);
}

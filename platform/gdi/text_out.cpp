// GDI's font and text entry points: CreateFontA, the DC's text colours and
// background mode, TextOutA and the text measures.
#include <windows.h>

#include <cstring>
#include <memory>

#include "core/trace.h"
#include "gdi/font_face.h"
#include "gdi/gdi_objects.h"

using namespace layer;
using namespace layer::gdi;

namespace {

// The text as the call record shows it: quoted, cut short when very long.
std::string quoted(const char *text, int length) {
  if (!text) return "(null)";
  constexpr int kShown = 1024;
  std::string s(1, '"');
  if (length > 0) s.append(text, static_cast<size_t>(std::min(length, kShown)));
  s.push_back('"');
  if (length > kShown) s.append("...");
  return s;
}

std::string dcLabel(HDC dc) {
  if (!dc) return "null";
  DeviceContext *record = toDC(dc);
  return record ? record->label : format("%p", static_cast<void *>(dc));
}

// Records a call on a DC; null (with the last error set) when an injected
// fault fails it or the handle is not a live DC.
template <class Rest = const char *>
DeviceContext *enterCall(const char *name, HDC dc, Rest &&rest = "") {
  if (auto fault = traceCall(name, [&] {
        std::string text = argumentText(rest);
        return text.empty() ? dcLabel(dc) : dcLabel(dc) + ", " + text;
      })) {
    SetLastError(static_cast<DWORD>(*fault));
    return nullptr;
  }
  DeviceContext *record = toDC(dc);
  if (!record) SetLastError(ERROR_INVALID_HANDLE);
  return record;
}

COLORREF swapColor(const char *name, HDC dc, COLORREF color, COLORREF DeviceContext::*field) {
  DeviceContext *record = enterCall(name, dc, [&] { return format("%u", unsigned(color)); });
  if (!record) return CLR_INVALID;
  COLORREF previous = record->*field;
  record->*field = color;
  return previous;
}

}  // namespace

extern "C" {

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
  // The platform keeps at most LF_FACESIZE - 1 characters of the name.
  const std::string name = faceName ? std::string(faceName, strnlen(faceName, LF_FACESIZE - 1)) : std::string();
  if (auto fault = traceCall("CreateFontA", [&] {
        return format("%d, %d, %d, %d, %d, %u, %u, %u, %u, %u, %u, %u, %u, %s", height, width, escapement, orientation,
                      weight, unsigned(italic), unsigned(underline), unsigned(strikeOut), unsigned(charSet),
                      unsigned(outputPrecision), unsigned(clipPrecision), unsigned(quality), unsigned(pitchAndFamily),
                      faceName ? quoted(name.c_str(), static_cast<int>(name.size())).c_str() : "(null)");
      })) {
    SetLastError(static_cast<DWORD>(*fault));
    return nullptr;
  }
  if (height < -kMaxFontPixels || height > kMaxFontPixels || width < 0 || width > kMaxFontPixels || weight < 0 ||
      weight > 1000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  FontRequest request;
  request.height = height;
  request.width = width;
  request.weight = weight == FW_DONTCARE ? FW_NORMAL : weight;
  request.italic = italic != 0;
  request.pitchAndFamily = static_cast<int>(pitchAndFamily & 0xFF);
  request.faceName = name;
  std::shared_ptr<FontFace> face = openFace(request);
  if (!face) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  auto font = std::make_unique<Font>();
  font->height = height;
  font->weight = request.weight;
  font->italic = request.italic;
  font->underline = underline != 0;
  font->strikeOut = strikeOut != 0;
  font->faceName = name;
  font->face = std::move(face);
  return static_cast<HFONT>(addObject(std::move(font)));
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF color) {
  return swapColor("SetTextColor", dc, color, &DeviceContext::textColor);
}

COLORREF WINAPI SetBkColor(HDC dc, COLORREF color) {
  return swapColor("SetBkColor", dc, color, &DeviceContext::backColor);
}

int WINAPI SetBkMode(HDC dc, int mode) {
  DeviceContext *record = enterCall("SetBkMode", dc, [&] { return format("%d", mode); });
  if (!record) return 0;
  if (mode != TRANSPARENT && mode != OPAQUE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int previous = record->backMode;
  record->backMode = mode;
  return previous;
}

BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  DeviceContext *record = enterCall("TextOutA", dc, [&] { return format("%d, %d, ", x, y) + quoted(text, length); });
  if (!record) return FALSE;
  if (!text || length < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  drawText(*record, x, y, text, length);
  return TRUE;
}

BOOL WINAPI GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, LPSIZE size) {
  DeviceContext *record = enterCall("GetTextExtentPoint32A", dc, [&] { return quoted(text, length); });
  if (!record) return FALSE;
  if (!size || length < 0 || (!text && length > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int height = 0;
  size->cx = measureText(*record, text, length, &height);
  size->cy = height;
  return TRUE;
}

BOOL WINAPI GetTextMetricsA(HDC dc, LPTEXTMETRICA metrics) {
  DeviceContext *record = enterCall("GetTextMetricsA", dc);
  if (!record) return FALSE;
  if (!metrics) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const Font *font = record->font;
  *metrics = font && font->face ? font->face->metrics : builtinFace().metrics;
  if (font) {
    metrics->tmItalic = font->italic ? 1 : 0;
    metrics->tmUnderlined = font->underline ? 1 : 0;
    metrics->tmStruckOut = font->strikeOut ? 1 : 0;
  }
  return TRUE;
}

}  // extern "C"

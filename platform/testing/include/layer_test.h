// The layer's test API: kept apart from the platform's own names, for tests,
// tools and the headless scenario driver. It comes only with the layer's
// test build (corvane_layer_testing), whose entry points record every call
// and honour injected faults; the program people run has none of it.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/surface_image.h"

namespace layer {

// Returns the layer's whole process-wide state to how a fresh process finds
// it: surfaces, windows, the message queue, GDI objects, the socket library,
// the call record and armed faults.
void reset();

// ---- call record ----
struct Call {
  std::string name;       // "IDirectDrawSurface::Release"
  std::string arguments;  // "backbuffer"
  std::string text() const { return arguments.empty() ? name : name + "(" + arguments + ")"; }
};
const std::vector<Call> &calls();
void clearCalls();
// The calls whose names start with one of the prefixes, as text().
std::vector<std::string> callTexts(const std::vector<std::string> &prefixes = {});
size_t countCalls(const std::string &name);

// ---- fault injection ----
// After `skip` calls of `name` that succeed, the next `count` calls fail
// with `result` (for functions returning BOOL or handles: FALSE / null, with
// `result` as the last error).
void injectFault(const std::string &name, HRESULT result, int count = 1, int skip = 0);
void clearFaults();
// Faults can also be armed before static construction through the
// environment: CORVANE_FAULTS="name=0x80004005[*count][@skip];..."

// ---- diagnostics and boxes ----
const std::vector<std::string> &debugOutput();  // each OutputDebugStringA text
struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;  // "(null)" when the caption was null
  bool captionNull;
  UINT type;
};
const std::vector<MessageBoxRecord> &messageBoxes();

// ---- DirectDraw ----
SurfaceImage readSurface(IDirectDrawSurface *surface);
void writeSurface(IDirectDrawSurface *surface, const SurfaceImage &image);  // same size and depth
void loseSurface(IDirectDrawSurface *surface);
void loseAllSurfaces();
bool isSurfaceLocked(IDirectDrawSurface *surface);
bool isSurfaceBusy(IDirectDrawSurface *surface);  // locked or with a DC out
int liveSurfaceCount();
int liveDirectDrawCount();
// Extra bytes added to every new surface's pitch (after the round-up to 8).
void setExtraPitch(int bytes);
// 16-bit display modes in 5-5-5 instead of 5-6-5.
void setUse555(bool use555);
std::string surfaceLabel(IDirectDrawSurface *surface);

// ---- bitmap resources of the program's own module ----
void registerBitmapResource(const std::string &name, const std::vector<uint8_t> &bmpFile);
void clearBitmapResources();

// ---- Winsock ----
void refuseSocketStartup(int error, int count = 1);  // the next `count` WSAStartup calls fail
void grantSocketVersion(WORD version);                // 0 restores negotiation
int socketStartupCount();                             // the library's reference count

// ---- fonts ----
// With lookup off, CreateFontA finds no face (as on a system without fonts)
// and text falls back to the layer's built-in font. On after reset().
void setFontLookupEnabled(bool enabled);

// ---- the processor ----
// With features hidden, IsProcessorFeaturePresent answers FALSE for every
// feature and the layer's own vector loops stand aside too, so that tests
// run the portable loops on the same processor. reset() leaves it as it is.
void hideProcessorFeatures(bool hidden);
// With AVX-512 hidden, IsProcessorFeaturePresent answers FALSE for it alone
// and the layer's loops that need it give way to the AVX2 ones.
void hideAvx512(bool hidden);

// ---- USER ----
int cursorCounter();
int liveGdiObjectCount();

}  // namespace layer

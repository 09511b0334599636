// GDI's objects inside the layer: device contexts, bitmaps (DIB sections),
// fonts and stock brushes. Handles are pointers to these records; every
// entry point checks a handle against the live set before trusting it.
#pragma once

#include <windows.h>

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/pixels.h"

namespace layer::gdi {

enum class ObjectType { Bitmap = OBJ_BITMAP, Font = OBJ_FONT, Brush = OBJ_BRUSH };

struct Object {
  ObjectType type;
  bool stock = false;  // stock objects are never freed
  std::string label;   // "bitmap#3", "font#2", "BLACK_BRUSH": used in the call record
  explicit Object(ObjectType t) : type(t) {}
  virtual ~Object() = default;
};

// Memory for pixels: not cleared when allocated (whoever fills a bitmap
// writes every byte it uses), and for large pictures mapped where the system
// can back it with huge pages, so that loading a big bitmap costs little more
// than copying its bytes.
void *allocatePixelMemory(size_t bytes);
void freePixelMemory(void *memory, size_t bytes);

template <class T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <class U>
  PixelAllocator(const PixelAllocator<U> &) {}
  T *allocate(size_t n) {
    void *memory = allocatePixelMemory(n * sizeof(T));
    if (!memory) throw std::bad_alloc();
    return static_cast<T *>(memory);
  }
  void deallocate(T *memory, size_t n) { freePixelMemory(memory, n * sizeof(T)); }
  template <class U>
  void construct(U *p) noexcept {
    ::new (static_cast<void *>(p)) U;  // default initialisation: resize() leaves the bytes as they are
  }
  template <class U, class... Args>
  void construct(U *p, Args &&...args) {
    ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
  }
  template <class U>
  bool operator==(const PixelAllocator<U> &) const {
    return true;
  }
};

using PixelStorage = std::vector<uint8_t, PixelAllocator<uint8_t>>;

// A DIB section: pixels in the file's own layout (1, 4, 8 bits with a
// palette; 16, 24, 32 packed), top row first in `pixels` whatever the file's
// row order. Indexed bitmaps hold one index per byte (8-bit layout) with a
// 256-entry palette. `storage` keeps the platform's row order (bottom row
// first for bottom-up DIBs), so `pixels.pitch` is negative for those.
struct Bitmap : Object {
  Bitmap() : Object(ObjectType::Bitmap) {}
  PixelStorage storage;
  std::vector<uint32_t> palette;  // COLORREF entries for indexed layouts
  PixelBuffer pixels;             // views `storage`
  int selectedInto = 0;           // number of DCs holding it
  int reportedBitsPerPixel = 0;   // depth GetObjectA reports when it differs from the storage's (1 for monochrome)
};

struct FontFace;  // the rasteriser's font, defined by the text code

struct Font : Object {
  Font() : Object(ObjectType::Font) {}
  int height = 0;
  int weight = FW_NORMAL;
  bool italic = false, underline = false, strikeOut = false;
  std::string faceName;
  std::shared_ptr<FontFace> face;  // null: the layer's built-in font
};

struct Brush : Object {
  Brush() : Object(ObjectType::Brush) {}
  COLORREF color = 0;
  bool hollow = false;
};

enum class DcKind { Memory, Surface, Screen };

struct DeviceContext {
  DcKind kind = DcKind::Memory;
  std::string label;   // "dc#4", used in the call record
  PixelBuffer target;  // what drawing writes to: the surface, or the selected bitmap
  Bitmap *bitmap = nullptr;
  Font *font = nullptr;  // null: the default font
  Brush *brush = nullptr;
  COLORREF textColor = 0x000000;
  COLORREF backColor = 0xFFFFFF;
  int backMode = OPAQUE;
  int stretchMode = BLACKONWHITE;
  int screenBitsPerPixel = 0;  // for Screen DCs: the desktop's depth
};

// Live-handle checks; null when the handle is not a live object of that kind.
DeviceContext *toDC(HDC dc);
Object *toObject(HGDIOBJ object);
Bitmap *toBitmap(HGDIOBJ object);
Font *toFont(HGDIOBJ object);

// Registration of new objects and DCs (the handle is the record's address).
HGDIOBJ addObject(std::unique_ptr<Object> object);
HDC addDC(std::unique_ptr<DeviceContext> dc);
void removeDC(HDC dc);

// A DirectDraw surface's memory, zeroed (null when there is none to be had),
// which createSurfaceDC draws on in place, and the order GDI keeps a
// layout's pixels in: surfaces keep theirs that way. Here GDI works in the
// layer's own layouts.
uint8_t *allocateSurfaceMemory(size_t bytes);
void freeSurfaceMemory(uint8_t *memory);
PixelLayout gdiLayout(const PixelLayout &layout);

// Device contexts for the other parts of the layer: a DC onto a surface's
// pixels (DirectDraw's GetDC) and a DC onto the screen (USER's GetDC(NULL)).
HDC createSurfaceDC(const PixelBuffer &target, const std::string &surfaceLabel);
HDC createScreenDC(int bitsPerPixel);
HDC createScreenDC(int bitsPerPixel, int width, int height);  // with the screen's size for GetDeviceCaps
void destroyDC(HDC dc);                                       // for surface and screen DCs

// Makes a bitmap from decoded pixels (used by LoadImageA).
HBITMAP createBitmap(std::unique_ptr<Bitmap> bitmap);

// Text drawing, supplied by the text code: draws `text` with the DC's font
// and colours, (x, y) the top left corner of the cell; returns the advance.
int drawText(DeviceContext &dc, int x, int y, const char *text, int length);
int measureText(DeviceContext &dc, const char *text, int length, int *height);

int liveObjectCount();

// Fails a BOOL- or handle-returning call the way the platform does.
template <typename T>
T failWith(DWORD error, T result) {
  SetLastError(error);
  return result;
}

// The program's own bitmap resources, by name (LoadImageA without
// LR_LOADFROMFILE); a program on this layer has none until some are set.
void setBitmapResource(const std::string &name, const std::vector<uint8_t> &bmpFile);
void forgetBitmapResources();

// With lookup off, CreateFontA finds no face and text uses the built-in font.
void setFaceLookupEnabled(bool enabled);

// A colour as a raw pixel of a DC's target and back: 8-bit targets use the
// nearest entry of their palette (the layer's default palette when none).
uint32_t packForTarget(const PixelBuffer &target, COLORREF color);
COLORREF unpackFromTarget(const PixelBuffer &target, uint32_t pixel);

}  // namespace layer::gdi

// GDI's object tables and the entry points that make, select, inspect and
// free device contexts and objects. Handles are record addresses, checked
// against the live tables before use; stock objects live for the process.
#include "gdi/gdi_objects.h"

#include <sys/mman.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

#include "core/trace.h"

namespace layer::gdi {
namespace {

struct StockObjects {
  Brush brushes[6];  // WHITE_BRUSH .. NULL_BRUSH
  Font systemFont;
  Font guiFont;
  Bitmap monochrome;  // the 1x1 bitmap every new memory DC holds

  StockObjects() {
    static const COLORREF colors[6] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000, 0x000000};
    static const char *const names[6] = {"WHITE_BRUSH",  "LTGRAY_BRUSH", "GRAY_BRUSH",
                                         "DKGRAY_BRUSH", "BLACK_BRUSH",  "NULL_BRUSH"};
    for (int i = 0; i < 6; ++i) {
      brushes[i].stock = true;
      brushes[i].label = names[i];
      brushes[i].color = colors[i];
    }
    brushes[NULL_BRUSH].hollow = true;
    systemFont.stock = guiFont.stock = true;
    systemFont.label = "SYSTEM_FONT";
    systemFont.faceName = "System";
    systemFont.height = 16;
    guiFont.label = "DEFAULT_GUI_FONT";
    guiFont.faceName = "MS Shell Dlg";
    guiFont.height = 11;
    monochrome.stock = true;
    monochrome.label = "DEFAULT_BITMAP";
    monochrome.storage.assign(4, 0);
    monochrome.palette.assign(256, 0x000000);
    monochrome.palette[1] = 0xFFFFFF;
    monochrome.reportedBitsPerPixel = 1;
    PixelBuffer &b = monochrome.pixels;
    b.bits = monochrome.storage.data();
    b.width = b.height = 1;
    b.pitch = 4;
    b.layout = layout8();
    b.palette = monochrome.palette.data();
  }
};

StockObjects &stock() {
  static StockObjects *s = new StockObjects;  // never destroyed: DCs may be freed during static destruction
  return *s;
}

struct GdiState {
  std::unordered_map<const void *, std::unique_ptr<Object>> objects;  // not the stock ones
  std::unordered_map<const void *, std::unique_ptr<DeviceContext>> dcs;
  int nextDc = 1, nextBitmap = 1, nextFont = 1, nextBrush = 1;
};

void resetGdi();

GdiState &state() { return lazyState<GdiState>(resetGdi); }

void resetGdi() {
  GdiState &s = state();
  s.dcs.clear();
  s.objects.clear();
  s.nextDc = s.nextBitmap = s.nextFont = s.nextBrush = 1;
}

Object *stockObject(const void *handle) {
  StockObjects &k = stock();
  for (Brush &b : k.brushes)
    if (handle == &b) return &b;
  if (handle == &k.systemFont) return &k.systemFont;
  if (handle == &k.guiFont) return &k.guiFont;
  if (handle == &k.monochrome) return &k.monochrome;
  return nullptr;
}

std::string labelOf(HDC dc) {
  if (!dc) return "null";
  if (DeviceContext *d = toDC(dc)) return d->label;
  return format("%p", static_cast<void *>(dc));
}

std::string labelOf(HGDIOBJ object) {
  if (!object) return "null";
  if (Object *o = toObject(object)) return o->label;
  return format("%p", object);
}

HGDIOBJ handleOf(Object *object) { return static_cast<HGDIOBJ>(object); }

bool selectedAnywhere(const Object *object) {
  for (auto &[handle, dc] : state().dcs)
    if (dc->font == object || dc->brush == object || dc->bitmap == object) return true;
  return false;
}

// The stride of a DIB row: rows are DWORD-aligned.
int64_t dibStride(int64_t width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

}  // namespace

// Pictures from this size on get a mapping of their own, aligned and advised
// for huge pages; smaller ones come from the heap.
constexpr size_t kMappedPixels = size_t(4) << 20;
constexpr size_t kHugePage = size_t(2) << 20;

void *allocatePixelMemory(size_t bytes) {
  if (bytes < kMappedPixels) return std::malloc(bytes ? bytes : 1);
  size_t length = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  void *map = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) return nullptr;
  // Keep the aligned part and give back the rest.
  uintptr_t start = reinterpret_cast<uintptr_t>(map);
  uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t(kHugePage) - 1);
  if (aligned > start) munmap(map, aligned - start);
  size_t tail = (start + length + kHugePage) - (aligned + length);
  if (tail) munmap(reinterpret_cast<void *>(aligned + length), tail);
  madvise(reinterpret_cast<void *>(aligned), length, MADV_HUGEPAGE);
  return reinterpret_cast<void *>(aligned);
}

void freePixelMemory(void *memory, size_t bytes) {
  if (!memory) return;
  if (bytes < kMappedPixels) {
    std::free(memory);
    return;
  }
  munmap(memory, (bytes + kHugePage - 1) & ~(kHugePage - 1));
}

DeviceContext *toDC(HDC dc) {
  if (!dc) return nullptr;
  auto &dcs = state().dcs;
  auto it = dcs.find(dc);
  return it == dcs.end() ? nullptr : it->second.get();
}

Object *toObject(HGDIOBJ object) {
  if (!object) return nullptr;
  if (Object *s = stockObject(object)) return s;
  auto &objects = state().objects;
  auto it = objects.find(object);
  return it == objects.end() ? nullptr : it->second.get();
}

Bitmap *toBitmap(HGDIOBJ object) {
  Object *o = toObject(object);
  return o && o->type == ObjectType::Bitmap ? static_cast<Bitmap *>(o) : nullptr;
}

Font *toFont(HGDIOBJ object) {
  Object *o = toObject(object);
  return o && o->type == ObjectType::Font ? static_cast<Font *>(o) : nullptr;
}

HGDIOBJ addObject(std::unique_ptr<Object> object) {
  if (!object) return nullptr;
  GdiState &s = state();
  if (object->label.empty()) {
    switch (object->type) {
      case ObjectType::Bitmap:
        object->label = format("bitmap#%d", s.nextBitmap++);
        break;
      case ObjectType::Font:
        object->label = format("font#%d", s.nextFont++);
        break;
      case ObjectType::Brush:
        object->label = format("brush#%d", s.nextBrush++);
        break;
    }
  }
  Object *raw = object.get();
  s.objects.emplace(raw, std::move(object));
  return handleOf(raw);
}

HDC addDC(std::unique_ptr<DeviceContext> dc) {
  if (!dc) return nullptr;
  GdiState &s = state();
  if (dc->label.empty()) dc->label = format("dc#%d", s.nextDc++);
  DeviceContext *raw = dc.get();
  s.dcs.emplace(raw, std::move(dc));
  return reinterpret_cast<HDC>(raw);
}

void removeDC(HDC dc) {
  DeviceContext *d = toDC(dc);
  if (!d) return;
  if (d->bitmap && !d->bitmap->stock) --d->bitmap->selectedInto;
  state().dcs.erase(dc);
}

// Surface memory starts on a 64-byte line, so that rows whose pitch is a
// multiple of 64 load and store as whole lines in the vector loops.
uint8_t *allocateSurfaceMemory(size_t bytes) {
  if (bytes > SIZE_MAX - 63) return nullptr;
  const size_t rounded = (bytes + 63) & ~size_t{63};
  void *memory = std::aligned_alloc(64, rounded);
  if (memory) std::memset(memory, 0, rounded);
  return static_cast<uint8_t *>(memory);
}

void freeSurfaceMemory(uint8_t *memory) { std::free(memory); }

PixelLayout gdiLayout(const PixelLayout &layout) { return layout; }

HDC createSurfaceDC(const PixelBuffer &target, const std::string &surfaceLabel) {
  (void)surfaceLabel;  // the DC is known by its own label; DirectDraw records the surface
  auto dc = std::make_unique<DeviceContext>();
  dc->kind = DcKind::Surface;
  dc->target = target;
  return addDC(std::move(dc));
}

HDC createScreenDC(int bitsPerPixel) { return createScreenDC(bitsPerPixel, 640, 480); }

HDC createScreenDC(int bitsPerPixel, int width, int height) {
  auto dc = std::make_unique<DeviceContext>();
  dc->kind = DcKind::Screen;
  dc->screenBitsPerPixel = bitsPerPixel;
  dc->target.width = width;  // no pixels: nothing draws onto the screen itself
  dc->target.height = height;
  return addDC(std::move(dc));
}

bool isScreenDC(HDC dc) {
  const DeviceContext *record = toDC(dc);
  return record && record->kind == DcKind::Screen;
}

const std::string *liveDcLabel(HDC dc) {
  const DeviceContext *record = toDC(dc);
  return record ? &record->label : nullptr;
}

void destroyDC(HDC dc) {
  DeviceContext *d = toDC(dc);
  if (d && d->kind != DcKind::Memory) removeDC(dc);
}

HBITMAP createBitmap(std::unique_ptr<Bitmap> bitmap) {
  return static_cast<HBITMAP>(addObject(std::unique_ptr<Object>(bitmap.release())));
}

int liveObjectCount() { return static_cast<int>(state().objects.size() + state().dcs.size()); }

uint32_t packForTarget(const PixelBuffer &target, COLORREF color) {
  if (target.layout.bitsPerPixel == 8)
    return nearestPaletteIndex(target.palette ? target.palette : defaultPalette(), color & 0xFFFFFF);
  return packColor(target.layout, color);
}

COLORREF unpackFromTarget(const PixelBuffer &target, uint32_t pixel) {
  return unpackColor(target.layout, pixel, target.palette);
}

}  // namespace layer::gdi

using namespace layer;
using namespace layer::gdi;

extern "C" {

HDC WINAPI CreateCompatibleDC(HDC dc) {
  if (auto fault = traceCall("CreateCompatibleDC", [&] { return labelOf(dc); }))
    return failWith(DWORD(*fault), HDC(nullptr));
  if (dc && !toDC(dc)) return failWith(ERROR_INVALID_HANDLE, HDC(nullptr));
  auto memory = std::make_unique<DeviceContext>();
  memory->kind = DcKind::Memory;
  memory->bitmap = &stock().monochrome;
  memory->target = memory->bitmap->pixels;
  return addDC(std::move(memory));
}

BOOL WINAPI DeleteDC(HDC dc) {
  if (auto fault = traceCall("DeleteDC", [&] { return labelOf(dc); })) return failWith(DWORD(*fault), FALSE);
  DeviceContext *d = toDC(dc);
  // DCs of surfaces and of the screen go back through their own ReleaseDC.
  if (!d || d->kind != DcKind::Memory) return failWith(ERROR_INVALID_HANDLE, FALSE);
  removeDC(dc);
  return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
  if (auto fault = traceCall("SelectObject", [&] { return labelOf(dc) + ", " + labelOf(object); }))
    return failWith(DWORD(*fault), HGDIOBJ(nullptr));
  DeviceContext *d = toDC(dc);
  Object *o = toObject(object);
  if (!d || !o) return failWith(ERROR_INVALID_HANDLE, HGDIOBJ(nullptr));
  StockObjects &k = stock();
  switch (o->type) {
    case ObjectType::Bitmap: {
      auto *bitmap = static_cast<Bitmap *>(o);
      if (d->kind != DcKind::Memory) return failWith(ERROR_INVALID_PARAMETER, HGDIOBJ(nullptr));
      if (bitmap == d->bitmap) return object;
      // A bitmap can be selected into one memory DC at a time.
      if (!bitmap->stock && bitmap->selectedInto > 0) return failWith(ERROR_INVALID_PARAMETER, HGDIOBJ(nullptr));
      Bitmap *previous = d->bitmap ? d->bitmap : &k.monochrome;
      if (!previous->stock) --previous->selectedInto;
      if (!bitmap->stock) ++bitmap->selectedInto;
      d->bitmap = bitmap;
      d->target = bitmap->pixels;
      return handleOf(previous);
    }
    case ObjectType::Font: {
      Object *previous = d->font ? static_cast<Object *>(d->font) : &k.systemFont;
      d->font = o == &k.systemFont ? nullptr : static_cast<Font *>(o);
      return handleOf(previous);
    }
    case ObjectType::Brush: {
      Object *previous = d->brush ? static_cast<Object *>(d->brush) : &k.brushes[WHITE_BRUSH];
      d->brush = static_cast<Brush *>(o);
      return handleOf(previous);
    }
  }
  return failWith(ERROR_INVALID_HANDLE, HGDIOBJ(nullptr));
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  if (auto fault = traceCall("DeleteObject", [&] { return labelOf(object); })) return failWith(DWORD(*fault), FALSE);
  Object *o = toObject(object);
  if (!o) return failWith(ERROR_INVALID_HANDLE, FALSE);
  if (o->stock) return TRUE;  // stock objects ignore deletion
  // An object still selected into a DC stays.
  if (selectedAnywhere(o)) return failWith(ERROR_INVALID_PARAMETER, FALSE);
  state().objects.erase(object);
  return TRUE;
}

int WINAPI GetObjectA(HANDLE object, int size, LPVOID buffer) {
  if (auto fault = traceCall("GetObjectA", [&] { return format("%s, %d", labelOf(object).c_str(), size); }))
    return failWith(DWORD(*fault), 0);
  Bitmap *bitmap = toBitmap(object);
  if (!bitmap) return failWith(toObject(object) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE, 0);
  if (!buffer) return static_cast<int>(sizeof(BITMAP));
  if (size < static_cast<int>(sizeof(BITMAP))) return failWith(ERROR_INVALID_PARAMETER, 0);
  BITMAP record{};
  const PixelBuffer &p = bitmap->pixels;
  record.bmType = 0;
  record.bmWidth = p.width;
  record.bmHeight = p.height;
  record.bmPlanes = 1;
  if (bitmap->stock) {
    // The default monochrome bitmap is a device bitmap: word-aligned rows, no bits pointer.
    record.bmBitsPixel = 1;
    record.bmWidthBytes = 2;
    record.bmBits = nullptr;
  } else {
    record.bmBitsPixel =
        static_cast<WORD>(bitmap->reportedBitsPerPixel ? bitmap->reportedBitsPerPixel : p.layout.bitsPerPixel);
    record.bmWidthBytes = p.pitch < 0 ? -p.pitch : p.pitch;
    record.bmBits = bitmap->storage.data();
  }
  std::memcpy(buffer, &record, sizeof record);
  return static_cast<int>(sizeof(BITMAP));
}

HGDIOBJ WINAPI GetStockObject(int index) {
  if (auto fault = traceCall("GetStockObject", [&] { return format("%d", index); }))
    return failWith(DWORD(*fault), HGDIOBJ(nullptr));
  StockObjects &k = stock();
  if (index >= WHITE_BRUSH && index <= NULL_BRUSH) return handleOf(&k.brushes[index]);
  if (index == SYSTEM_FONT) return handleOf(&k.systemFont);
  if (index == DEFAULT_GUI_FONT) return handleOf(&k.guiFont);
  return failWith(ERROR_INVALID_PARAMETER, HGDIOBJ(nullptr));
}

int WINAPI GetDeviceCaps(HDC dc, int index) {
  if (auto fault = traceCall("GetDeviceCaps", [&] { return format("%s, %d", labelOf(dc).c_str(), index); }))
    return failWith(DWORD(*fault), 0);
  DeviceContext *d = toDC(dc);
  if (!d) return failWith(ERROR_INVALID_HANDLE, 0);
  switch (index) {
    case BITSPIXEL:
      if (d->kind == DcKind::Screen) return d->screenBitsPerPixel;
      if (d->kind == DcKind::Memory && d->bitmap && d->bitmap->reportedBitsPerPixel)
        return d->bitmap->reportedBitsPerPixel;
      return d->target.layout.bitsPerPixel;
    case HORZRES:
      return d->target.width;
    case VERTRES:
      return d->target.height;
    case PLANES:
      return 1;
    case VREFRESH:
      return d->kind == DcKind::Memory ? 0 : 60;
  }
  return 0;
}

int WINAPI SetStretchBltMode(HDC dc, int mode) {
  if (auto fault = traceCall("SetStretchBltMode", [&] { return format("%s, %d", labelOf(dc).c_str(), mode); }))
    return failWith(DWORD(*fault), 0);
  DeviceContext *d = toDC(dc);
  if (!d) return failWith(ERROR_INVALID_HANDLE, 0);
  if (mode < BLACKONWHITE || mode > HALFTONE) return failWith(ERROR_INVALID_PARAMETER, 0);
  int previous = d->stretchMode;
  d->stretchMode = mode;
  return previous;
}

HBITMAP WINAPI CreateDIBSection(HDC dc, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section, DWORD offset) {
  auto arguments = [&] {
    std::string text = labelOf(dc);
    if (info)
      text += format(", %dx%d, %d bpp, compression %u", int(info->bmiHeader.biWidth), int(info->bmiHeader.biHeight),
                     int(info->bmiHeader.biBitCount), unsigned(info->bmiHeader.biCompression));
    else
      text += ", null";
    return text + format(", %u", unsigned(usage));
  };
  if (bits) *bits = nullptr;
  if (auto fault = traceCall("CreateDIBSection", arguments)) return failWith(DWORD(*fault), HBITMAP(nullptr));
  (void)offset;
  if (!info || section) return failWith(ERROR_INVALID_PARAMETER, HBITMAP(nullptr));
  if (dc && !toDC(dc)) return failWith(ERROR_INVALID_HANDLE, HBITMAP(nullptr));
  const BITMAPINFOHEADER &h = info->bmiHeader;
  int64_t width = h.biWidth, height = h.biHeight;
  bool topDown = height < 0;
  if (topDown) height = -height;
  int bpp = h.biBitCount;
  bool sizeOk = h.biSize >= sizeof(BITMAPINFOHEADER) && h.biPlanes == 1 && width > 0 && height > 0 && width <= 32768 &&
                height <= 32768;
  bool formatOk = (h.biCompression == BI_RGB && (bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32)) ||
                  (h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32));
  if (!sizeOk || !formatOk || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS))
    return failWith(ERROR_INVALID_PARAMETER, HBITMAP(nullptr));
  int64_t stride = dibStride(width, bpp);
  if (stride * height > (int64_t(256) << 20)) return failWith(ERROR_NOT_ENOUGH_MEMORY, HBITMAP(nullptr));

  // Colour table or masks follow the header.
  const uint8_t *after = reinterpret_cast<const uint8_t *>(info) + h.biSize;
  PixelLayout layout;
  switch (bpp) {
    case 8:
      layout = layout8();
      break;
    case 16:
      layout = layout555();
      break;
    default:
      layout = PixelLayout{bpp, 0xFF0000, 0x00FF00, 0x0000FF};
      break;
  }
  if (h.biCompression == BI_BITFIELDS) {
    const uint8_t *masks = h.biSize >= 52 ? reinterpret_cast<const uint8_t *>(info) + 40 : after;
    DWORD m[3];
    std::memcpy(m, masks, sizeof m);
    layout.redMask = m[0], layout.greenMask = m[1], layout.blueMask = m[2];
    if ((layout.redMask | layout.greenMask | layout.blueMask) == 0)
      return failWith(ERROR_INVALID_PARAMETER, HBITMAP(nullptr));
  }

  std::unique_ptr<Bitmap> bitmap;
  try {
    bitmap = std::make_unique<Bitmap>();
    bitmap->storage.assign(static_cast<size_t>(stride * height), 0);
    if (bpp == 8) bitmap->palette.assign(256, 0x000000);
  } catch (const std::bad_alloc &) {
    return failWith(ERROR_NOT_ENOUGH_MEMORY, HBITMAP(nullptr));
  }
  if (bpp == 8) {
    DWORD count = h.biClrUsed && h.biClrUsed < 256 ? h.biClrUsed : 256;
    for (DWORD i = 0; i < count; ++i) {
      if (usage == DIB_PAL_COLORS) {
        WORD index;
        std::memcpy(&index, after + i * sizeof(WORD), sizeof index);
        bitmap->palette[i] = defaultPalette()[index & 0xFF];
      } else {
        RGBQUAD q;
        std::memcpy(&q, after + i * sizeof(RGBQUAD), sizeof q);
        bitmap->palette[i] = RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
      }
    }
  }
  PixelBuffer &p = bitmap->pixels;
  p.width = static_cast<int>(width);
  p.height = static_cast<int>(height);
  p.layout = layout;
  p.palette = bpp == 8 ? bitmap->palette.data() : nullptr;
  p.pitch = topDown ? static_cast<int>(stride) : -static_cast<int>(stride);
  p.bits = bitmap->storage.data() + (topDown ? 0 : (height - 1) * stride);
  if (bits) *bits = bitmap->storage.data();
  return createBitmap(std::move(bitmap));
}

}  // extern "C"

// GDI on Windows for DirectDraw's surfaces: their memory is a section that a
// DIB section maps again, so that GetDC gives a Windows DC drawing on the
// surface's own pixels, with no copy. Windows keeps 24-bit pixels blue first,
// and so do the surfaces; Lock shows them red first.
#include <windows.h>

#include <unordered_map>

#include "dib_info.h"
#include "gdi/gdi_internal.h"

namespace layer::gdi {
namespace {

std::unordered_map<uint8_t *, HANDLE> &sections() {
  static auto *map = new std::unordered_map<uint8_t *, HANDLE>;
  return *map;
}

struct SurfaceDC {
  HBITMAP bitmap;
  HGDIOBJ previous;
};

std::unordered_map<HDC, SurfaceDC> &surfaceDCs() {
  static auto *map = new std::unordered_map<HDC, SurfaceDC>;
  return *map;
}

}  // namespace

uint8_t *allocateSurfaceMemory(size_t bytes) {
  const auto size = static_cast<unsigned long long>(bytes);
  // Memory backed by the paging file starts zeroed.
  HANDLE section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(size >> 32),
                                      static_cast<DWORD>(size), nullptr);
  if (!section) return nullptr;
  auto *view = static_cast<uint8_t *>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, bytes));
  if (!view) {
    CloseHandle(section);
    return nullptr;
  }
  sections()[view] = section;
  return view;
}

void freeSurfaceMemory(uint8_t *memory) {
  auto found = sections().find(memory);
  if (found == sections().end()) return;
  UnmapViewOfFile(memory);
  CloseHandle(found->second);
  sections().erase(found);
}

PixelLayout gdiLayout(const PixelLayout &layout) {
  if (layout == layout24()) return PixelLayout{24, 0xFF0000, 0x00FF00, 0x0000FF};
  return layout;
}

HDC createSurfaceDC(const PixelBuffer &target, const std::string &) {
  auto found = sections().find(target.bits);
  win32::DibInfo info;
  if (found == sections().end() || !win32::describeDib(target, &info)) return nullptr;
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, win32::asBitmapInfo(info), DIB_RGB_COLORS, &bits, found->second, 0);
  if (!bitmap) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) {
    DeleteObject(bitmap);
    return nullptr;
  }
  HGDIOBJ previous = SelectObject(dc, bitmap);
  IntersectClipRect(dc, 0, 0, target.width, target.height);
  surfaceDCs()[dc] = SurfaceDC{bitmap, previous};
  return dc;
}

void destroyDC(HDC dc) {
  auto found = surfaceDCs().find(dc);
  if (found == surfaceDCs().end()) return;
  GdiFlush();  // what GDI still holds back lands in the pixels now
  SelectObject(dc, found->second.previous);
  DeleteObject(found->second.bitmap);
  DeleteDC(dc);
  surfaceDCs().erase(found);
}

// The call record names DCs; Windows' own DCs have no label here.
const std::string *liveDcLabel(HDC) { return nullptr; }

}  // namespace layer::gdi

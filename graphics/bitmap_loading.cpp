// Loading a Graphic from its bitmap file and restoring it from there.
#include "graphics/bitmap_loading.h"

#include <cstring>

#include "graphics/graphic.h"

int32_t lastBitmapWidth = 0;
int32_t lastBitmapHeight = 0;

namespace {

const UINT kFromFile = LR_LOADFROMFILE | LR_CREATEDIBSECTION;
const UINT kFromResource = LR_CREATEDIBSECTION;

// Width and height of a GDI bitmap; zeros when it cannot be asked.
BITMAP bitmapInfo(HBITMAP bitmap) {
  BITMAP info;
  std::memset(&info, 0, sizeof(info));
  GetObjectA(bitmap, sizeof(info), &info);
  return info;
}

}  // namespace

bool Graphic::load(const char *name, DisplaySurfaces *newOwner) {
  owner = newOwner;
  return load(name);
}

bool Graphic::load(const char *name) {
  // A name that does not fit is refused rather than cut: a cut name would
  // open some other file.
  if (name == nullptr || std::strlen(name) >= sizeof(fileName)) return false;
  std::memmove(fileName, name, std::strlen(name) + 1);  // name may be fileName itself
  if (owner == nullptr) return false;

  IDirectDrawSurface *replaced = surface;
  surface = loadBitmapSurface(owner->directDraw, fileName);
  if (replaced != nullptr) replaced->Release();
  if (surface == nullptr) return false;
  width = lastBitmapWidth;
  height = lastBitmapHeight;
  return true;
}

HRESULT Graphic::restore() { return reloadBitmap(surface, fileName); }

IDirectDrawSurface *loadBitmapSurface(IDirectDraw *directDraw, const char *fileName) {
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, fileName, IMAGE_BITMAP, 0, 0, kFromFile));
  if (bitmap == nullptr) return nullptr;
  BITMAP info = bitmapInfo(bitmap);
  lastBitmapWidth = info.bmWidth;
  lastBitmapHeight = info.bmHeight;
  IDirectDrawSurface *surface = createOffscreenSurface(directDraw, info.bmWidth, info.bmHeight);
  // A surface whose copy failed is still the picture's surface.
  if (surface != nullptr) copyBitmapToSurface(surface, bitmap, info.bmWidth, info.bmHeight);
  DeleteObject(bitmap);
  return surface;
}

IDirectDrawSurface *createOffscreenSurface(IDirectDraw *directDraw, int32_t width, int32_t height) {
  if (directDraw == nullptr) return nullptr;
  DDSURFACEDESC description;
  std::memset(&description, 0, sizeof(description));
  description.dwSize = sizeof(description);
  description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  description.dwHeight = static_cast<DWORD>(height);
  description.dwWidth = static_cast<DWORD>(width);
  description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface *surface = nullptr;
  if (directDraw->CreateSurface(&description, &surface, nullptr) != DD_OK) return nullptr;
  return surface;
}

HRESULT copyBitmapToSurface(IDirectDrawSurface *surface, HBITMAP bitmap, int32_t width, int32_t height) {
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  HDC target = nullptr;
  HRESULT result = surface->GetDC(&target);
  if (result == DD_OK) {
    BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    surface->ReleaseDC(target);
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  return result;
}

HRESULT reloadBitmap(IDirectDrawSurface *surface, const char *name) {
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, kFromResource));
  if (bitmap == nullptr) bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, name, IMAGE_BITMAP, 0, 0, kFromFile));
  if (bitmap == nullptr) {
    OutputDebugStringA("handle is null\n");
    return E_FAIL;
  }
  HRESULT result = copyBitmap(surface, bitmap, 0, 0, 0, 0);
  if (result != DD_OK) OutputDebugStringA("ddcopybitmap failed\n");
  DeleteObject(bitmap);
  return result;
}

HRESULT copyBitmap(IDirectDrawSurface *surface, HBITMAP bitmap, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (bitmap == nullptr || surface == nullptr) return E_FAIL;
  // A lost surface gets its memory back before the picture goes into it.
  surface->Restore();
  HDC memory = CreateCompatibleDC(nullptr);
  if (memory == nullptr) OutputDebugStringA("createcompatible dc failed\n");
  SelectObject(memory, bitmap);
  BITMAP info = bitmapInfo(bitmap);
  if (width == 0) width = info.bmWidth;
  if (height == 0) height = info.bmHeight;

  DDSURFACEDESC description;
  std::memset(&description, 0, sizeof(description));
  description.dwSize = sizeof(description);
  description.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
  surface->GetSurfaceDesc(&description);

  HDC target = nullptr;
  HRESULT result = surface->GetDC(&target);
  if (result == DD_OK) {
    StretchBlt(target, 0, 0, static_cast<int>(description.dwWidth), static_cast<int>(description.dwHeight), memory, x,
               y, width, height, SRCCOPY);
    surface->ReleaseDC(target);
  }
  DeleteDC(memory);
  return result;
}

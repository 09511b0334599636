// DirectDraw surfaces: pixel memory with locks, device contexts, colour keys,
// blits, flips, and contents that can be lost and restored.
//
// Choices where the platform leaves room: Lock and GetDC never wait (one
// thread: a busy surface could never become free), so both answer
// DDERR_SURFACEBUSY with or without DDLOCK_WAIT. A Blt whose source and
// destination are the same surface with overlapping rectangles copies the
// source first, so it is correct. DDBLT_KEYSRC without a key on the source
// copies every pixel. Lock's description gives the surface's own width and
// height, also when a rectangle is locked.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/trace.h"
#include "ddraw/blit.h"
#include "ddraw/ddraw_objects.h"
#include "ddraw/layout_convert.h"
#include "gdi/gdi_internal.h"
#include "host/host.h"

namespace layer::ddraw {
namespace {

// A rectangle of the platform, or the whole surface when null, checked to be
// non-empty and inside the surface.
bool surfaceRect(const RECT *rect, const PixelBuffer &pixels, PixelRect *out) {
  if (!rect) {
    *out = PixelRect{0, 0, pixels.width, pixels.height};
    return true;
  }
  if (rect->left < 0 || rect->top < 0 || rect->right > pixels.width || rect->bottom > pixels.height) return false;
  if (rect->right <= rect->left || rect->bottom <= rect->top) return false;
  *out = PixelRect{rect->left, rect->top, rect->right, rect->bottom};
  return true;
}

std::string surfaceText(IDirectDrawSurface *surface) {
  if (!surface) return "null";
  Surface *s = toSurface(surface);
  return s ? s->label : "unknown";
}

// The checks of a copy from `source` onto `dest` that come before the
// rectangles: a known source, neither surface lost nor busy.
HRESULT checkCopy(const Surface &dest, IDirectDrawSurface *source, Surface **from) {
  if (!source) return DDERR_INVALIDPARAMS;
  *from = toSurface(source);
  if (!*from) return DDERR_INVALIDOBJECT;
  if (dest.lost || (*from)->lost) return DDERR_SURFACELOST;
  if (dest.busy() || (*from)->busy()) return DDERR_SURFACEBUSY;
  return DD_OK;
}

// Copies (stretching) `sourceRect` of `source` onto `destRect` of `dest`
// once both surfaces have passed their checks.
HRESULT copyPixels(Surface &dest, const PixelRect &destRect, Surface &source, const PixelRect &sourceRect,
                   const uint32_t *key) {
  if (&dest != &source || !destRect.overlaps(sourceRect)) {
    stretchPixels(dest.pixels, destRect, source.pixels, sourceRect, key);
    return DD_OK;
  }
  // The same pixels on both sides: copy the source out first.
  const int bpp = source.pixels.layout.bytesPerPixel();
  const size_t rowBytes = static_cast<size_t>(sourceRect.width()) * bpp;
  std::vector<uint8_t> copy;
  try {
    copy.resize(rowBytes * sourceRect.height());
  } catch (const std::bad_alloc &) {
    return DDERR_OUTOFMEMORY;
  }
  for (int y = 0; y < sourceRect.height(); ++y)
    std::memcpy(copy.data() + rowBytes * y, source.pixels.row(sourceRect.top + y) + sourceRect.left * bpp, rowBytes);
  PixelBuffer temporary = source.pixels;
  temporary.bits = copy.data();
  temporary.width = sourceRect.width();
  temporary.height = sourceRect.height();
  temporary.pitch = static_cast<int>(rowBytes);
  stretchPixels(dest.pixels, destRect, temporary, PixelRect{0, 0, temporary.width, temporary.height}, key);
  return DD_OK;
}

}  // namespace

void FreeBytes::operator()(uint8_t *p) const { gdi::freeSurfaceMemory(p); }

Surface::Surface(SurfaceKind kind_, std::string label_, DirectDrawObject *owner_, DWORD caps_, SurfaceMemory memory_,
                 int width, int height, int pitch, const PixelLayout &layout)
    : ComObject(std::move(label_)),
      kind(kind_),
      owner(owner_),
      caps(caps_),
      memory(std::move(memory_)),
      memoryBytes(static_cast<size_t>(pitch) * height),
      modeSerial(displayModeSerial()) {
  pixels.bits = memory.get();
  pixels.width = width;
  pixels.height = height;
  pixels.pitch = pitch;
  pixels.layout = gdi::gdiLayout(layout);
  shown = layout;
  if (layout.bitsPerPixel == 8) pixels.palette = defaultPalette();
  state().surfaces.push_back(this);
  if (owner) owner->surfaces.push_back(this);
}

Surface::~Surface() {
  if (dc) gdi::destroyDC(dc);  // a DC must not outlive the pixels it draws on
  auto &all = state().surfaces;
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  if (owner)
    owner->surfaces.erase(std::remove(owner->surfaces.begin(), owner->surfaces.end(), this), owner->surfaces.end());
}

void Surface::orphan() {
  lost = true;
  restorable = false;
}

void Surface::destroy() {
  if (kind == SurfaceKind::Primary && chainPartner) {
    Surface *back = chainPartner;
    chainPartner = nullptr;
    back->chainPartner = nullptr;
    // The chain's own reference goes with the chain; outside references keep
    // the back buffer alive, lost for good.
    if (--back->references == 0) {
      delete back;
    } else {
      back->orphan();
    }
  }
  delete this;
}

void Surface::fillDescription(DDSURFACEDESC *desc) const {
  *desc = DDSURFACEDESC{};
  desc->dwSize = sizeof(DDSURFACEDESC);
  desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = static_cast<DWORD>(pixels.width);
  desc->dwHeight = static_cast<DWORD>(pixels.height);
  desc->lPitch = pixels.pitch;
  describeLayout(shown, &desc->ddpfPixelFormat);
  desc->ddsCaps.dwCaps = caps;
  if (kind == SurfaceKind::Primary && chainPartner) {
    desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc->dwBackBufferCount = 1;
  }
  if (hasSourceKey) {
    desc->dwFlags |= DDSD_CKSRCBLT;
    desc->ddckCKSrcBlt = sourceKey;
  }
  if (hasDestKey) {
    desc->dwFlags |= DDSD_CKDESTBLT;
    desc->ddckCKDestBlt = destKey;
  }
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC desc) {
  if (auto fault = traceCall("IDirectDrawSurface::GetSurfaceDesc", label)) return *fault;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  fillDescription(desc);
  return DD_OK;
}

HRESULT Surface::GetPixelFormat(LPDDPIXELFORMAT format) {
  if (auto fault = traceCall("IDirectDrawSurface::GetPixelFormat", label)) return *fault;
  if (!format || format->dwSize != sizeof(DDPIXELFORMAT)) return DDERR_INVALIDPARAMS;
  describeLayout(shown, format);
  return DD_OK;
}

HRESULT Surface::GetCaps(LPDDSCAPS out) {
  if (auto fault = traceCall("IDirectDrawSurface::GetCaps", label)) return *fault;
  if (!out) return DDERR_INVALIDPARAMS;
  out->dwCaps = caps;
  return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS wanted, LPDIRECTDRAWSURFACE *attached) {
  if (auto fault = traceCall("IDirectDrawSurface::GetAttachedSurface",
                             [&] { return label + ", " + hexText(wanted ? wanted->dwCaps : 0u); }))
    return *fault;
  if (!wanted || !attached) return DDERR_INVALIDPARAMS;
  *attached = nullptr;
  if (!chainPartner || (chainPartner->caps & wanted->dwCaps) != wanted->dwCaps) return DDERR_NOTFOUND;
  ++chainPartner->references;
  *attached = chainPartner;
  return DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE) {
  if (auto fault =
          traceCall("IDirectDrawSurface::Lock", [&] { return label + ", " + rectText(rect) + ", " + hexText(flags); }))
    return *fault;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  if (lost) return DDERR_SURFACELOST;
  if (busy()) return DDERR_SURFACEBUSY;
  PixelRect area;
  if (!surfaceRect(rect, pixels, &area)) return DDERR_INVALIDPARAMS;
  // Memory kept in another order than the program's is shown through a
  // converted copy, written back on Unlock.
  uint8_t *top = pixels.bits;
  if (!(shown == pixels.layout)) {
    try {
      lockCopy.resize(memoryBytes);
    } catch (const std::bad_alloc &) {
      return DDERR_OUTOFMEMORY;
    }
    PixelBuffer copy = pixels;
    copy.bits = top = lockCopy.data();
    copy.layout = shown;
    convertPixels(pixels, copy);
  }
  fillDescription(desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = top + static_cast<intptr_t>(area.top) * pixels.pitch +
                    static_cast<size_t>(area.left) * pixels.layout.bytesPerPixel();
  locked = true;
  lockFlags = flags;
  return DD_OK;
}

HRESULT Surface::Unlock(LPVOID) {
  if (auto fault = traceCall("IDirectDrawSurface::Unlock", label)) return *fault;
  if (!locked) return DDERR_NOTLOCKED;
  locked = false;
  if (!lockCopy.empty()) {
    if (!(lockFlags & DDLOCK_READONLY) && pixels.bits) {
      PixelBuffer copy = pixels;
      copy.bits = lockCopy.data();
      copy.layout = shown;
      convertPixels(copy, pixels);
    }
    lockCopy = {};
  }
  return DD_OK;
}

HRESULT Surface::GetDC(HDC *out) {
  if (auto fault = traceCall("IDirectDrawSurface::GetDC", label)) return *fault;
  if (!out) return DDERR_INVALIDPARAMS;
  if (lost) return DDERR_SURFACELOST;
  if (dc) return DDERR_DCALREADYCREATED;
  if (locked) return DDERR_SURFACEBUSY;
  HDC made = gdi::createSurfaceDC(pixels, label);
  if (!made) return DDERR_CANTCREATEDC;
  dc = made;
  *out = made;
  return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC given) {
  if (auto fault = traceCall("IDirectDrawSurface::ReleaseDC", [&] {
        const std::string *dcLabel = gdi::liveDcLabel(given);
        return label + ", " + (!given ? "null" : dcLabel ? *dcLabel : "unknown");
      }))
    return *fault;
  if (!given || given != dc) return DDERR_INVALIDPARAMS;
  gdi::destroyDC(dc);
  dc = nullptr;
  return DD_OK;
}

HRESULT Surface::IsLost() {
  if (auto fault = traceCall("IDirectDrawSurface::IsLost", label)) return *fault;
  return lost ? DDERR_SURFACELOST : DD_OK;
}

uint32_t Surface::storedPixel(uint32_t shownPixel) const {
  shownPixel &= depthMask(shown);
  if (shown == pixels.layout) return shownPixel;
  return packColor(pixels.layout, unpackColor(shown, shownPixel, pixels.palette));
}

void Surface::restoreMemory() {
  if (memory) std::memset(memory.get(), 0, memoryBytes);
  lost = false;
}

HRESULT Surface::Restore() {
  if (auto fault = traceCall("IDirectDrawSurface::Restore", label)) return *fault;
  if (!lost && !(kind == SurfaceKind::Primary && chainPartner && chainPartner->lost)) return DD_OK;
  if (!restorable || !owner) return DDERR_SURFACELOST;
  // The display's own surfaces are made for the display mode; after a change
  // they cannot come back and must be made again.
  if (kind != SurfaceKind::Offscreen && modeSerial != displayModeSerial()) return DDERR_WRONGMODE;
  if (lost) restoreMemory();
  if (kind == SurfaceKind::Primary && chainPartner && chainPartner->lost) chainPartner->restoreMemory();
  return DD_OK;
}

HRESULT Surface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
  if (auto fault = traceCall("IDirectDrawSurface::SetColorKey", [&] {
        return label + ", " + hexText(flags) + ", " + (key ? hexText(key->dwColorSpaceLowValue) : "null");
      }))
    return *fault;
  const DWORD which = flags & ~DDCKEY_COLORSPACE;
  if (which == DDCKEY_SRCBLT) {
    hasSourceKey = key != nullptr;
    if (key) sourceKey = *key;
    return DD_OK;
  }
  if (which == DDCKEY_DESTBLT) {
    hasDestKey = key != nullptr;
    if (key) destKey = *key;
    return DD_OK;
  }
  return which == 0 || (which & (DDCKEY_SRCBLT | DDCKEY_DESTBLT)) ? DDERR_INVALIDPARAMS : DDERR_UNSUPPORTED;
}

HRESULT Surface::GetColorKey(DWORD flags, LPDDCOLORKEY key) {
  if (auto fault = traceCall("IDirectDrawSurface::GetColorKey", [&] { return label + ", " + hexText(flags); }))
    return *fault;
  if (!key) return DDERR_INVALIDPARAMS;
  if (flags == DDCKEY_SRCBLT) {
    if (!hasSourceKey) return DDERR_NOCOLORKEY;
    *key = sourceKey;
    return DD_OK;
  }
  if (flags == DDCKEY_DESTBLT) {
    if (!hasDestKey) return DDERR_NOCOLORKEY;
    *key = destKey;
    return DD_OK;
  }
  return DDERR_INVALIDPARAMS;
}

HRESULT Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags, LPDDBLTFX effects) {
  auto arguments = [&] {
    std::string text = label + ", " + rectText(destRect) + ", " + surfaceText(source) + ", " + rectText(sourceRect) +
                       ", " + hexText(flags);
    if ((flags & DDBLT_COLORFILL) && effects && effects->dwSize == sizeof(DDBLTFX))
      text += ", fill " + hexText(effects->dwFillColor);
    return text;
  };
  if (auto fault = traceCall("IDirectDrawSurface::Blt", arguments)) return *fault;

  constexpr DWORD kAccepted =
      DDBLT_ASYNC | DDBLT_COLORFILL | DDBLT_KEYSRC | DDBLT_KEYSRCOVERRIDE | DDBLT_ROP | DDBLT_WAIT | DDBLT_DONOTWAIT;
  if (flags & ~kAccepted) return DDERR_UNSUPPORTED;
  if ((flags & DDBLT_WAIT) && (flags & DDBLT_DONOTWAIT)) return DDERR_INVALIDPARAMS;
  if ((flags & DDBLT_KEYSRC) && (flags & DDBLT_KEYSRCOVERRIDE)) return DDERR_INVALIDPARAMS;
  if (effects && effects->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
  if (!effects && (flags & (DDBLT_COLORFILL | DDBLT_ROP | DDBLT_KEYSRCOVERRIDE))) return DDERR_INVALIDPARAMS;
  if ((flags & DDBLT_ROP) && !(flags & DDBLT_COLORFILL) && effects->dwROP != SRCCOPY) return DDERR_UNSUPPORTED;

  if (flags & DDBLT_COLORFILL) {
    if (lost) return DDERR_SURFACELOST;
    if (busy()) return DDERR_SURFACEBUSY;
    PixelRect area;
    if (!surfaceRect(destRect, pixels, &area)) return DDERR_INVALIDRECT;
    fillPixels(pixels, area, storedPixel(effects->dwFillColor));
    return DD_OK;
  }

  Surface *from = nullptr;
  if (HRESULT refused = checkCopy(*this, source, &from)) return refused;
  PixelRect to, in;
  if (!surfaceRect(destRect, pixels, &to) || !surfaceRect(sourceRect, from->pixels, &in)) return DDERR_INVALIDRECT;
  uint32_t key = 0;
  const uint32_t *keyPointer = nullptr;
  if ((flags & DDBLT_KEYSRC) && from->hasSourceKey) {
    key = from->storedPixel(from->sourceKey.dwColorSpaceLowValue);
    keyPointer = &key;
  } else if (flags & DDBLT_KEYSRCOVERRIDE) {
    key = from->storedPixel(effects->ddckSrcColorkey.dwColorSpaceLowValue);
    keyPointer = &key;
  }
  return copyPixels(*this, to, *from, in, keyPointer);
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) {
  if (auto fault = traceCall("IDirectDrawSurface::BltFast", [&] {
        return label + format(", %u, %u, ", static_cast<unsigned>(x), static_cast<unsigned>(y)) + surfaceText(source) +
               ", " + rectText(sourceRect) + ", " + hexText(trans);
      }))
    return *fault;
  if (trans & ~(DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT)) return DDERR_UNSUPPORTED;
  Surface *from = nullptr;
  if (HRESULT refused = checkCopy(*this, source, &from)) return refused;
  PixelRect in;
  if (!surfaceRect(sourceRect, from->pixels, &in)) return DDERR_INVALIDRECT;
  if (x > 0x7FFFFFFF || y > 0x7FFFFFFF) return DDERR_INVALIDRECT;
  RECT target{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x) + in.width(),
              static_cast<LONG>(y) + in.height()};
  PixelRect to;
  if (target.right < target.left || !surfaceRect(&target, pixels, &to)) return DDERR_INVALIDRECT;
  uint32_t key = 0;
  const uint32_t *keyPointer = nullptr;
  if ((trans & DDBLTFAST_SRCCOLORKEY) && from->hasSourceKey) {
    key = from->storedPixel(from->sourceKey.dwColorSpaceLowValue);
    keyPointer = &key;
  }
  return copyPixels(*this, to, *from, in, keyPointer);
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD flags) {
  if (auto fault = traceCall("IDirectDrawSurface::Flip",
                             [&] { return label + ", " + surfaceText(targetOverride) + ", " + hexText(flags); }))
    return *fault;
  if (kind != SurfaceKind::Primary || !chainPartner) return DDERR_NOTFLIPPABLE;
  Surface *back = chainPartner;
  if (targetOverride && targetOverride != static_cast<IDirectDrawSurface *>(back)) return DDERR_INVALIDPARAMS;
  if (lost || back->lost) return DDERR_SURFACELOST;
  if (busy() || back->busy()) return DDERR_SURFACEBUSY;
  if (!owner || !owner->exclusive) return DDERR_NOEXCLUSIVEMODE;
  // The pages trade their memory; the interfaces stay where they are.
  std::swap(memory, back->memory);
  std::swap(pixels.bits, back->pixels.bits);
  if (!forgotten) host().present(owner->hostWindow, pixels);
  return DD_OK;
}

}  // namespace layer::ddraw

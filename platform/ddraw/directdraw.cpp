// The DirectDraw object: cooperative level, display modes and surface
// creation, plus the state that every DirectDraw part of the layer shares.
//
// The desktop mode is 640 by 480 at the host's desktop depth. Setting a mode
// that differs from the current one loses every surface of the object that
// set it; setting the mode already in force changes nothing.
#include <algorithm>
#include <charconv>
#include <new>

#include "core/trace.h"
#include "ddraw/ddraw_internal.h"
#include "ddraw/ddraw_objects.h"
#include "gdi/gdi_internal.h"
#include "host/host.h"
#include "user/user_internal.h"

namespace layer::ddraw {
namespace {

constexpr int kMaxModeSide = 4096;
constexpr DWORD kMaxSurfaceSide = 32768;
constexpr int64_t kMaxSurfaceBytes = int64_t(256) << 20;

void resetDirectDraw() {
  DirectDrawState &s = state();
  for (DirectDrawObject *object : s.objects) object->forgotten = true;
  s.objects.clear();
  for (Surface *surface : s.surfaces) {
    surface->forgotten = true;
    surface->orphan();
    surface->dc = nullptr;  // GDI's own reset takes its DCs
    // Nothing reaches a forgotten surface's pixels any more, unless a lock
    // still points at them.
    if (!surface->locked) {
      surface->memory.reset();
      surface->pixels.bits = nullptr;
    }
  }
  s.nextDirectDrawNumber = 1;
  s.nextOffscreenNumber = 1;
  s.extraPitch = 0;
  s.use555 = false;
  s.modeSet = false;
  s.mode = DisplayMode{};
  s.serial = 0;
}

// Exclusive full-screen surfaces do not survive the switch away.
void loseSurfacesOnFocusLoss() {
  if (exclusiveActive()) loseAllSurfaces();
}

struct Registrations {
  Registrations() {
    registerReset(resetDirectDraw);
    user::addFocusLossListener(loseSurfacesOnFocusLoss);
  }
} registrations;

std::string windowText(HWND window) {
  if (!window) return "null";
  return format("window#%d", layer::user::hostWindowId(window));
}

// The layouts a surface may be asked for by pixel format.
bool layoutForFormat(const DDPIXELFORMAT &format, PixelLayout *layout) {
  if (format.dwSize != sizeof(DDPIXELFORMAT)) return false;
  if (format.dwFlags == (DDPF_RGB | DDPF_PALETTEINDEXED8) || format.dwFlags == DDPF_PALETTEINDEXED8) {
    if (format.dwRGBBitCount != 8 && format.dwFlags == (DDPF_RGB | DDPF_PALETTEINDEXED8)) return false;
    *layout = layout8();
    return true;
  }
  if (format.dwFlags != DDPF_RGB) return false;
  for (const PixelLayout &candidate : {layout555(), layout565(), layout24(), layout32()}) {
    if (static_cast<int>(format.dwRGBBitCount) == candidate.bitsPerPixel && format.dwRBitMask == candidate.redMask &&
        format.dwGBitMask == candidate.greenMask && format.dwBBitMask == candidate.blueMask) {
      *layout = candidate;
      return true;
    }
  }
  return false;
}

// Zeroed pixel memory, or null when there is none to be had.
SurfaceMemory allocatePixels(int64_t bytes) {
  return SurfaceMemory(gdi::allocateSurfaceMemory(static_cast<size_t>(std::max<int64_t>(bytes, 1))));
}

bool livePrimaryExists() {
  for (Surface *s : state().surfaces)
    if (s->kind == SurfaceKind::Primary && !s->forgotten && s->owner) return true;
  return false;
}

}  // namespace

DirectDrawState &state() {
  static DirectDrawState *s = new DirectDrawState;  // never destroyed: used during static destruction
  return *s;
}

bool layoutForDepth(int bitsPerPixel, PixelLayout *layout) {
  switch (bitsPerPixel) {
    case 8:
      *layout = layout8();
      return true;
    case 15:
      *layout = layout555();
      return true;
    case 16:
      *layout = state().use555 ? layout555() : layout565();
      return true;
    case 24:
      *layout = layout24();
      return true;
    case 32:
      *layout = layout32();
      return true;
  }
  return false;
}

DisplayMode currentDisplayMode() {
  const DirectDrawState &s = state();
  if (s.modeSet) return s.mode;
  DisplayMode desktop{kDesktopWidth, kDesktopHeight, layout32()};
  layoutForDepth(host().desktopBitsPerPixel(), &desktop.layout);
  return desktop;
}

unsigned displayModeSerial() { return state().serial; }

int64_t surfacePitch(int width, const PixelLayout &layout) {
  int64_t bytes = static_cast<int64_t>(width) * layout.bytesPerPixel();
  return ((bytes + 7) & ~int64_t(7)) + state().extraPitch;
}

void describeLayout(const PixelLayout &layout, DDPIXELFORMAT *format) {
  *format = DDPIXELFORMAT{};
  format->dwSize = sizeof(DDPIXELFORMAT);
  format->dwFlags = layout.bitsPerPixel == 8 ? (DDPF_PALETTEINDEXED8 | DDPF_RGB) : DDPF_RGB;
  format->dwRGBBitCount = static_cast<DWORD>(layout.bitsPerPixel);
  format->dwRBitMask = layout.redMask;
  format->dwGBitMask = layout.greenMask;
  format->dwBBitMask = layout.blueMask;
}

Surface *toSurface(IDirectDrawSurface *surface) {
  if (!surface) return nullptr;
  for (Surface *s : state().surfaces)
    if (static_cast<IDirectDrawSurface *>(s) == surface) return s;
  return nullptr;
}

std::string rectText(const RECT *rect) {
  if (!rect) return "null";
  // Without printf: Blt records two of these on every call.
  char text[64];
  char *p = text, *end = text + sizeof text;
  *p++ = '[';
  for (LONG v : {rect->left, rect->top, rect->right, rect->bottom}) {
    p = std::to_chars(p, end, static_cast<long>(v)).ptr;
    *p++ = ',';
  }
  p[-1] = ']';
  return std::string(text, p);
}

std::string hexText(DWORD value) { return format("0x%X", static_cast<unsigned>(value)); }

void loseAllSurfaces() {
  for (Surface *s : state().surfaces)
    if (!s->forgotten) s->lose();
}

bool exclusiveActive() {
  for (DirectDrawObject *object : state().objects)
    if (object->exclusive) return true;
  return false;
}

// ---- the DirectDraw object ----

DirectDrawObject::DirectDrawObject(std::string name) : ComObject(std::move(name)) {}

DirectDrawObject::~DirectDrawObject() {
  for (Surface *s : surfaces) {
    s->owner = nullptr;
    s->orphan();
  }
  auto &objects = state().objects;
  objects.erase(std::remove(objects.begin(), objects.end(), this), objects.end());
}

void DirectDrawObject::loseSurfaces() {
  for (Surface *s : surfaces) s->lose();
}

HRESULT DirectDrawObject::changeMode(bool desktop, int width, int height, const PixelLayout &layout) {
  DirectDrawState &s = state();
  DisplayMode before = currentDisplayMode();
  if (desktop) {
    s.modeSet = false;
    setMode = false;
  } else {
    s.mode = DisplayMode{width, height, layout};
    s.modeSet = true;
    setMode = true;
  }
  DisplayMode after = currentDisplayMode();
  if (before.width != after.width || before.height != after.height || !(before.layout == after.layout)) {
    ++s.serial;
    loseSurfaces();
  }
  return DD_OK;
}

void DirectDrawObject::leaveExclusive() {
  if (setMode && !forgotten) changeMode(true, 0, 0, PixelLayout{});
  setMode = false;
  if (exclusive && !forgotten) host().setExclusive(hostWindow, false);
  exclusive = false;
}

HRESULT DirectDrawObject::SetCooperativeLevel(HWND newWindow, DWORD flags) {
  if (auto fault = traceCall("IDirectDraw::SetCooperativeLevel",
                             [&] { return label + ", " + windowText(newWindow) + ", " + hexText(flags); }))
    return *fault;
  const bool wantExclusive = (flags & DDSCL_EXCLUSIVE) != 0;
  const bool fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
  const bool normal = (flags & DDSCL_NORMAL) != 0;
  // Exclusive and full screen go together; otherwise the level is normal.
  if (wantExclusive != fullScreen) return DDERR_INVALIDPARAMS;
  if (wantExclusive == normal) return DDERR_INVALIDPARAMS;
  int id = newWindow ? layer::user::hostWindowId(newWindow) : 0;
  if (wantExclusive) {
    if (!newWindow || id == 0) return DDERR_INVALIDPARAMS;
    for (DirectDrawObject *other : state().objects)
      if (other != this && other->exclusive) return DDERR_EXCLUSIVEMODEALREADYSET;
  } else if (newWindow && id == 0) {
    return DDERR_INVALIDPARAMS;
  }
  if (exclusive && (!wantExclusive || id != hostWindow)) leaveExclusive();
  window = newWindow;
  hostWindow = id;
  cooperativeFlags = flags;
  if (wantExclusive && !exclusive) {
    exclusive = true;
    if (!forgotten) host().setExclusive(hostWindow, true);
  }
  return DD_OK;
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
  if (auto fault = traceCall("IDirectDraw::SetDisplayMode", [&] {
        return label + format(", %u, %u, %u", static_cast<unsigned>(width), static_cast<unsigned>(height),
                              static_cast<unsigned>(bitsPerPixel));
      }))
    return *fault;
  PixelLayout layout;
  // 15 is no depth a program asks for: 16 with the 5-5-5 masks is.
  if (bitsPerPixel == 15 || !layoutForDepth(static_cast<int>(bitsPerPixel), &layout)) return DDERR_INVALIDMODE;
  if (width == 0 || height == 0 || width > kMaxModeSide || height > kMaxModeSide) return DDERR_INVALIDMODE;
  if (!exclusive) return DDERR_NOEXCLUSIVEMODE;
  return changeMode(false, static_cast<int>(width), static_cast<int>(height), layout);
}

HRESULT DirectDrawObject::RestoreDisplayMode() {
  if (auto fault = traceCall("IDirectDraw::RestoreDisplayMode", label)) return *fault;
  if (setMode) changeMode(true, 0, 0, PixelLayout{});
  return DD_OK;
}

HRESULT DirectDrawObject::GetDisplayMode(LPDDSURFACEDESC desc) {
  if (auto fault = traceCall("IDirectDraw::GetDisplayMode", label)) return *fault;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  DisplayMode mode = currentDisplayMode();
  *desc = DDSURFACEDESC{};
  desc->dwSize = sizeof(DDSURFACEDESC);
  desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
  desc->dwWidth = static_cast<DWORD>(mode.width);
  desc->dwHeight = static_cast<DWORD>(mode.height);
  desc->lPitch = static_cast<LONG>(surfacePitch(mode.width, mode.layout));
  desc->dwRefreshRate = 60;
  describeLayout(mode.layout, &desc->ddpfPixelFormat);
  return DD_OK;
}

HRESULT DirectDrawObject::WaitForVerticalBlank(DWORD flags, HANDLE) {
  if (auto fault = traceCall("IDirectDraw::WaitForVerticalBlank", [&] { return label + ", " + hexText(flags); }))
    return *fault;
  return DD_OK;
}

HRESULT DirectDrawObject::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE *out, IUnknown *outer) {
  auto arguments = [&] {
    std::string text = label;
    if (desc && desc->dwSize == sizeof(DDSURFACEDESC)) {  // a record of another size is not read at all
      text += ", flags " + hexText(desc->dwFlags) + ", caps " + hexText(desc->ddsCaps.dwCaps);
      if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT))
        text += format(", %ux%u", static_cast<unsigned>(desc->dwWidth), static_cast<unsigned>(desc->dwHeight));
      if (desc->dwFlags & DDSD_BACKBUFFERCOUNT)
        text += format(", backbuffers %u", static_cast<unsigned>(desc->dwBackBufferCount));
    } else {
      text += desc ? format(", size %u", static_cast<unsigned>(desc->dwSize)) : std::string(", null");
    }
    return text;
  };
  if (auto fault = traceCall("IDirectDraw::CreateSurface", arguments)) return *fault;
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || !(desc->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
  const DWORD caps = desc->ddsCaps.dwCaps;
  if (caps & (DDSCAPS_BACKBUFFER | DDSCAPS_FRONTBUFFER)) return DDERR_INVALIDCAPS;
  if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;
  Surface *made = nullptr;
  HRESULT result;
  try {
    if (caps & DDSCAPS_PRIMARYSURFACE) {
      if (caps & DDSCAPS_OFFSCREENPLAIN) return DDERR_INVALIDCAPS;
      result = createPrimary(*desc, &made);
    } else {
      if (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX)) return DDERR_INVALIDCAPS;
      result = createOffscreen(*desc, &made);
    }
  } catch (const std::bad_alloc &) {
    return DDERR_OUTOFMEMORY;
  }
  if (result == DD_OK) *out = made;
  return result;
}

HRESULT DirectDrawObject::createPrimary(const DDSURFACEDESC &desc, Surface **out) {
  const DWORD caps = desc.ddsCaps.dwCaps;
  const bool flip = (caps & DDSCAPS_FLIP) != 0;
  if (flip) {
    if (!(caps & DDSCAPS_COMPLEX)) return DDERR_INVALIDCAPS;
    if (!(desc.dwFlags & DDSD_BACKBUFFERCOUNT) || desc.dwBackBufferCount == 0) return DDERR_INVALIDPARAMS;
    if (desc.dwBackBufferCount > 1) return DDERR_UNSUPPORTED;  // one back buffer: two pages
    if (!exclusive) return DDERR_NOEXCLUSIVEMODE;
  } else {
    if (caps & DDSCAPS_COMPLEX) return DDERR_INVALIDCAPS;
    if (desc.dwFlags & DDSD_BACKBUFFERCOUNT) return DDERR_INVALIDPARAMS;
  }
  if (livePrimaryExists()) return DDERR_PRIMARYSURFACEALREADYEXISTS;

  const DisplayMode mode = currentDisplayMode();
  const int64_t pitch = surfacePitch(mode.width, mode.layout);
  const int64_t bytes = pitch * mode.height;
  SurfaceMemory front = allocatePixels(bytes);
  SurfaceMemory back = flip ? allocatePixels(bytes) : nullptr;
  if (!front || (flip && !back)) return DDERR_OUTOFMEMORY;

  const DWORD placement = DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
  const DWORD frontCaps = caps | DDSCAPS_VISIBLE | placement | (flip ? DDSCAPS_FRONTBUFFER : 0);
  Surface *primary = new Surface(SurfaceKind::Primary, "primary", this, frontCaps, std::move(front), mode.width,
                                 mode.height, static_cast<int>(pitch), mode.layout);
  if (flip) {
    Surface *backBuffer = nullptr;
    try {
      backBuffer = new Surface(SurfaceKind::BackBuffer, "backbuffer", this,
                               DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX | placement, std::move(back),
                               mode.width, mode.height, static_cast<int>(pitch), mode.layout);
    } catch (const std::bad_alloc &) {
      delete primary;
      throw;
    }
    primary->chainPartner = backBuffer;
    backBuffer->chainPartner = primary;
  }
  *out = primary;
  return DD_OK;
}

HRESULT DirectDrawObject::createOffscreen(const DDSURFACEDESC &desc, Surface **out) {
  if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
  if (desc.dwFlags & DDSD_BACKBUFFERCOUNT) return DDERR_INVALIDPARAMS;
  const DWORD width = desc.dwWidth, height = desc.dwHeight;
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return DDERR_INVALIDPARAMS;
  if (width > kMaxSurfaceSide || height > kMaxSurfaceSide) return DDERR_OUTOFMEMORY;
  PixelLayout layout = currentDisplayMode().layout;
  if ((desc.dwFlags & DDSD_PIXELFORMAT) && !layoutForFormat(desc.ddpfPixelFormat, &layout))
    return DDERR_INVALIDPIXELFORMAT;
  const int64_t pitch = surfacePitch(static_cast<int>(width), layout);
  const int64_t bytes = pitch * static_cast<int64_t>(height);
  if (bytes > kMaxSurfaceBytes) return DDERR_OUTOFMEMORY;
  SurfaceMemory memory = allocatePixels(bytes);
  if (!memory) return DDERR_OUTOFMEMORY;

  const DWORD caps = desc.ddsCaps.dwCaps;
  const DWORD placement =
      (caps & DDSCAPS_SYSTEMMEMORY) ? DDSCAPS_SYSTEMMEMORY : (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);
  std::string name = format("offscreen#%d", state().nextOffscreenNumber);
  *out = new Surface(SurfaceKind::Offscreen, std::move(name), this, caps | DDSCAPS_OFFSCREENPLAIN | placement,
                     std::move(memory), static_cast<int>(width), static_cast<int>(height), static_cast<int>(pitch),
                     layout);
  ++state().nextOffscreenNumber;
  return DD_OK;
}

}  // namespace layer::ddraw

using layer::ddraw::DirectDrawObject;

extern "C" HRESULT WINAPI DirectDrawCreate(GUID *driverGuid, LPDIRECTDRAW *directDraw, IUnknown *outer) {
  if (auto fault = layer::traceCall("DirectDrawCreate", [&] { return driverGuid ? "guid" : "null"; })) return *fault;
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  // The default device only: null, or the platform's two special values that
  // pick emulation or hardware of the default device.
  const uintptr_t guidValue = reinterpret_cast<uintptr_t>(driverGuid);
  if (guidValue > 2) return DDERR_INVALIDPARAMS;
  layer::ddraw::DirectDrawState &s = layer::ddraw::state();
  DirectDrawObject *object = nullptr;
  try {
    object = new DirectDrawObject(layer::format("directdraw#%d", s.nextDirectDrawNumber));
    s.objects.push_back(object);
  } catch (const std::bad_alloc &) {
    delete object;
    return DDERR_OUTOFMEMORY;
  }
  ++s.nextDirectDrawNumber;
  *directDraw = object;
  return DD_OK;
}

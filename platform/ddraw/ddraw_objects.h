// DirectDraw's objects inside the layer: the DirectDraw object, its surfaces
// and the display they share.
//
// Lifetimes. Objects are reference counted; the last Release destroys them.
// A flip chain is one primary and one back buffer. The back buffer's count
// includes the chain's own reference, which no Release of the back buffer
// gives up; destroying the primary destroys the chain, and a back buffer that
// still has references of its own then lives on alone, lost for good.
// Releasing the DirectDraw object leaves its surfaces valid as objects but
// lost, and Restore cannot bring them back (DDERR_SURFACELOST).
//
// layer::reset() forgets every object without freeing it, so that pointers a
// program still holds (a static object released at exit) stay safe to call:
// forgotten surfaces are lost for good and a forgotten DirectDraw object no
// longer speaks to the host.
#pragma once

#include <ddraw.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/com_object.h"
#include "core/pixels.h"
#include "ddraw/interface_bases.h"

namespace layer::ddraw {

class DirectDrawObject;

// The display mode: the desktop's until a DirectDraw object in exclusive mode
// sets one. `serial` counts mode changes.
struct DisplayMode {
  int width = 0;
  int height = 0;
  PixelLayout layout;
};

// The desktop: 640 by 480 at the host's desktop depth.
constexpr int kDesktopWidth = 640;
constexpr int kDesktopHeight = 480;

DisplayMode currentDisplayMode();
unsigned displayModeSerial();
// The layout of a display depth (16 follows layer::setUse555); false for
// depths the layer has no display mode for.
bool layoutForDepth(int bitsPerPixel, PixelLayout *layout);
// Bytes per row of a new surface: rounded up to 8, plus the test's extra bytes.
int64_t surfacePitch(int width, const PixelLayout &layout);
// Fills a pixel format record for a layout.
void describeLayout(const PixelLayout &layout, DDPIXELFORMAT *format);

enum class SurfaceKind { Primary, BackBuffer, Offscreen };

// Surface memory comes from GDI (gdi::allocateSurfaceMemory), so that a DC
// can draw on it in place.
struct FreeBytes {
  void operator()(uint8_t *p) const;
};
using SurfaceMemory = std::unique_ptr<uint8_t, FreeBytes>;

class Surface final : public ComObject<SurfaceInterface, Surface, "IDirectDrawSurface", ReferenceFaults::Taken> {
 public:
  Surface(SurfaceKind kind, std::string label, DirectDrawObject *owner, DWORD caps, SurfaceMemory memory, int width,
          int height, int pitch, const PixelLayout &layout);
  ~Surface();

  STDMETHOD(Blt)
  (LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags, LPDDBLTFX effects) override;
  STDMETHOD(BltFast)(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) override;
  STDMETHOD(Flip)(LPDIRECTDRAWSURFACE targetOverride, DWORD flags) override;
  STDMETHOD(GetAttachedSurface)(LPDDSCAPS caps, LPDIRECTDRAWSURFACE *attached) override;
  STDMETHOD(GetCaps)(LPDDSCAPS caps) override;
  STDMETHOD(GetColorKey)(DWORD flags, LPDDCOLORKEY key) override;
  STDMETHOD(GetDC)(HDC *dc) override;
  STDMETHOD(GetPixelFormat)(LPDDPIXELFORMAT format) override;
  STDMETHOD(GetSurfaceDesc)(LPDDSURFACEDESC desc) override;
  STDMETHOD(IsLost)() override;
  STDMETHOD(Lock)(LPRECT destRect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
  STDMETHOD(ReleaseDC)(HDC dc) override;
  STDMETHOD(Restore)() override;
  STDMETHOD(SetColorKey)(DWORD flags, LPDDCOLORKEY key) override;
  STDMETHOD(Unlock)(LPVOID surfaceData) override;

  // The last release destroys the surface (and a primary its chain).
  void lastReleased() { destroy(); }
  // The flip chain keeps its own reference to its back buffer until the primary goes.
  bool keepsLastReference() const { return kind == SurfaceKind::BackBuffer && chainPartner; }
  bool busy() const { return locked || dc != nullptr; }
  bool inFlipChain() const { return chainPartner != nullptr; }
  // Loses the memory's contents (kept allocated, zeroed again by Restore).
  void lose() { lost = true; }
  // Lost for good: the owner or the chain is gone, or the layer was reset.
  void orphan();

  const SurfaceKind kind;
  DirectDrawObject *owner;          // null once the DirectDraw object is gone
  Surface *chainPartner = nullptr;  // primary <-> back buffer of a flip chain
  const DWORD caps;
  // Views `memory`, in the order GDI keeps pixels (gdi::gdiLayout of
  // `shown`); a flip swaps the memory of the chain.
  PixelBuffer pixels;
  PixelLayout shown;              // the layout the program sees: descriptions, Lock, fills and keys
  std::vector<uint8_t> lockCopy;  // while locked, when `shown` differs from `pixels.layout`
  DWORD lockFlags = 0;
  SurfaceMemory memory;
  size_t memoryBytes = 0;
  unsigned modeSerial;  // the display mode the surface was made in
  bool lost = false;
  bool restorable = true;
  bool forgotten = false;
  bool locked = false;
  HDC dc = nullptr;
  bool hasSourceKey = false;
  DDCOLORKEY sourceKey{};
  bool hasDestKey = false;
  DDCOLORKEY destKey{};

 private:
  void destroy();
  void fillDescription(DDSURFACEDESC *desc) const;
  void restoreMemory();
  // A raw pixel value in `shown` as stored in `pixels`.
  uint32_t storedPixel(uint32_t shownPixel) const;
};

class DirectDrawObject final
    : public ComObject<DirectDrawInterface, DirectDrawObject, "IDirectDraw", ReferenceFaults::Taken> {
 public:
  explicit DirectDrawObject(std::string label);
  ~DirectDrawObject();

  STDMETHOD(CreateSurface)(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE *surface, IUnknown *outer) override;
  STDMETHOD(GetDisplayMode)(LPDDSURFACEDESC desc) override;
  STDMETHOD(RestoreDisplayMode)() override;
  STDMETHOD(SetCooperativeLevel)(HWND window, DWORD flags) override;
  STDMETHOD(SetDisplayMode)(DWORD width, DWORD height, DWORD bitsPerPixel) override;
  STDMETHOD(WaitForVerticalBlank)(DWORD flags, HANDLE event) override;

  void lastReleased() {
    leaveExclusive();
    delete this;
  }
  // Loses every surface of this object.
  void loseSurfaces();
  // Drops exclusive access and the display mode this object set.
  void leaveExclusive();

  bool forgotten = false;
  HWND window = nullptr;
  int hostWindow = 0;
  DWORD cooperativeFlags = 0;
  bool exclusive = false;
  bool setMode = false;  // the display is in a mode this object set
  std::vector<Surface *> surfaces;

 private:
  HRESULT createPrimary(const DDSURFACEDESC &desc, Surface **out);
  HRESULT createOffscreen(const DDSURFACEDESC &desc, Surface **out);
  HRESULT changeMode(bool desktop, int width, int height, const PixelLayout &layout);
};

// The layer's DirectDraw state.
struct DirectDrawState {
  std::vector<DirectDrawObject *> objects;  // live, not forgotten
  std::vector<Surface *> surfaces;          // every surface object that exists, forgotten ones too
  int nextDirectDrawNumber = 1;
  int nextOffscreenNumber = 1;
  int extraPitch = 0;
  bool use555 = false;
  bool modeSet = false;
  DisplayMode mode;  // valid while modeSet
  unsigned serial = 0;
};
DirectDrawState &state();

// Our surface behind an interface pointer, or null when it is not one.
Surface *toSurface(IDirectDrawSurface *surface);

// Text for the call record.
std::string rectText(const RECT *rect);
std::string hexText(DWORD value);  // "0x1F", whatever width DWORD has

}  // namespace layer::ddraw

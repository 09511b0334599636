// The platform interfaces DirectDraw's objects implement, as the SDK declares
// them: every method the layer does not offer (overlays, clippers, palettes,
// enumeration) answers DDERR_UNSUPPORTED, so the objects are complete for a
// program built against the SDK. Found before platform/ddraw/ on the include
// path of the Windows build.
#pragma once

#include <ddraw.h>

namespace layer::ddraw {

class SurfaceInterface : public IDirectDrawSurface {
 public:
  STDMETHOD(AddAttachedSurface)(LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(AddOverlayDirtyRect)(LPRECT) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(BltBatch)(LPDDBLTBATCH, DWORD, DWORD) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(DeleteAttachedSurface)(DWORD, LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(EnumAttachedSurfaces)(LPVOID, LPDDENUMSURFACESCALLBACK) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(EnumOverlayZOrders)(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(GetBltStatus)(DWORD) override { return DD_OK; }
  STDMETHOD(GetClipper)(LPDIRECTDRAWCLIPPER *) override { return DDERR_NOCLIPPERATTACHED; }
  STDMETHOD(GetFlipStatus)(DWORD) override { return DD_OK; }
  STDMETHOD(GetOverlayPosition)(LPLONG, LPLONG) override { return DDERR_NOTAOVERLAYSURFACE; }
  STDMETHOD(GetPalette)(LPDIRECTDRAWPALETTE *) override { return DDERR_NOPALETTEATTACHED; }
  STDMETHOD(Initialize)(LPDIRECTDRAW, LPDDSURFACEDESC) override { return DDERR_ALREADYINITIALIZED; }
  STDMETHOD(SetClipper)(LPDIRECTDRAWCLIPPER) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(SetOverlayPosition)(LONG, LONG) override { return DDERR_NOTAOVERLAYSURFACE; }
  STDMETHOD(SetPalette)(LPDIRECTDRAWPALETTE) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(UpdateOverlay)(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX) override {
    return DDERR_NOTAOVERLAYSURFACE;
  }
  STDMETHOD(UpdateOverlayDisplay)(DWORD) override { return DDERR_NOTAOVERLAYSURFACE; }
  STDMETHOD(UpdateOverlayZOrder)(DWORD, LPDIRECTDRAWSURFACE) override { return DDERR_NOTAOVERLAYSURFACE; }

 protected:
  ~SurfaceInterface() = default;
};

class DirectDrawInterface : public IDirectDraw {
 public:
  STDMETHOD(Compact)() override { return DD_OK; }
  STDMETHOD(CreateClipper)(DWORD, LPDIRECTDRAWCLIPPER *, IUnknown *) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(CreatePalette)(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE *, IUnknown *) override {
    return DDERR_UNSUPPORTED;
  }
  STDMETHOD(DuplicateSurface)(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE *) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(EnumDisplayModes)(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }
  STDMETHOD(EnumSurfaces)(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }
  STDMETHOD(FlipToGDISurface)() override { return DD_OK; }
  STDMETHOD(GetCaps)(LPDDCAPS, LPDDCAPS) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(GetFourCCCodes)(LPDWORD, LPDWORD) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(GetGDISurface)(LPDIRECTDRAWSURFACE *) override { return DDERR_NOTFOUND; }
  STDMETHOD(GetMonitorFrequency)(LPDWORD) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(GetScanLine)(LPDWORD) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(GetVerticalBlankStatus)(WINBOOL *) override { return DDERR_UNSUPPORTED; }
  STDMETHOD(Initialize)(GUID *) override { return DDERR_ALREADYINITIALIZED; }

 protected:
  ~DirectDrawInterface() = default;
};

}  // namespace layer::ddraw

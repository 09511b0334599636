// The DirectDraw object and its surfaces: cooperative level and display
// modes, surface descriptions, reference counts and the flip chain's
// lifetime, locks and DCs, lost surfaces, colour keys and flipping.
#include <gtest/gtest.h>

#include <ddraw.h>
#include <windows.h>
#include <cstring>

#include "ddraw/ddraw_internal.h"
#include "host/headless/headless_host.h"
#include "layer_test.h"
#include "support/test_window.h"

namespace {

class DirectDrawTest : public testing::Test {
 protected:
  void SetUp() override {
    layer::reset();
    window = testsupport::makePopupWindow("ddraw test", 640, 480);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
  }
  void TearDown() override {
    if (dd) dd->Release();
    layer::reset();
  }

  void goExclusive() { ASSERT_EQ(dd->SetCooperativeLevel(window, 0x13), DD_OK); }

  // Exclusive 640x480 at `bits`, with a flip chain.
  void makeChain(int bits = 24) {
    goExclusive();
    ASSERT_EQ(dd->SetDisplayMode(640, 480, bits), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), DD_OK);
  }

  static DDSURFACEDESC offscreenDesc(DWORD width, DWORD height) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = width;
    desc.dwHeight = height;
    return desc;
  }
  IDirectDrawSurface *offscreen(DWORD width, DWORD height) {
    DDSURFACEDESC desc = offscreenDesc(width, height);
    IDirectDrawSurface *s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
    return s;
  }
  HRESULT tryCreate(DDSURFACEDESC desc) {
    IDirectDrawSurface *s = reinterpret_cast<IDirectDrawSurface *>(1);
    HRESULT result = dd->CreateSurface(&desc, &s, nullptr);
    if (result == DD_OK)
      s->Release();
    else
      EXPECT_EQ(s, nullptr);
    return result;
  }
  DDSURFACEDESC displayMode() {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(dd->GetDisplayMode(&desc), DD_OK);
    return desc;
  }
  static DDSURFACEDESC lockDesc() {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    return desc;
  }

  HWND window = nullptr;
  IDirectDraw *dd = nullptr;
  IDirectDrawSurface *primary = nullptr;
  IDirectDrawSurface *back = nullptr;
};

// ---- creation and reference counts ----

TEST_F(DirectDrawTest, CreateRefusesAggregationAndAMissingOutPointer) {
  IDirectDraw *other = reinterpret_cast<IDirectDraw *>(1);
  EXPECT_EQ(DirectDrawCreate(nullptr, &other, reinterpret_cast<IUnknown *>(dd)), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(DirectDrawCreate(nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(layer::liveDirectDrawCount(), 1);
}

TEST_F(DirectDrawTest, ObjectsAreCountedAndLabelledInOrder) {
  IDirectDraw *second = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &second, nullptr), DD_OK);
  EXPECT_EQ(layer::liveDirectDrawCount(), 2);
  EXPECT_EQ(second->AddRef(), 2u);
  EXPECT_EQ(second->Release(), 1u);
  layer::clearCalls();
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_EQ(layer::callTexts(), std::vector<std::string>{"IDirectDraw::Release(directdraw#2)"});
  EXPECT_EQ(layer::liveDirectDrawCount(), 1);
  void *nothing = reinterpret_cast<void *>(1);
  GUID iid{};
  EXPECT_EQ(dd->QueryInterface(iid, &nothing), E_NOINTERFACE);
  EXPECT_EQ(nothing, nullptr);
}

TEST_F(DirectDrawTest, AReleaseFaultIsRecordedButNotHonoured) {
  IDirectDrawSurface *s = offscreen(4, 4);
  layer::injectFault("IDirectDrawSurface::Release", E_FAIL);
  EXPECT_EQ(s->Release(), 0u);
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Release"), 1u);
}

TEST_F(DirectDrawTest, InjectedFaultsStopACallBeforeItDoesAnything) {
  layer::injectFault("DirectDrawCreate", DDERR_OUTOFMEMORY);
  IDirectDraw *other = nullptr;
  EXPECT_EQ(DirectDrawCreate(nullptr, &other, nullptr), DDERR_OUTOFMEMORY);
  EXPECT_EQ(layer::liveDirectDrawCount(), 1);
  layer::injectFault("IDirectDraw::SetCooperativeLevel", DDERR_GENERIC);
  EXPECT_EQ(dd->SetCooperativeLevel(window, 0x13), DDERR_GENERIC);
  EXPECT_FALSE(layer::ddraw::exclusiveActive());
  goExclusive();
  layer::injectFault("IDirectDraw::SetDisplayMode", DDERR_UNSUPPORTED);
  EXPECT_EQ(dd->SetDisplayMode(800, 600, 16), DDERR_UNSUPPORTED);
  EXPECT_EQ(displayMode().dwWidth, 640u);
  layer::injectFault("IDirectDraw::CreateSurface", DDERR_OUTOFVIDEOMEMORY);
  DDSURFACEDESC desc = offscreenDesc(4, 4);
  IDirectDrawSurface *s = nullptr;
  EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
}

TEST_F(DirectDrawTest, FlipChainLivesUntilItsPrimaryGoes) {
  makeChain();
  EXPECT_EQ(layer::liveSurfaceCount(), 2);
  EXPECT_EQ(layer::surfaceLabel(primary), "primary");
  EXPECT_EQ(layer::surfaceLabel(back), "backbuffer");
  // GetAttachedSurface added a reference to the chain's own one.
  EXPECT_EQ(back->AddRef(), 3u);
  EXPECT_EQ(back->Release(), 2u);
  EXPECT_EQ(back->Release(), 1u);
  EXPECT_EQ(back->Release(), 1u);  // the chain's reference is not the caller's to drop
  EXPECT_EQ(layer::liveSurfaceCount(), 2);
  layer::clearCalls();
  EXPECT_EQ(primary->Release(), 0u);
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
  EXPECT_EQ(layer::callTexts(), (std::vector<std::string>{"IDirectDrawSurface::Release(primary)"}));
}

TEST_F(DirectDrawTest, BackBufferHeldPastItsPrimaryIsLostForGood) {
  makeChain();
  back->AddRef();  // the viewer's reference plus one more
  ASSERT_EQ(primary->Release(), 0u);
  EXPECT_EQ(layer::liveSurfaceCount(), 1);
  EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(back->Restore(), DDERR_SURFACELOST);
  EXPECT_EQ(back->Release(), 1u);
  EXPECT_EQ(back->Release(), 0u);
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
}

TEST_F(DirectDrawTest, ReleasingTheObjectLeavesItsSurfacesLostButCallable) {
  makeChain();
  IDirectDrawSurface *picture = offscreen(8, 8);
  ASSERT_EQ(dd->Release(), 0u);
  dd = nullptr;
  EXPECT_EQ(layer::liveDirectDrawCount(), 0);
  EXPECT_FALSE(layer::headless::isExclusive());
  EXPECT_EQ(layer::liveSurfaceCount(), 3);
  EXPECT_EQ(picture->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(picture->Restore(), DDERR_SURFACELOST);
  DDSURFACEDESC desc = lockDesc();
  EXPECT_EQ(picture->Lock(nullptr, &desc, 0, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
  EXPECT_EQ(back->Blt(nullptr, picture, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(picture->Release(), 0u);
  EXPECT_EQ(back->Release(), 1u);
  EXPECT_EQ(primary->Release(), 0u);
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
}

TEST_F(DirectDrawTest, ResetForgetsObjectsThatAProgramStillHolds) {
  makeChain();
  IDirectDrawSurface *picture = offscreen(8, 8);
  layer::reset();
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
  EXPECT_EQ(layer::liveDirectDrawCount(), 0);
  // Like a static object released at exit after the test has moved on.
  EXPECT_EQ(picture->Blt(nullptr, picture, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(picture->Restore(), DDERR_SURFACELOST);
  EXPECT_TRUE(layer::readSurface(picture).bytes.empty());
  picture->Release();
  back->Release();
  primary->Release();
  dd->Release();
  dd = nullptr;
  // Numbering starts again.
  ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
  IDirectDrawSurface *fresh = offscreen(2, 2);
  EXPECT_EQ(layer::surfaceLabel(fresh), "offscreen#1");
  EXPECT_EQ(layer::callTexts({"DirectDrawCreate"}).size(), 1u);
  fresh->Release();
}

// ---- cooperative level and display modes ----

TEST_F(DirectDrawTest, CooperativeLevelRulesAndTheHost) {
  EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->SetCooperativeLevel(nullptr, 0x13), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
  EXPECT_FALSE(layer::ddraw::exclusiveActive());
  EXPECT_FALSE(layer::headless::isExclusive());
  goExclusive();
  EXPECT_TRUE(layer::ddraw::exclusiveActive());
  EXPECT_TRUE(layer::headless::isExclusive());

  IDirectDraw *second = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &second, nullptr), DD_OK);
  EXPECT_EQ(second->SetCooperativeLevel(window, 0x13), DDERR_EXCLUSIVEMODEALREADYSET);
  EXPECT_EQ(second->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
  second->Release();

  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
  EXPECT_FALSE(layer::ddraw::exclusiveActive());
  EXPECT_FALSE(layer::headless::isExclusive());
}

TEST_F(DirectDrawTest, DesktopModeIsTheHostsDepthAtSixFortyByFourEighty) {
  layer::headless::setDesktopDepth(16);
  DDSURFACEDESC mode = displayMode();
  EXPECT_EQ(mode.dwWidth, 640u);
  EXPECT_EQ(mode.dwHeight, 480u);
  EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
  EXPECT_EQ(mode.ddpfPixelFormat.dwGBitMask, 0x7E0u);
  layer::headless::setDesktopDepth(32);
  EXPECT_EQ(displayMode().ddpfPixelFormat.dwRGBBitCount, 32u);
}

TEST_F(DirectDrawTest, DisplayModesReportTheirFormats) {
  goExclusive();
  struct Expected {
    int bits;
    DWORD flags, red, green, blue;
  };
  const Expected modes[] = {
      {8, DDPF_PALETTEINDEXED8 | DDPF_RGB, 0, 0, 0},
      {16, DDPF_RGB, 0xF800, 0x07E0, 0x001F},
      {24, DDPF_RGB, 0x0000FF, 0x00FF00, 0xFF0000},  // red in the lowest byte
      {32, DDPF_RGB, 0xFF0000, 0x00FF00, 0x0000FF},
  };
  for (const Expected &e : modes) {
    SCOPED_TRACE(e.bits);
    ASSERT_EQ(dd->SetDisplayMode(800, 600, e.bits), DD_OK);
    DDSURFACEDESC mode = displayMode();
    EXPECT_EQ(mode.dwFlags, DWORD(DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE));
    EXPECT_EQ(mode.dwWidth, 800u);
    EXPECT_EQ(mode.dwHeight, 600u);
    EXPECT_EQ(mode.dwRefreshRate, 60u);
    EXPECT_EQ(mode.lPitch, 800 * e.bits / 8);
    EXPECT_EQ(mode.ddpfPixelFormat.dwSize, sizeof(DDPIXELFORMAT));
    EXPECT_EQ(mode.ddpfPixelFormat.dwFlags, e.flags);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, DWORD(e.bits));
    EXPECT_EQ(mode.ddpfPixelFormat.dwRBitMask, e.red);
    EXPECT_EQ(mode.ddpfPixelFormat.dwGBitMask, e.green);
    EXPECT_EQ(mode.ddpfPixelFormat.dwBBitMask, e.blue);
  }
  layer::setUse555(true);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);
  EXPECT_EQ(displayMode().ddpfPixelFormat.dwGBitMask, 0x3E0u);
  EXPECT_EQ(displayMode().ddpfPixelFormat.dwRBitMask, 0x7C00u);
}

TEST_F(DirectDrawTest, SetDisplayModeRefusals) {
  EXPECT_EQ(dd->SetDisplayMode(640, 480, 24), DDERR_NOEXCLUSIVEMODE);
  goExclusive();
  for (DWORD bits : {0u, 1u, 4u, 12u, 15u, 48u})
    EXPECT_EQ(dd->SetDisplayMode(640, 480, bits), DDERR_INVALIDMODE) << bits;
  EXPECT_EQ(dd->SetDisplayMode(0, 480, 24), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(640, 0, 24), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(4097, 480, 24), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(0xFFFFFFFF, 480, 24), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(4096, 4096, 32), DD_OK);
  DDSURFACEDESC wrongSize{};
  wrongSize.dwSize = sizeof(DDSURFACEDESC) - 4;
  EXPECT_EQ(dd->GetDisplayMode(&wrongSize), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->GetDisplayMode(nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DirectDrawTest, ModeChangeLosesSurfacesAndTheChainCannotComeBack) {
  makeChain(24);
  IDirectDrawSurface *picture = offscreen(8, 8);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 24), DD_OK);  // the same mode: nothing happens
  EXPECT_EQ(primary->IsLost(), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 32), DD_OK);
  EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(picture->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(primary->Restore(), DDERR_WRONGMODE);
  EXPECT_EQ(picture->Restore(), DD_OK);  // keeps its own 24-bit format
  DDPIXELFORMAT format{};
  format.dwSize = sizeof format;
  ASSERT_EQ(picture->GetPixelFormat(&format), DD_OK);
  EXPECT_EQ(format.dwRGBBitCount, 24u);

  ASSERT_EQ(dd->RestoreDisplayMode(), DD_OK);
  EXPECT_EQ(displayMode().ddpfPixelFormat.dwRGBBitCount, 32u);  // the headless desktop's depth
  picture->Release();
  back->Release();
  primary->Release();
}

TEST_F(DirectDrawTest, ReleasingTheObjectRestoresTheDesktopMode) {
  layer::headless::setDesktopDepth(16);
  goExclusive();
  ASSERT_EQ(dd->SetDisplayMode(320, 200, 8), DD_OK);
  dd->Release();
  ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
  DDSURFACEDESC mode = displayMode();
  EXPECT_EQ(mode.dwWidth, 640u);
  EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
}

// ---- surface descriptions ----

TEST_F(DirectDrawTest, CreateSurfaceRefusesBadDescriptions) {
  DDSURFACEDESC good = offscreenDesc(16, 16);
  DDSURFACEDESC d = good;
  d.dwSize = sizeof(DDSURFACEDESC) + 4;
  EXPECT_EQ(tryCreate(d), DDERR_INVALIDPARAMS);
  d = good;
  d.dwFlags &= ~DDSD_CAPS;
  EXPECT_EQ(tryCreate(d), DDERR_INVALIDPARAMS);
  d = good;
  d.dwFlags &= ~DDSD_HEIGHT;
  EXPECT_EQ(tryCreate(d), DDERR_INVALIDPARAMS);
  for (DWORD bad : {0u, 0x80000000u, 0xFFFFFFFFu}) {
    d = good;
    d.dwWidth = bad;
    EXPECT_EQ(tryCreate(d), DDERR_INVALIDPARAMS) << bad;
    d = good;
    d.dwHeight = bad;
    EXPECT_EQ(tryCreate(d), DDERR_INVALIDPARAMS) << bad;
  }
  d = good;
  d.dwWidth = 32769;
  EXPECT_EQ(tryCreate(d), DDERR_OUTOFMEMORY);
  d = good;
  d.dwWidth = 16384;  // 16384 x 16384 x 4 bytes: 1 GiB
  d.dwHeight = 16384;
  EXPECT_EQ(tryCreate(d), DDERR_OUTOFMEMORY);
  d = good;
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PRIMARYSURFACE;
  EXPECT_EQ(tryCreate(d), DDERR_INVALIDCAPS);
  d = good;
  d.ddsCaps.dwCaps = DDSCAPS_BACKBUFFER;
  EXPECT_EQ(tryCreate(d), DDERR_INVALIDCAPS);

  IDirectDrawSurface *s = nullptr;
  EXPECT_EQ(dd->CreateSurface(&good, nullptr, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->CreateSurface(nullptr, &s, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->CreateSurface(&good, &s, reinterpret_cast<IUnknown *>(dd)), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
}

TEST_F(DirectDrawTest, OffscreenPixelFormats) {
  layer::headless::setDesktopDepth(16);
  DDSURFACEDESC d = offscreenDesc(4, 4);
  d.dwFlags |= DDSD_PIXELFORMAT;
  d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  d.ddpfPixelFormat.dwFlags = DDPF_RGB;
  d.ddpfPixelFormat.dwRGBBitCount = 24;
  d.ddpfPixelFormat.dwRBitMask = 0x0000FF;
  d.ddpfPixelFormat.dwGBitMask = 0x00FF00;
  d.ddpfPixelFormat.dwBBitMask = 0xFF0000;
  EXPECT_EQ(tryCreate(d), DD_OK);
  d.ddpfPixelFormat.dwRBitMask = 0xFF0000;  // blue in the lowest byte: not a layout offered
  d.ddpfPixelFormat.dwBBitMask = 0x0000FF;
  EXPECT_EQ(tryCreate(d), DDERR_INVALIDPIXELFORMAT);
  d.ddpfPixelFormat.dwRGBBitCount = 16;
  d.ddpfPixelFormat.dwRBitMask = 0x7C00;
  d.ddpfPixelFormat.dwGBitMask = 0x03E0;
  d.ddpfPixelFormat.dwBBitMask = 0x001F;
  EXPECT_EQ(tryCreate(d), DD_OK);
  d.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS;
  EXPECT_EQ(tryCreate(d), DDERR_INVALIDPIXELFORMAT);

  // Without a format: the display's, here the 16-bit desktop.
  IDirectDrawSurface *s = offscreen(4, 4);
  DDPIXELFORMAT format{};
  format.dwSize = sizeof format;
  ASSERT_EQ(s->GetPixelFormat(&format), DD_OK);
  EXPECT_EQ(format.dwRGBBitCount, 16u);
  EXPECT_EQ(format.dwGBitMask, 0x7E0u);
  s->Release();
}

TEST_F(DirectDrawTest, PitchRoundsUpToEightAndTakesExtraBytes) {
  goExclusive();
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 24), DD_OK);
  IDirectDrawSurface *a = offscreen(3, 2);  // 9 bytes a row
  layer::setExtraPitch(8);
  IDirectDrawSurface *b = offscreen(3, 2);
  IDirectDrawSurface *c = offscreen(8, 2);  // 24 bytes, already a multiple of 8
  DDSURFACEDESC desc = lockDesc();
  ASSERT_EQ(a->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.lPitch, 16);
  ASSERT_EQ(b->Lock(nullptr, &desc, 0, nullptr), DD_OK);
  EXPECT_EQ(desc.lPitch, 24);
  // New memory is zero, the padding too, and starts on a 64-byte line.
  for (int i = 0; i < 2 * 24; ++i) EXPECT_EQ(static_cast<uint8_t *>(desc.lpSurface)[i], 0) << i;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(desc.lpSurface) % 64, 0u);
  b->Unlock(nullptr);
  ASSERT_EQ(c->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.lPitch, 32);
  a->Release();
  b->Release();
  c->Release();
}

TEST_F(DirectDrawTest, SurfaceDescriptionsTellSizeCapsAndFormat) {
  makeChain(32);
  DDSURFACEDESC desc = lockDesc();
  ASSERT_EQ(primary->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.dwWidth, 640u);
  EXPECT_EQ(desc.dwHeight, 480u);
  EXPECT_EQ(desc.lPitch, 2560);
  EXPECT_EQ(desc.lpSurface, nullptr);
  EXPECT_TRUE(desc.dwFlags & DDSD_CAPS);
  EXPECT_TRUE(desc.dwFlags & DDSD_PIXELFORMAT);
  EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xFF0000u);
  DDSCAPS caps{};
  ASSERT_EQ(back->GetCaps(&caps), DD_OK);
  EXPECT_TRUE(caps.dwCaps & DDSCAPS_BACKBUFFER);
  EXPECT_FALSE(caps.dwCaps & DDSCAPS_PRIMARYSURFACE);

  desc.dwSize = 0;
  EXPECT_EQ(back->GetSurfaceDesc(&desc), DDERR_INVALIDPARAMS);

  IDirectDrawSurface *picture = offscreen(7, 5);
  desc = lockDesc();
  ASSERT_EQ(picture->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.dwWidth, 7u);
  EXPECT_EQ(desc.dwHeight, 5u);
  EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_OFFSCREENPLAIN);
  EXPECT_EQ(layer::surfaceLabel(picture), "offscreen#1");
  picture->Release();
  back->Release();
  primary->Release();
}

TEST_F(DirectDrawTest, PrimaryRules) {
  DDSURFACEDESC chain{};
  chain.dwSize = sizeof chain;
  chain.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  chain.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  chain.dwBackBufferCount = 1;
  EXPECT_EQ(tryCreate(chain), DDERR_NOEXCLUSIVEMODE);
  goExclusive();
  DDSURFACEDESC d = chain;
  d.dwBackBufferCount = 0;
  EXPECT_EQ(tryCreate(d), DDERR_INVALIDPARAMS);
  d = chain;
  d.ddsCaps.dwCaps &= ~DDSCAPS_COMPLEX;
  EXPECT_EQ(tryCreate(d), DDERR_INVALIDCAPS);

  IDirectDrawSurface *first = nullptr;
  ASSERT_EQ(dd->CreateSurface(&chain, &first, nullptr), DD_OK);
  DDSURFACEDESC plain{};
  plain.dwSize = sizeof plain;
  plain.dwFlags = DDSD_CAPS;
  plain.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  EXPECT_EQ(tryCreate(plain), DDERR_PRIMARYSURFACEALREADYEXISTS);
  first->Release();
  EXPECT_EQ(tryCreate(plain), DD_OK);  // once the first is gone
}

TEST_F(DirectDrawTest, AttachedSurfaceLookup) {
  makeChain();
  DDSCAPS caps{DDSCAPS_OFFSCREENPLAIN};
  IDirectDrawSurface *found = reinterpret_cast<IDirectDrawSurface *>(1);
  EXPECT_EQ(primary->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
  EXPECT_EQ(found, nullptr);
  IDirectDrawSurface *picture = offscreen(2, 2);
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  EXPECT_EQ(picture->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
  EXPECT_EQ(primary->GetAttachedSurface(nullptr, &found), DDERR_INVALIDPARAMS);
  picture->Release();
}

// ---- locks, DCs, lost surfaces, keys ----

TEST_F(DirectDrawTest, LockIsExclusiveAndPointsAtTheRectangle) {
  IDirectDrawSurface *s = offscreen(10, 6);
  DDSURFACEDESC whole = lockDesc();
  ASSERT_EQ(s->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_TRUE(layer::isSurfaceLocked(s));
  EXPECT_TRUE(whole.dwFlags & DDSD_LPSURFACE);
  DDSURFACEDESC again = lockDesc();
  EXPECT_EQ(s->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  EXPECT_EQ(s->Lock(nullptr, &again, 0, nullptr), DDERR_SURFACEBUSY);
  HDC dc = nullptr;
  EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
  ASSERT_EQ(s->Unlock(nullptr), DD_OK);
  EXPECT_FALSE(layer::isSurfaceLocked(s));
  EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);

  RECT r{2, 3, 5, 6};
  DDSURFACEDESC part = lockDesc();
  ASSERT_EQ(s->Lock(&r, &part, 0, nullptr), DD_OK);
  EXPECT_EQ(static_cast<uint8_t *>(part.lpSurface),
            static_cast<uint8_t *>(whole.lpSurface) + 3 * whole.lPitch + 2 * 4);  // 32-bit desktop
  static_cast<uint8_t *>(part.lpSurface)[0] = 0xAB;
  ASSERT_EQ(s->Unlock(part.lpSurface), DD_OK);
  EXPECT_EQ(layer::readSurface(s).pixel(2, 3), 0xABu);

  for (RECT bad : {RECT{0, 0, 11, 6}, RECT{-1, 0, 2, 2}, RECT{3, 3, 3, 4}}) {
    DDSURFACEDESC d = lockDesc();
    EXPECT_EQ(s->Lock(&bad, &d, 0, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_FALSE(layer::isSurfaceLocked(s));
  }
  DDSURFACEDESC wrong{};
  EXPECT_EQ(s->Lock(nullptr, &wrong, 0, nullptr), DDERR_INVALIDPARAMS);
  layer::loseSurface(s);
  DDSURFACEDESC d = lockDesc();
  EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACELOST);
  s->Release();
}

TEST_F(DirectDrawTest, DeviceContextKeepsTheSurfaceBusyUntilReleased) {
  IDirectDrawSurface *s = offscreen(10, 6);
  HDC dc = nullptr;
  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(layer::isSurfaceBusy(s));
  EXPECT_FALSE(layer::isSurfaceLocked(s));
  HDC second = nullptr;
  EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
  DDSURFACEDESC d = lockDesc();
  EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACEBUSY);
  // GDI drawing lands in the surface's pixels.
  SetPixel(dc, 4, 2, RGB(255, 0, 0));
  EXPECT_EQ(s->ReleaseDC(reinterpret_cast<HDC>(0x1234)), DDERR_INVALIDPARAMS);
  ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
  EXPECT_FALSE(layer::isSurfaceBusy(s));
  EXPECT_EQ(layer::readSurface(s).color(4, 2), 0x0000FFu);
  EXPECT_EQ(s->ReleaseDC(dc), DDERR_INVALIDPARAMS);
  layer::loseSurface(s);
  EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACELOST);
  s->Release();
}

TEST_F(DirectDrawTest, RestoreGivesLostMemoryBackZeroed) {
  makeChain();
  IDirectDrawSurface *s = offscreen(4, 4);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x123456;
  ASSERT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  EXPECT_EQ(s->Restore(), DD_OK);  // not lost: nothing happens
  EXPECT_EQ(layer::readSurface(s).pixel(0, 0), 0x123456u);

  layer::loseAllSurfaces();
  for (IDirectDrawSurface *each : {primary, back, s}) EXPECT_EQ(each->IsLost(), DDERR_SURFACELOST);
  HDC dc = nullptr;
  EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACELOST);
  EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);

  ASSERT_EQ(s->Restore(), DD_OK);
  EXPECT_EQ(s->IsLost(), DD_OK);
  EXPECT_EQ(layer::readSurface(s).pixel(3, 3), 0u);
  // Restoring the primary brings its back buffer with it.
  ASSERT_EQ(primary->Restore(), DD_OK);
  EXPECT_EQ(back->IsLost(), DD_OK);
  EXPECT_EQ(layer::readSurface(back).pixel(0, 0), 0u);
  s->Release();
  back->Release();
  primary->Release();
}

TEST_F(DirectDrawTest, FocusLossThroughTheLayerLosesEverySurface) {
  makeChain();
  layer::ddraw::loseAllSurfaces();
  EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
  back->Release();
  primary->Release();
}

TEST_F(DirectDrawTest, ColourKeysAreStoredAndRemoved) {
  IDirectDrawSurface *s = offscreen(2, 2);
  DDCOLORKEY key{};
  EXPECT_EQ(s->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);
  DDCOLORKEY set{0xFF00FF, 0xFF00FF};
  ASSERT_EQ(s->SetColorKey(DDCKEY_SRCBLT, &set), DD_OK);
  ASSERT_EQ(s->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  EXPECT_EQ(key.dwColorSpaceLowValue, 0xFF00FFu);
  EXPECT_EQ(s->GetColorKey(DDCKEY_DESTBLT, &key), DDERR_NOCOLORKEY);
  EXPECT_EQ(s->GetColorKey(DDCKEY_SRCBLT, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(s->SetColorKey(0, &set), DDERR_INVALIDPARAMS);
  ASSERT_EQ(s->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
  EXPECT_EQ(s->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);
  s->Release();
}

// ---- flipping ----

TEST_F(DirectDrawTest, FlipSwapsThePagesAndPresentsTheNewFront) {
  makeChain(24);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x0000FF;  // red at 24 bits
  ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  DDSURFACEDESC before = lockDesc();
  ASSERT_EQ(back->Lock(nullptr, &before, 0, nullptr), DD_OK);
  back->Unlock(nullptr);
  const size_t presented = layer::headless::presentedCount();

  ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(layer::headless::presentedCount(), presented + 1);
  const layer::headless::Frame &frame = layer::headless::frames().back();
  EXPECT_EQ(frame.image.width, 640);
  EXPECT_EQ(frame.image.bitsPerPixel, 24);
  EXPECT_EQ(frame.image.color(0, 0), 0x0000FFu);
  EXPECT_EQ(frame.image.color(639, 479), 0x0000FFu);
  EXPECT_EQ(layer::readSurface(primary).color(5, 5), 0x0000FFu);
  EXPECT_EQ(layer::readSurface(back).pixel(5, 5), 0u);  // the old front, still black
  // The memory moved, not the pixels.
  DDSURFACEDESC after = lockDesc();
  ASSERT_EQ(primary->Lock(nullptr, &after, 0, nullptr), DD_OK);
  EXPECT_EQ(after.lpSurface, before.lpSurface);
  primary->Unlock(nullptr);

  ASSERT_EQ(primary->Flip(back, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(layer::readSurface(back).color(5, 5), 0x0000FFu);
  back->Release();
  primary->Release();
}

TEST_F(DirectDrawTest, FlipRefusals) {
  makeChain();
  IDirectDrawSurface *picture = offscreen(4, 4);
  EXPECT_EQ(picture->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
  EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
  EXPECT_EQ(primary->Flip(picture, DDFLIP_WAIT), DDERR_INVALIDPARAMS);
  HDC dc = nullptr;
  ASSERT_EQ(back->GetDC(&dc), DD_OK);
  EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
  back->ReleaseDC(dc);
  DDSURFACEDESC d = lockDesc();
  ASSERT_EQ(primary->Lock(nullptr, &d, 0, nullptr), DD_OK);
  EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
  primary->Unlock(nullptr);
  layer::loseSurface(back);
  EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
  EXPECT_EQ(layer::headless::presentedCount(), 0u);
  ASSERT_EQ(primary->Restore(), DD_OK);
  EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);

  DDSURFACEDESC plainDesc{};
  plainDesc.dwSize = sizeof plainDesc;
  plainDesc.dwFlags = DDSD_CAPS;
  plainDesc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  back->Release();
  primary->Release();
  IDirectDrawSurface *plain = nullptr;
  ASSERT_EQ(dd->CreateSurface(&plainDesc, &plain, nullptr), DD_OK);
  EXPECT_EQ(plain->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
  plain->Release();
  picture->Release();
}

TEST_F(DirectDrawTest, TheViewersSetUpAndTeardownInTheRecord) {
  layer::clearCalls();
  makeChain(24);
  back->Release();
  primary->Release();
  dd->Release();
  dd = nullptr;
  EXPECT_EQ(layer::callTexts({"IDirectDraw", "DirectDraw"}),
            (std::vector<std::string>{
                "IDirectDraw::SetCooperativeLevel(directdraw#1, window#1, 0x13)",
                "IDirectDraw::SetDisplayMode(directdraw#1, 640, 480, 24)",
                "IDirectDraw::CreateSurface(directdraw#1, flags 0x21, caps 0x218, backbuffers 1)",
                "IDirectDrawSurface::GetAttachedSurface(primary, 0x4)",
                "IDirectDrawSurface::Release(backbuffer)",
                "IDirectDrawSurface::Release(primary)",
                "IDirectDraw::Release(directdraw#1)",
            }));
}

}  // namespace

// Screen set-up and teardown: what a successful create brings up and in
// which order, every failure's box and what is released around it, the
// display depths, and the release of the display when the Screen goes.
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "graphics/graphic.h"
#include "screen_fixture.h"

namespace {

DWORD displayDepth(IDirectDraw *directDraw) {
  DDSURFACEDESC mode;
  std::memset(&mode, 0, sizeof(mode));
  mode.dwSize = sizeof(DDSURFACEDESC);
  if (directDraw->GetDisplayMode(&mode) != DD_OK) return 0;
  return mode.ddpfPixelFormat.dwRGBBitCount;
}

const std::vector<std::string> kReleasesAndBoxes = {"IDirectDrawSurface::Release", "IDirectDraw::Release",
                                                    "MessageBoxA"};

using ScreenCreateTest = ScreenTest;

TEST_F(ScreenCreateTest, ANewScreenIsAllZero) {
  const Screen &fresh = *screen;
  DDBLTFX zero;
  std::memset(&zero, 0, sizeof(zero));
  EXPECT_EQ(std::memcmp(&fresh.clearEffects, &zero, sizeof(DDBLTFX)), 0);
  EXPECT_EQ(fresh.window, nullptr);
  EXPECT_EQ(fresh.surfaces.directDraw, nullptr);
  EXPECT_EQ(fresh.surfaces.backBuffer, nullptr);
  EXPECT_EQ(fresh.surfaces.primary, nullptr);
  EXPECT_EQ(fresh.textWriter.owner, nullptr);
  EXPECT_EQ(fresh.textWriter.font, nullptr);
  EXPECT_EQ(fresh.textWriter.underlinedFont, nullptr);
  EXPECT_EQ(fresh.textWriter.backColor, 0u);
  EXPECT_EQ(fresh.textWriter.textColor, 0u);
  EXPECT_EQ(fresh.lineDrawer.owner, nullptr);
  EXPECT_FALSE(fresh.running);
  EXPECT_EQ(fresh.active, 0);
  EXPECT_EQ(fresh.directInput, nullptr);
  EXPECT_EQ(fresh.keyboard, nullptr);
  EXPECT_EQ(fresh.directSound, nullptr);
  EXPECT_TRUE(layer::calls().empty());  // construction calls nothing
}

TEST_F(ScreenCreateTest, BringsUpTheWholeDisplayInOrder) {
  ASSERT_TRUE(createScreen());
  EXPECT_TRUE(screen->running);
  EXPECT_NE(screen->window, nullptr);
  EXPECT_NE(screen->surfaces.directDraw, nullptr);
  EXPECT_NE(screen->surfaces.primary, nullptr);
  EXPECT_NE(screen->surfaces.backBuffer, nullptr);
  EXPECT_NE(screen->directSound, nullptr);
  EXPECT_NE(screen->directInput, nullptr);
  EXPECT_NE(screen->keyboard, nullptr);
  EXPECT_EQ(screen->textWriter.owner, &screen->surfaces);
  EXPECT_EQ(screen->lineDrawer.owner, &screen->surfaces);
  EXPECT_EQ(screen->textWriter.backColor, 1u);
  EXPECT_EQ(screen->textWriter.textColor, 255u);
  EXPECT_NE(screen->textWriter.font, nullptr);
  EXPECT_NE(screen->textWriter.underlinedFont, nullptr);
  EXPECT_NE(screen->textWriter.font, screen->textWriter.underlinedFont);
  EXPECT_TRUE(layer::messageBoxes().empty());

  // The window was shown and activated during create, and the display is exclusive at 24 bits.
  EXPECT_NE(screen->active, 0);
  EXPECT_TRUE(layer::headless::isWindowShown(1));
  EXPECT_TRUE(layer::headless::isExclusive());
  EXPECT_EQ(displayDepth(screen->surfaces.directDraw), 24u);
  EXPECT_EQ(layer::surfaceLabel(screen->surfaces.primary), "primary");
  EXPECT_EQ(layer::surfaceLabel(screen->surfaces.backBuffer), "backbuffer");

  std::vector<std::string> expected = {
      "RegisterClassA",
      "CreateWindowExA",
      "ShowWindow",
      "UpdateWindow",
      "DirectDrawCreate",
      "IDirectDraw::SetCooperativeLevel",
      "IDirectDraw::SetDisplayMode",
      "IDirectDraw::CreateSurface",
      "IDirectDrawSurface::GetAttachedSurface",
      "DirectSoundCreate",
      "IDirectSound::SetCooperativeLevel",
      "IDirectSound::CreateSoundBuffer",
      "IDirectSoundBuffer::Play",
      "DirectInputCreateA",
      "IDirectInput::CreateDevice",
      "IDirectInputDevice::SetDataFormat",
      "IDirectInputDevice::SetCooperativeLevel",
      "IDirectInputDevice::Acquire",
      "CreateFontA",
      "CreateFontA",
  };
  EXPECT_EQ(callNames(expected), expected);
  EXPECT_EQ(layer::callTexts({"IDirectDraw::SetCooperativeLevel"}).front(),
            "IDirectDraw::SetCooperativeLevel(directdraw#1, window#1, 0x13)");
  EXPECT_EQ(layer::callTexts({"IDirectDraw::SetDisplayMode"}).front(),
            "IDirectDraw::SetDisplayMode(directdraw#1, 640, 480, 24)");
}

TEST_F(ScreenCreateTest, AWindowThatCannotBeMadeEndsCreateSilently) {
  layer::headless::setDisplayAvailable(false);
  EXPECT_FALSE(createScreen());
  EXPECT_EQ(screen->window, nullptr);
  EXPECT_FALSE(screen->running);
  EXPECT_TRUE(layer::messageBoxes().empty());
  EXPECT_EQ(layer::countCalls("DirectDrawCreate"), 0u);
  EXPECT_EQ(layer::liveDirectDrawCount(), 0);
  EXPECT_EQ(layer::countCalls("ShowWindow"), 0u);
}

struct FailureRow {
  const char *failingCall;
  HRESULT result;
  const char *text;
  const char *caption;  // null: the box has none
  std::vector<std::string> releasesAndBox;
};

class ScreenCreateFailureTest : public ScreenTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(ScreenCreateFailureTest, ShowsItsBoxReleasesInOrderAndLeavesNothing) {
  const FailureRow &row = GetParam();
  layer::injectFault(row.failingCall, row.result);
  screen->running = true;  // to see whether create clears it
  EXPECT_FALSE(createScreen());

  ASSERT_EQ(layer::messageBoxes().size(), 1u);
  const layer::MessageBoxRecord &box = layer::messageBoxes().front();
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.text, row.text);
  if (row.caption) {
    EXPECT_FALSE(box.captionNull);
    EXPECT_EQ(box.caption, row.caption);
  } else {
    EXPECT_TRUE(box.captionNull);
  }
  EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(callNames(kReleasesAndBoxes), row.releasesAndBox);

  // Nothing of the display is left, and the devices never came up.
  EXPECT_EQ(screen->surfaces.directDraw, nullptr);
  EXPECT_EQ(screen->surfaces.primary, nullptr);
  EXPECT_EQ(screen->surfaces.backBuffer, nullptr);
  EXPECT_EQ(layer::liveDirectDrawCount(), 0);
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
  EXPECT_EQ(screen->directSound, nullptr);
  EXPECT_EQ(screen->directInput, nullptr);
  EXPECT_EQ(screen->keyboard, nullptr);
  EXPECT_EQ(layer::countCalls("DirectSoundCreate"), 0u);
  EXPECT_EQ(layer::countCalls("DirectInputCreateA"), 0u);
  EXPECT_EQ(layer::countCalls("CreateFontA"), 0u);
  EXPECT_NE(screen->window, nullptr);  // the window stays
  // Only a failed DirectDrawCreate stops the Screen; the other paths leave the flag as it was.
  bool stopped = std::string(row.failingCall) == "DirectDrawCreate";
  EXPECT_EQ(screen->running, !stopped);

  layer::clearCalls();
  screen.reset();
  EXPECT_EQ(layer::countCalls("IDirectDraw::Release"), 0u);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Release"), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, ScreenCreateFailureTest,
                         ::testing::Values(FailureRow{"DirectDrawCreate",
                                                      DDERR_GENERIC,
                                                      "Couldnt Create DirectX Object! Error: Terminating!",
                                                      "Error!!!",
                                                      {"MessageBoxA"}},
                                           FailureRow{"IDirectDraw::SetCooperativeLevel",
                                                      DDERR_EXCLUSIVEMODEALREADYSET,
                                                      "Couldnt Set Cooperative Level, Fatal Error Aborting",
                                                      "Error",
                                                      {"IDirectDraw::Release", "MessageBoxA"}},
                                           FailureRow{"IDirectDraw::SetDisplayMode",
                                                      DDERR_UNSUPPORTED,
                                                      "Error Setting Display Mode",
                                                      nullptr,
                                                      {"MessageBoxA", "IDirectDraw::Release"}},
                                           FailureRow{"IDirectDraw::CreateSurface",
                                                      DDERR_OUTOFVIDEOMEMORY,
                                                      "Couldnt Set Surfaces! Fatal Error! DirectX is jacked Man",
                                                      "Broken Software :(",
                                                      {"IDirectDraw::Release", "MessageBoxA"}},
                                           FailureRow{"IDirectDrawSurface::GetAttachedSurface",
                                                      DDERR_NOTFOUND,
                                                      "Couldnt Set Surfaces! Fatal Error! DirectX is jacked Man",
                                                      "Broken Software :(",
                                                      {"IDirectDrawSurface::Release", "IDirectDraw::Release",
                                                       "MessageBoxA"}}));

TEST_F(ScreenCreateTest, ARefusedCooperativeLevelLeavesTheDisplayModeAlone) {
  layer::injectFault("IDirectDraw::SetCooperativeLevel", DDERR_EXCLUSIVEMODEALREADYSET);
  EXPECT_FALSE(createScreen());
  EXPECT_EQ(layer::countCalls("IDirectDraw::SetDisplayMode"), 0u);
  EXPECT_FALSE(layer::headless::isExclusive());
}

TEST_F(ScreenCreateTest, ARefusedBackBufferReleasesThePrimaryFirst) {
  layer::injectFault("IDirectDrawSurface::GetAttachedSurface", DDERR_NOTFOUND);
  EXPECT_FALSE(createScreen());
  std::vector<std::string> releases = layer::callTexts({"IDirectDrawSurface::Release", "IDirectDraw::Release"});
  ASSERT_EQ(releases.size(), 2u);
  EXPECT_EQ(releases[0], "IDirectDrawSurface::Release(primary)");
}

TEST_F(ScreenCreateTest, ModesAskForTheirDepths) {
  const struct {
    ScreenMode mode;
    DWORD depth;
  } cases[] = {{0, 8}, {1, 16}, {2, 24}, {3, 32}};
  for (const auto &c : cases) {
    SetUp();
    ASSERT_TRUE(createScreen(c.mode)) << c.mode;
    EXPECT_EQ(displayDepth(screen->surfaces.directDraw), c.depth) << c.mode;
    EXPECT_EQ(layer::countCalls("GetDeviceCaps"), 0u) << c.mode;
    TearDown();
  }
}

TEST_F(ScreenCreateTest, DesktopModeReadsTheScreenDepthAfterShowingTheWindow) {
  layer::headless::setDesktopDepth(16);
  ASSERT_TRUE(createScreen(4));
  EXPECT_EQ(displayDepth(screen->surfaces.directDraw), 16u);
  EXPECT_EQ(layer::callTexts({"IDirectDraw::SetDisplayMode"}).front(),
            "IDirectDraw::SetDisplayMode(directdraw#1, 640, 480, 16)");
  std::vector<std::string> order = {
      "UpdateWindow", "GetDC", "GetDeviceCaps", "ReleaseDC", "DirectDrawCreate", "IDirectDraw::SetDisplayMode"};
  EXPECT_EQ(callNames(order), order);
  EXPECT_EQ(layer::callTexts({"GetDC"}).front(), "GetDC(NULL)");
}

TEST_F(ScreenCreateTest, AModeBeyondTheTableCannotBeSet) {
  EXPECT_FALSE(createScreen(7));
  ASSERT_EQ(layer::messageBoxes().size(), 1u);
  EXPECT_EQ(layer::messageBoxes().front().text, "Error Setting Display Mode");
  EXPECT_EQ(layer::callTexts({"IDirectDraw::SetDisplayMode"}).front(),
            "IDirectDraw::SetDisplayMode(directdraw#1, 640, 480, 0)");
  EXPECT_EQ(layer::liveDirectDrawCount(), 0);
}

TEST_F(ScreenCreateTest, AClassLeftFromBeforeDoesNotStopCreate) {
  WNDCLASSA earlier;
  std::memset(&earlier, 0, sizeof(earlier));
  earlier.lpfnWndProc = windowProc;
  earlier.lpszClassName = "Corvane";
  ASSERT_NE(RegisterClassA(&earlier), 0);
  EXPECT_TRUE(createScreen());
  EXPECT_EQ(layer::countCalls("RegisterClassA"), 2u);
}

TEST_F(ScreenCreateTest, DestroyingTheScreenReleasesBackBufferPrimaryAndDirectDraw) {
  ASSERT_TRUE(createScreen());
  layer::clearCalls();
  screen.reset();
  EXPECT_EQ(layer::callTexts({"IDirectDrawSurface::Release", "IDirectDraw::Release"}),
            (std::vector<std::string>{"IDirectDrawSurface::Release(backbuffer)", "IDirectDrawSurface::Release(primary)",
                                      "IDirectDraw::Release(directdraw#1)"}));
  EXPECT_EQ(layer::liveSurfaceCount(), 0);
  EXPECT_EQ(layer::liveDirectDrawCount(), 0);
  // The devices and the window are not the Screen's to release at exit.
  EXPECT_EQ(layer::countCalls("IDirectSound::Release"), 0u);
  EXPECT_EQ(layer::countCalls("DestroyWindow"), 0u);
}

TEST_F(ScreenCreateTest, ReleasingTheSurfacesTwiceReleasesOnce) {
  ASSERT_TRUE(createScreen());
  screen->surfaces.release();
  EXPECT_EQ(screen->surfaces.directDraw, nullptr);
  EXPECT_EQ(screen->surfaces.primary, nullptr);
  EXPECT_EQ(screen->surfaces.backBuffer, nullptr);
  layer::clearCalls();
  screen->surfaces.release();
  EXPECT_TRUE(layer::callTexts({"IDirectDraw"}).empty());
}

// A 2x2 24-bit bitmap file, bottom row first.
void writeBitmap(const std::string &path) {
  const unsigned char file[] = {'B', 'M', 70,  0,   0,   0,   0, 0, 0, 0, 54, 0, 0, 0,  // file header
                                40,  0,   0,   0,   2,   0,   0, 0, 2, 0, 0,  0, 1, 0, 24, 0,
                                0,   0,   0,   0,   16,  0,   0, 0,                            // info header
                                0,   0,   0,   0,   0,   0,   0, 0, 0, 0, 0,  0, 0, 0, 0,  0,  //
                                0,   0,   255, 0,   255, 0,   0, 0,                            // red, green
                                255, 0,   0,   255, 255, 255, 0, 0};                           // blue, white
  FILE *out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(file, 1, sizeof(file), out);
  std::fclose(out);
}

TEST_F(ScreenCreateTest, LoadGraphicLoadsThroughTheScreensSurfaces) {
  ASSERT_TRUE(createScreen());
  // Short enough for the picture's 49-character name.
  std::string path = "/tmp/corvane_screen_" + std::to_string(getpid()) + ".bmp";
  writeBitmap(path);
  {
    Graphic graphic;
    EXPECT_TRUE(screen->loadGraphic(graphic, path.c_str()));
    EXPECT_EQ(graphic.owner, &screen->surfaces);
    EXPECT_NE(graphic.surface, nullptr);
    EXPECT_EQ(graphic.width, 2);
    EXPECT_EQ(graphic.height, 2);

    Graphic missing;
    EXPECT_FALSE(screen->loadGraphic(missing, "no such picture.bmp"));
    EXPECT_EQ(missing.owner, &screen->surfaces);
    EXPECT_EQ(missing.surface, nullptr);
  }
  std::remove(path.c_str());
}

}  // namespace

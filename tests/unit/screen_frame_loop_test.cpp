// The frame loop: messages before frames, the running flag tested before
// each message and each frame, WM_QUIT and failed takes, waiting while
// inactive, and the clear and flip around each frame.
#include <string>

#include "screen_fixture.h"

namespace {

class ScreenFrameLoopTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    frames = 0;
    stopAfterFrames = 1;
    ASSERT_TRUE(createScreen());
    drainQueue();
  }

  // Handles what create left in the queue, so that each test starts empty.
  void drainQueue() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    layer::clearCalls();
  }

  void post(UINT message, WPARAM wParam) { ASSERT_TRUE(PostMessageA(screen->window, message, wParam, 0)); }

  // Counts frames and stops the Screen after `stopAfterFrames` of them.
  static void countingFrame() {
    ++frames;
    if (frames >= stopAfterFrames) current->stop();
  }

  static inline int frames = 0;
  static inline int stopAfterFrames = 1;
};

TEST_F(ScreenFrameLoopTest, HandlesEveryWaitingMessageBeforeTheNextFrame) {
  std::vector<WPARAM> seenBeforeFirstFrame;
  onMessage = [&](UINT message, WPARAM wParam) {
    if (message == WM_USER && frames == 0) seenBeforeFirstFrame.push_back(wParam);
  };
  post(WM_USER, 1);
  post(WM_USER, 2);
  post(WM_USER, 3);
  EXPECT_EQ(screen->run(countingFrame), 3);
  EXPECT_EQ(seenBeforeFirstFrame, (std::vector<WPARAM>{1, 2, 3}));
  EXPECT_EQ(frames, 1);
  // One message a turn: a peek, a take, a translation and a dispatch each.
  std::vector<std::string> names = {"PeekMessageA", "GetMessageA", "TranslateMessage", "DispatchMessageA"};
  std::vector<std::string> oneTurn = names;
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), oneTurn.begin(), oneTurn.end());
  expected.push_back("PeekMessageA");  // the empty queue, then the frame
  EXPECT_EQ(callNames(names), expected);
}

TEST_F(ScreenFrameLoopTest, AFrameIsClearCallbackFlip) {
  stopAfterFrames = 2;
  EXPECT_EQ(screen->run([] {
    OutputDebugStringA("frame\n");
    countingFrame();
  }),
            0);
  std::vector<std::string> names = {"IDirectDrawSurface::Blt", "OutputDebugStringA", "IDirectDrawSurface::Flip"};
  EXPECT_EQ(callNames(names),
            (std::vector<std::string>{"IDirectDrawSurface::Blt", "OutputDebugStringA", "IDirectDrawSurface::Flip",
                                      "IDirectDrawSurface::Blt", "OutputDebugStringA", "IDirectDrawSurface::Flip"}));
  EXPECT_EQ(layer::headless::presentedCount(), 2u);
}

TEST_F(ScreenFrameLoopTest, StopInTheWindowProcedureEndsAfterThatMessage) {
  onMessage = [](UINT message, WPARAM) {
    if (message == WM_KEYDOWN) current->stop();
  };
  post(WM_KEYDOWN, VK_ESCAPE);
  post(WM_USER, 99);
  EXPECT_EQ(screen->run(countingFrame), VK_ESCAPE);
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Flip"), 0u);
  EXPECT_EQ(layer::countCalls("DispatchMessageA"), 1u);
  // The later message was never taken, and the devices were released.
  MSG left;
  ASSERT_TRUE(PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(left.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(screen->keyboard, nullptr);
  EXPECT_EQ(screen->directInput, nullptr);
  EXPECT_EQ(screen->directSound, nullptr);
}

TEST_F(ScreenFrameLoopTest, AFrameThatStopsIsStillFlipped) {
  EXPECT_EQ(screen->run(countingFrame), 0);
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Flip"), 1u);
  EXPECT_EQ(layer::headless::presentedCount(), 1u);
  EXPECT_EQ(screen->directSound, nullptr);  // released once the flag was found cleared
  std::vector<std::string> order = {"IDirectDrawSurface::Flip", "IDirectInputDevice::Unacquire"};
  EXPECT_EQ(callNames(order), order);
}

TEST_F(ScreenFrameLoopTest, AQuitReturnsItsCodeAtOnceWithoutReleasingDevices) {
  for (int code : {0, 5}) {
    PostQuitMessage(code);
    EXPECT_EQ(screen->run(countingFrame), code);
    EXPECT_TRUE(screen->running);
    EXPECT_EQ(frames, 0);
    EXPECT_NE(screen->directSound, nullptr);
    EXPECT_NE(screen->keyboard, nullptr);
    EXPECT_EQ(layer::countCalls("DispatchMessageA"), 0u);
    EXPECT_EQ(layer::countCalls("IDirectInputDevice::Unacquire"), 0u);
  }
}

TEST_F(ScreenFrameLoopTest, AFailedTakeIsDispatchedLikeAMessage) {
  int dispatched = 0;
  onMessage = [&dispatched](UINT message, WPARAM wParam) {
    if (message == WM_USER && wParam == 7) ++dispatched;
  };
  post(WM_USER, 7);
  layer::injectFault("GetMessageA", ERROR_INVALID_PARAMETER);
  EXPECT_EQ(screen->run(countingFrame), 7);
  // The failed take dispatched the peeked record; the next turn took the message itself.
  EXPECT_EQ(dispatched, 2);
  EXPECT_EQ(layer::countCalls("GetMessageA"), 2u);
  EXPECT_EQ(frames, 1);
}

TEST_F(ScreenFrameLoopTest, AnInactiveLoopWaitsForEachMessage) {
  screen->active = 0;
  int waits = 0;
  layer::headless::setIdleHook([&waits, this] {
    ++waits;
    // Two messages that leave the loop inactive, then the activation.
    PostMessageA(screen->window, waits < 3 ? WM_USER : WM_ACTIVATEAPP, waits < 3 ? 10 : 1, 0);
  });
  EXPECT_EQ(screen->run(countingFrame), 1);  // WM_ACTIVATEAPP's wParam was the last taken
  EXPECT_EQ(waits, 3);
  EXPECT_EQ(layer::countCalls("WaitMessage"), 3u);
  EXPECT_EQ(frames, 1);
  // Nothing was drawn while waiting: the one clear and flip came after the activation.
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Blt"), 1u);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Flip"), 1u);
}

TEST_F(ScreenFrameLoopTest, DeactivationStopsTheFrames) {
  stopAfterFrames = 1000;
  onMessage = [](UINT message, WPARAM wParam) {
    if (message == WM_USER && wParam == 2) current->stop();
  };
  int waits = 0;
  layer::headless::setIdleHook([&waits, this] {
    ++waits;
    PostMessageA(screen->window, WM_USER, 2, 0);
  });
  layer::headless::setPresentHook([](size_t presented) {
    if (presented == 3) layer::headless::focus(false);
  });
  EXPECT_EQ(screen->run(countingFrame), 2);
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(waits, 1);
}

TEST_F(ScreenFrameLoopTest, AFailedFlipRestoresThePrimaryOnce) {
  stopAfterFrames = 2;
  layer::injectFault("IDirectDrawSurface::Flip", DDERR_SURFACELOST);
  EXPECT_EQ(screen->run(countingFrame), 0);
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(layer::callTexts({"IDirectDrawSurface::Restore"}),
            std::vector<std::string>{"IDirectDrawSurface::Restore(primary)"});
  EXPECT_EQ(layer::headless::presentedCount(), 1u);  // the second frame flipped
}

TEST_F(ScreenFrameLoopTest, ALostPrimaryIsRestoredAndTheLoopCarriesOn) {
  stopAfterFrames = 3;
  layer::loseSurface(screen->surfaces.primary);
  EXPECT_EQ(screen->run(countingFrame), 0);
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Restore"), 1u);
  EXPECT_EQ(layer::headless::presentedCount(), 2u);
}

TEST_F(ScreenFrameLoopTest, ClearFillsTheBackBufferWithZero) {
  layer::SurfaceImage image = layer::readSurface(screen->surfaces.backBuffer);
  for (uint8_t &byte : image.bytes) byte = 0xA5;
  layer::writeSurface(screen->surfaces.backBuffer, image);
  screen->clearEffects.dwDDFX = 0x1234;  // scratch: rewritten by the clear

  EXPECT_EQ(screen->clearBackBuffer(), DD_OK);
  image = layer::readSurface(screen->surfaces.backBuffer);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) ASSERT_EQ(image.pixel(x, y), 0u) << x << "," << y;
  EXPECT_EQ(screen->clearEffects.dwSize, sizeof(DDBLTFX));
  EXPECT_EQ(screen->clearEffects.dwFillColor, 0u);
  EXPECT_EQ(screen->clearEffects.dwDDFX, 0u);
}

TEST_F(ScreenFrameLoopTest, AFailedClearIsReturnedAndNotRestored) {
  layer::injectFault("IDirectDrawSurface::Blt", DDERR_SURFACELOST);
  EXPECT_EQ(screen->clearBackBuffer(), DDERR_SURFACELOST);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Restore"), 0u);

  // In the loop the frame goes on all the same.
  layer::injectFault("IDirectDrawSurface::Blt", DDERR_SURFACELOST);
  EXPECT_EQ(screen->run(countingFrame), 0);
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(layer::countCalls("IDirectDrawSurface::Flip"), 1u);
}

TEST_F(ScreenFrameLoopTest, ALoopStartedStoppedReleasesAndReturnsZero) {
  screen->stop();
  EXPECT_EQ(screen->run(countingFrame), 0);
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(layer::countCalls("PeekMessageA"), 0u);
  EXPECT_EQ(screen->directSound, nullptr);
}

}  // namespace

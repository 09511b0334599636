// Message boxes, the cursor's display counter, screen device contexts and
// the desktop window.
#include <gtest/gtest.h>
#include <windows.h>

#include "host/headless/headless_host.h"
#include "layer_test.h"
#include "user/user_internal.h"

namespace {

class UserBoxes : public ::testing::Test {
 protected:
  void SetUp() override { layer::reset(); }
  void TearDown() override { layer::reset(); }
};

TEST_F(UserBoxes, MessageBoxIsRecordedWrittenAndAnsweredOk) {
  testing::internal::CaptureStderr();
  int answer =
      MessageBoxA(nullptr, "Couldnt Set Cooperative Level, Fatal Error Aborting", "Error", MB_OK | MB_ICONERROR);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Couldnt Set Cooperative Level, Fatal Error Aborting\n");
  EXPECT_EQ(answer, IDOK);
  ASSERT_EQ(layer::messageBoxes().size(), 1u);
  const layer::MessageBoxRecord &box = layer::messageBoxes()[0];
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.text, "Couldnt Set Cooperative Level, Fatal Error Aborting");
  EXPECT_EQ(box.caption, "Error");
  EXPECT_FALSE(box.captionNull);
  EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(layer::countCalls("MessageBoxA"), 1u);
}

TEST_F(UserBoxes, NullCaptionShowsThePlatformsDefault) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "Error Setting Display Mode", nullptr, MB_ICONERROR), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Error Setting Display Mode\n");
  ASSERT_EQ(layer::messageBoxes().size(), 1u);
  EXPECT_TRUE(layer::messageBoxes()[0].captionNull);
  EXPECT_EQ(layer::messageBoxes()[0].caption, "(null)");
}

TEST_F(UserBoxes, FailedMessageBoxShowsNothing) {
  layer::injectFault("MessageBoxA", E_OUTOFMEMORY);
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK), 0);
  HWND stale = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7777));
  EXPECT_EQ(MessageBoxA(stale, "text", "caption", MB_OK), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(layer::messageBoxes().empty());
}

TEST_F(UserBoxes, CursorCounterHidesBelowZero) {
  EXPECT_EQ(layer::cursorCounter(), 0);
  EXPECT_TRUE(layer::headless::cursorVisible());
  EXPECT_EQ(ShowCursor(FALSE), -1);
  EXPECT_FALSE(layer::headless::cursorVisible());
  EXPECT_EQ(ShowCursor(FALSE), -2);
  EXPECT_EQ(ShowCursor(TRUE), -1);
  EXPECT_FALSE(layer::headless::cursorVisible());
  EXPECT_EQ(ShowCursor(TRUE), 0);
  EXPECT_TRUE(layer::headless::cursorVisible());
  EXPECT_EQ(ShowCursor(TRUE), 1);
  EXPECT_EQ(layer::cursorCounter(), 1);
  layer::reset();
  EXPECT_EQ(layer::cursorCounter(), 0);
}

TEST_F(UserBoxes, ScreenDcHasTheDesktopsDepthAndIsGivenBackOnce) {
  layer::headless::setDesktopDepth(16);
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 0);

  layer::reset();
  HDC again = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(again, BITSPIXEL), 32);
  EXPECT_EQ(ReleaseDC(nullptr, again), 1);
}

TEST_F(UserBoxes, ReleaseDcLeavesOtherDcsAlone) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(ReleaseDC(nullptr, memory), 0);
  EXPECT_TRUE(DeleteDC(memory));  // still alive
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST_F(UserBoxes, DesktopIsNoProgramWindow) {
  HWND desktop = GetDesktopWindow();
  EXPECT_NE(desktop, nullptr);
  EXPECT_EQ(GetDesktopWindow(), desktop);
  EXPECT_TRUE(IsWindow(desktop));
  EXPECT_EQ(layer::user::hostWindowId(desktop), 0);
  EXPECT_NE(GetForegroundWindow(), desktop);
  HDC dc = GetDC(desktop);
  EXPECT_NE(dc, nullptr);
  EXPECT_EQ(ReleaseDC(desktop, dc), 1);
}

}  // namespace

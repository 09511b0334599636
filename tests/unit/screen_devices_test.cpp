// The sound and keyboard devices of the Screen: how they come up during
// create, how each failure leaves them, and their release.
#include <string>

#include "screen_fixture.h"

namespace {

using ScreenDevicesTest = ScreenTest;

TEST_F(ScreenDevicesTest, SoundPlaysThePrimaryBufferForTheForegroundWindow) {
  ASSERT_TRUE(createScreen());
  ASSERT_NE(screen->directSound, nullptr);
  EXPECT_TRUE(layer::headless::isAudioOpen());
  EXPECT_EQ(layer::callTexts({"DirectSoundCreate"}), std::vector<std::string>{"DirectSoundCreate(NULL)"});
  EXPECT_EQ(layer::callTexts({"IDirectSound::SetCooperativeLevel"}).front(),
            "IDirectSound::SetCooperativeLevel(directsound#1, window#1, 2)");
  EXPECT_EQ(layer::callTexts({"IDirectSound::CreateSoundBuffer"}).front(),
            "IDirectSound::CreateSoundBuffer(directsound#1, flags 0x1)");
  EXPECT_EQ(layer::callTexts({"IDirectSoundBuffer::Play"}).front(),
            "IDirectSoundBuffer::Play(primarybuffer#1, 0, 0, 0x1)");
  // The foreground window is asked for, not the Screen's own.
  EXPECT_EQ(layer::countCalls("GetForegroundWindow"), 1u);
  EXPECT_EQ(layer::countCalls("GetDesktopWindow"), 0u);
}

TEST_F(ScreenDevicesTest, WithoutAForegroundWindowSoundCooperatesWithTheDesktop) {
  layer::injectFault("GetForegroundWindow", ERROR_SUCCESS);
  ASSERT_TRUE(createScreen());
  EXPECT_NE(screen->directSound, nullptr);
  EXPECT_EQ(layer::callTexts({"IDirectSound::SetCooperativeLevel"}).front(),
            "IDirectSound::SetCooperativeLevel(directsound#1, desktop, 2)");
}

TEST_F(ScreenDevicesTest, NoSoundDeviceStillCreates) {
  layer::headless::setAudioAvailable(false);
  ASSERT_TRUE(createScreen());
  EXPECT_TRUE(screen->running);
  EXPECT_EQ(screen->directSound, nullptr);
  EXPECT_TRUE(layer::messageBoxes().empty());
  EXPECT_NE(screen->keyboard, nullptr);  // the keyboard comes up all the same
  EXPECT_EQ(layer::countCalls("IDirectSound::SetCooperativeLevel"), 0u);
  EXPECT_FALSE(screen->initSound());
}

// Each later failure of the sound set-up releases the device before the Screen goes on.
TEST_F(ScreenDevicesTest, AFailedSoundStepReleasesTheDevice) {
  for (const char *failing : {"IDirectSound::SetCooperativeLevel", "IDirectSound::CreateSoundBuffer"}) {
    SetUp();
    layer::injectFault(failing, DSERR_INVALIDPARAM);
    ASSERT_TRUE(createScreen()) << failing;
    EXPECT_EQ(screen->directSound, nullptr) << failing;
    EXPECT_FALSE(layer::headless::isAudioOpen()) << failing;
    std::vector<std::string> order = {failing, "IDirectSound::Release", "DirectInputCreateA"};
    EXPECT_EQ(callNames(order), order) << failing;
    EXPECT_EQ(layer::countCalls("IDirectSoundBuffer::Play"), 0u) << failing;
    EXPECT_TRUE(layer::messageBoxes().empty()) << failing;
    TearDown();
  }
}

TEST_F(ScreenDevicesTest, KeyboardIsAcquiredNonExclusivelyInTheForeground) {
  ASSERT_TRUE(createScreen());
  EXPECT_EQ(layer::callTexts({"DirectInputCreateA", "IDirectInput", "IDirectInputDevice"}),
            (std::vector<std::string>{"DirectInputCreateA(instance, 0x0700)",
                                      "IDirectInput::CreateDevice(directinput#1, GUID_SysKeyboard)",
                                      "IDirectInputDevice::SetDataFormat(keyboard#1, c_dfDIKeyboard)",
                                      "IDirectInputDevice::SetCooperativeLevel(keyboard#1, window#1, 0x6)",
                                      "IDirectInputDevice::Acquire(keyboard#1)"}));
  EXPECT_EQ(layer::callTexts({"GetModuleHandleA"}).back(), "GetModuleHandleA(NULL)");
  // Acquired: its state can be read.
  BYTE keys[256];
  EXPECT_EQ(screen->keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
}

TEST_F(ScreenDevicesTest, NoDirectInputStillCreates) {
  layer::injectFault("DirectInputCreateA", DIERR_GENERIC);
  ASSERT_TRUE(createScreen());
  EXPECT_EQ(screen->directInput, nullptr);
  EXPECT_EQ(screen->keyboard, nullptr);
  EXPECT_EQ(layer::countCalls("IDirectInput::CreateDevice"), 0u);
  EXPECT_NE(screen->directSound, nullptr);

  layer::clearCalls();
  screen->releaseDevices();
  EXPECT_EQ(layer::callTexts({"IDirectInput", "IDirectSound"}),
            std::vector<std::string>{"IDirectSound::Release(directsound#1)"});
}

TEST_F(ScreenDevicesTest, NoKeyboardDeviceSkipsItsSteps) {
  layer::injectFault("IDirectInput::CreateDevice", DIERR_DEVICENOTREG);
  ASSERT_TRUE(createScreen());
  EXPECT_NE(screen->directInput, nullptr);
  EXPECT_EQ(screen->keyboard, nullptr);
  EXPECT_TRUE(layer::callTexts({"IDirectInputDevice"}).empty());

  layer::clearCalls();
  screen->releaseDevices();
  EXPECT_EQ(screen->directInput, nullptr);
  EXPECT_EQ(callNames({"IDirectInputDevice::Unacquire", "IDirectInputDevice::Release", "IDirectInput::Release"}),
            std::vector<std::string>{"IDirectInput::Release"});
}

TEST_F(ScreenDevicesTest, AFailedDataFormatLeavesTheKeyboardAsFarAsItCame) {
  layer::injectFault("IDirectInputDevice::SetDataFormat", DIERR_INVALIDPARAM);
  ASSERT_TRUE(createScreen());
  ASSERT_NE(screen->keyboard, nullptr);
  EXPECT_EQ(layer::countCalls("IDirectInputDevice::SetCooperativeLevel"), 1u);
  EXPECT_EQ(layer::countCalls("IDirectInputDevice::Acquire"), 1u);
  BYTE keys[256];
  EXPECT_EQ(screen->keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
}

TEST_F(ScreenDevicesTest, ReleaseGoesKeyboardThenDirectInputThenSoundAndForgetsThem) {
  ASSERT_TRUE(createScreen());
  layer::clearCalls();
  screen->releaseDevices();
  EXPECT_EQ(
      layer::callTexts({"IDirectInput", "IDirectSound"}),
      (std::vector<std::string>{"IDirectInputDevice::Unacquire(keyboard#1)", "IDirectInputDevice::Release(keyboard#1)",
                                "IDirectInput::Release(directinput#1)", "IDirectSound::Release(directsound#1)"}));
  EXPECT_EQ(screen->keyboard, nullptr);
  EXPECT_EQ(screen->directInput, nullptr);
  EXPECT_EQ(screen->directSound, nullptr);
  EXPECT_FALSE(layer::headless::isAudioOpen());

  // A second release finds nothing left.
  layer::clearCalls();
  screen->releaseDevices();
  EXPECT_TRUE(layer::callTexts({"IDirectInput", "IDirectSound"}).empty());
}

TEST_F(ScreenDevicesTest, KeysReachTheProgramOnlyAsMessages) {
  ASSERT_TRUE(createScreen());
  int keyDowns = 0;
  onMessage = [&keyDowns](UINT message, WPARAM) { keyDowns += message == WM_KEYDOWN; };
  layer::headless::pressKey('B');
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_EQ(keyDowns, 1);
  EXPECT_EQ(layer::countCalls("IDirectInputDevice::GetDeviceState"), 0u);
}

}  // namespace

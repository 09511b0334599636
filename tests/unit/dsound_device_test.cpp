// DirectSound: the default device holds the host's audio open while it
// lives, cooperative levels need a real window, and only the primary buffer
// is offered, playing in a loop.
#include <dsound.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstring>

#include "host/headless/headless_host.h"
#include "layer_test.h"
#include "support/test_window.h"

namespace {

class DirectSoundTest : public ::testing::Test {
 protected:
  void SetUp() override { layer::reset(); }
  void TearDown() override { layer::reset(); }

  HWND makeWindow() { return testsupport::makePopupWindow("sound", 64, 64); }

  static DSBUFFERDESC primaryDescription() {
    DSBUFFERDESC description;
    std::memset(&description, 0, sizeof(description));
    description.dwSize = sizeof(DSBUFFERDESC);
    description.dwFlags = DSBCAPS_PRIMARYBUFFER;
    return description;
  }

  // A device with its cooperative level set for the desktop.
  IDirectSound *prioritySound() {
    IDirectSound *sound = nullptr;
    EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    if (sound) {
      EXPECT_EQ(sound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
    }
    return sound;
  }
};

TEST_F(DirectSoundTest, TheDeviceHoldsTheAudioOutputWhileItLives) {
  IDirectSound *first = nullptr, *second = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &first, nullptr), DS_OK);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(layer::headless::isAudioOpen());
  ASSERT_EQ(DirectSoundCreate(nullptr, &second, nullptr), DS_OK);

  first->AddRef();
  EXPECT_EQ(first->Release(), 1u);
  EXPECT_EQ(first->Release(), 0u);
  EXPECT_TRUE(layer::headless::isAudioOpen());  // the second device still plays
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_FALSE(layer::headless::isAudioOpen());
}

TEST_F(DirectSoundTest, CreationFailures) {
  IDirectSound *sound = reinterpret_cast<IDirectSound *>(1);
  EXPECT_EQ(DirectSoundCreate(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);

  GUID someDevice = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(DirectSoundCreate(&someDevice, &sound, nullptr), DSERR_NODRIVER);
  EXPECT_EQ(sound, nullptr);

  IDirectSound *outer = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &outer, nullptr), DS_OK);
  EXPECT_EQ(DirectSoundCreate(nullptr, &sound, outer), DSERR_NOAGGREGATION);
  EXPECT_EQ(sound, nullptr);
  outer->Release();

  layer::headless::setAudioAvailable(false);
  EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DSERR_NODRIVER);
  EXPECT_EQ(sound, nullptr);
  EXPECT_FALSE(layer::headless::isAudioOpen());
}

TEST_F(DirectSoundTest, AnInjectedFaultOpensNothing) {
  layer::injectFault("DirectSoundCreate", DSERR_ALLOCATED);
  IDirectSound *sound = nullptr;
  EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DSERR_ALLOCATED);
  EXPECT_EQ(sound, nullptr);
  EXPECT_FALSE(layer::headless::isAudioOpen());
  EXPECT_EQ(layer::countCalls("DirectSoundCreate"), 1u);
}

TEST_F(DirectSoundTest, CooperativeLevelNeedsAWindowAndALevel) {
  IDirectSound *sound = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
  HWND window = makeWindow();
  ASSERT_NE(window, nullptr);

  EXPECT_EQ(sound->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DSERR_INVALIDPARAM);
  EXPECT_EQ(sound->SetCooperativeLevel(reinterpret_cast<HWND>(0x12345), DSSCL_PRIORITY), DSERR_INVALIDPARAM);
  EXPECT_EQ(sound->SetCooperativeLevel(window, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(sound->SetCooperativeLevel(window, DSSCL_WRITEPRIMARY + 1), DSERR_INVALIDPARAM);
  EXPECT_EQ(sound->SetCooperativeLevel(window, DSSCL_PRIORITY), DS_OK);
  EXPECT_EQ(sound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);

  DestroyWindow(window);
  EXPECT_EQ(sound->SetCooperativeLevel(window, DSSCL_PRIORITY), DSERR_INVALIDPARAM);
  auto calls = layer::callTexts({"IDirectSound::SetCooperativeLevel"});
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[5], "IDirectSound::SetCooperativeLevel(directsound#1, desktop, 2)");
  sound->Release();
}

TEST_F(DirectSoundTest, ThePrimaryBufferNeedsALevelAndAPlainDescription) {
  IDirectSound *sound = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
  IDirectSoundBuffer *buffer = nullptr;
  DSBUFFERDESC description = primaryDescription();
  EXPECT_EQ(sound->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_PRIOLEVELNEEDED);
  EXPECT_EQ(buffer, nullptr);
  ASSERT_EQ(sound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);

  EXPECT_EQ(sound->CreateSoundBuffer(nullptr, &buffer, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(sound->CreateSoundBuffer(&description, nullptr, nullptr), DSERR_INVALIDPARAM);

  DSBUFFERDESC wrongSize = primaryDescription();
  wrongSize.dwSize = sizeof(DSBUFFERDESC) + 4;
  EXPECT_EQ(sound->CreateSoundBuffer(&wrongSize, &buffer, nullptr), DSERR_INVALIDPARAM);
  wrongSize.dwSize = 0;
  EXPECT_EQ(sound->CreateSoundBuffer(&wrongSize, &buffer, nullptr), DSERR_INVALIDPARAM);

  DSBUFFERDESC sized = primaryDescription();
  sized.dwBufferBytes = 4096;
  EXPECT_EQ(sound->CreateSoundBuffer(&sized, &buffer, nullptr), DSERR_INVALIDPARAM);
  WAVEFORMATEX wave;
  std::memset(&wave, 0, sizeof(wave));
  DSBUFFERDESC formatted = primaryDescription();
  formatted.lpwfxFormat = &wave;
  EXPECT_EQ(sound->CreateSoundBuffer(&formatted, &buffer, nullptr), DSERR_INVALIDPARAM);

  DSBUFFERDESC secondary = primaryDescription();
  secondary.dwFlags = DSBCAPS_STATIC;
  secondary.dwBufferBytes = 4096;
  secondary.lpwfxFormat = &wave;
  EXPECT_EQ(sound->CreateSoundBuffer(&secondary, &buffer, nullptr), DSERR_UNSUPPORTED);
  EXPECT_EQ(buffer, nullptr);

  EXPECT_EQ(sound->CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
  ASSERT_NE(buffer, nullptr);
  sound->Release();
}

TEST_F(DirectSoundTest, TheOlderDescriptionSizeIsAccepted) {
  IDirectSound *sound = prioritySound();
  ASSERT_NE(sound, nullptr);
  DSBUFFERDESC description = primaryDescription();
  description.dwSize = offsetof(DSBUFFERDESC, guid3DAlgorithm);
  IDirectSoundBuffer *buffer = nullptr;
  EXPECT_EQ(sound->CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
  EXPECT_NE(buffer, nullptr);
  sound->Release();
}

TEST_F(DirectSoundTest, ThePrimaryBufferPlaysOnlyLooping) {
  IDirectSound *sound = prioritySound();
  ASSERT_NE(sound, nullptr);
  DSBUFFERDESC description = primaryDescription();
  IDirectSoundBuffer *buffer = nullptr;
  ASSERT_EQ(sound->CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);

  DWORD status = 0xFFFF;
  EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(buffer->GetStatus(nullptr), DSERR_INVALIDPARAM);

  EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Play(1, 0, DSBPLAY_LOOPING), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Play(0, 3, DSBPLAY_LOOPING), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, 0u);

  EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));

  EXPECT_EQ(buffer->Stop(), DS_OK);
  EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, 0u);
  EXPECT_TRUE(layer::headless::isAudioOpen());
  sound->Release();
  EXPECT_FALSE(layer::headless::isAudioOpen());
}

TEST_F(DirectSoundTest, ThereIsOnePrimaryBufferPerDevice) {
  IDirectSound *sound = prioritySound();
  ASSERT_NE(sound, nullptr);
  DSBUFFERDESC description = primaryDescription();
  IDirectSoundBuffer *first = nullptr, *second = nullptr;
  ASSERT_EQ(sound->CreateSoundBuffer(&description, &first, nullptr), DS_OK);
  ASSERT_EQ(sound->CreateSoundBuffer(&description, &second, nullptr), DS_OK);
  EXPECT_EQ(first, second);
  ASSERT_EQ(first->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_EQ(second->Release(), 1u);
  DWORD status = 0;
  EXPECT_EQ(first->GetStatus(&status), DS_OK);
  EXPECT_EQ(status & DSBSTATUS_PLAYING, static_cast<DWORD>(DSBSTATUS_PLAYING));

  // Once released to nothing, a new request makes a new, silent buffer.
  EXPECT_EQ(first->Release(), 0u);
  IDirectSoundBuffer *third = nullptr;
  ASSERT_EQ(sound->CreateSoundBuffer(&description, &third, nullptr), DS_OK);
  EXPECT_EQ(third->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, 0u);
  sound->Release();
}

TEST_F(DirectSoundTest, ResetClosesTheAudioOfForgottenDevices) {
  IDirectSound *sound = prioritySound();
  ASSERT_NE(sound, nullptr);
  ASSERT_TRUE(layer::headless::isAudioOpen());
  layer::reset();
  EXPECT_FALSE(layer::headless::isAudioOpen());
  // Numbering starts again, as in a fresh process.
  ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
  sound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_NORMAL);
  EXPECT_EQ(layer::callTexts({"IDirectSound::SetCooperativeLevel"}).back(),
            "IDirectSound::SetCooperativeLevel(directsound#1, desktop, 1)");
  sound->Release();
}

}  // namespace

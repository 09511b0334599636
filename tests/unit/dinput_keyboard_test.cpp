// DirectInput: versions and arguments of DirectInputCreateA, the system
// keyboard as the only device, its data format, cooperative level,
// acquisition and state read from the host's keyboard.
#define DIRECTINPUT_VERSION 0x0700
#include <dinput.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "host/headless/headless_host.h"
#include "layer_test.h"
#include "support/test_window.h"

namespace {

HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));

class DirectInputTest : public ::testing::Test {
 protected:
  void SetUp() override { layer::reset(); }
  void TearDown() override {
    if (keyboard) keyboard->Release();
    if (input) input->Release();
    layer::reset();
  }

  HWND makeWindow() {
    HWND window = testsupport::makePopupWindow("keys", 64, 64);
    ShowWindow(window, SW_SHOW);
    return window;
  }

  // The keyboard device, created and given the predefined format.
  void makeKeyboard(bool withFormat = true) {
    ASSERT_EQ(DirectInputCreateA(kInstance, 0x0700, &input, nullptr), DI_OK);
    ASSERT_EQ(input->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    ASSERT_NE(keyboard, nullptr);
    if (withFormat) {
      ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    }
  }

  // Lets the host's queued key events reach the keyboard state.
  static void pumpEvents() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  IDirectInput *input = nullptr;
  IDirectInputDevice *keyboard = nullptr;
};

TEST_F(DirectInputTest, AcceptsVersionsFiveToEight) {
  struct Case {
    DWORD version;
    HRESULT result;
  } cases[] = {
      {0x0300, DIERR_OLDDIRECTINPUTVERSION},
      {0x04FF, DIERR_OLDDIRECTINPUTVERSION},
      {0x0500, DI_OK},
      {0x0700, DI_OK},
      {0x0800, DI_OK},
      {0x0801, DIERR_BETADIRECTINPUTVERSION},
      {0x0900, DIERR_BETADIRECTINPUTVERSION},
  };
  for (const Case &c : cases) {
    IDirectInput *object = nullptr;
    EXPECT_EQ(DirectInputCreateA(kInstance, c.version, &object, nullptr), c.result) << std::hex << c.version;
    EXPECT_EQ(object != nullptr, c.result == DI_OK) << std::hex << c.version;
    if (object) object->Release();
  }
}

TEST_F(DirectInputTest, CreationNeedsAnInstanceAndAPlaceForTheObject) {
  IDirectInput *object = reinterpret_cast<IDirectInput *>(1);
  EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, &object, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(DirectInputCreateA(kInstance, 0x0700, nullptr, nullptr), DIERR_INVALIDPARAM);

  layer::injectFault("DirectInputCreateA", DIERR_GENERIC);
  EXPECT_EQ(DirectInputCreateA(kInstance, 0x0700, &object, nullptr), DIERR_GENERIC);
  EXPECT_EQ(layer::callTexts({"DirectInputCreateA"}).back(), "DirectInputCreateA(instance, 0x0700)");
}

TEST_F(DirectInputTest, OnlyTheKeyboardIsRegistered) {
  ASSERT_EQ(DirectInputCreateA(kInstance, 0x0700, &input, nullptr), DI_OK);
  IDirectInputDevice *device = reinterpret_cast<IDirectInputDevice *>(1);
  EXPECT_EQ(input->CreateDevice(GUID_SysMouse, &device, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(input->CreateDevice(GUID_SysKeyboard, nullptr, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(input->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
  EXPECT_NE(keyboard, nullptr);

  const GUID expected = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
  EXPECT_EQ(std::memcmp(&GUID_SysKeyboard, &expected, sizeof(GUID)), 0);
}

TEST_F(DirectInputTest, ThePredefinedKeyboardFormatHasAByteAKey) {
  EXPECT_EQ(c_dfDIKeyboard.dwSize, sizeof(DIDATAFORMAT));
  EXPECT_EQ(c_dfDIKeyboard.dwObjSize, sizeof(DIOBJECTDATAFORMAT));
  EXPECT_EQ(c_dfDIKeyboard.dwDataSize, 256u);
  ASSERT_EQ(c_dfDIKeyboard.dwNumObjs, 256u);
  for (DWORD key = 0; key < 256; ++key) {
    EXPECT_EQ(c_dfDIKeyboard.rgodf[key].dwOfs, key);
    EXPECT_EQ(DIDFT_GETINSTANCE(c_dfDIKeyboard.rgodf[key].dwType), key);
  }
}

TEST_F(DirectInputTest, AcquisitionNeedsADataFormat) {
  makeKeyboard(false);
  EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
  EXPECT_EQ(keyboard->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
}

TEST_F(DirectInputTest, RejectsMalformedDataFormats) {
  makeKeyboard(false);
  EXPECT_EQ(keyboard->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
  DIDATAFORMAT format = c_dfDIKeyboard;
  format.dwSize = 0;
  EXPECT_EQ(keyboard->SetDataFormat(&format), DIERR_INVALIDPARAM);
  format = c_dfDIKeyboard;
  format.dwDataSize = 255;  // not a whole number of DWORDs
  EXPECT_EQ(keyboard->SetDataFormat(&format), DIERR_INVALIDPARAM);
  format = c_dfDIKeyboard;
  format.dwDataSize = 128;  // objects beyond the data
  EXPECT_EQ(keyboard->SetDataFormat(&format), DIERR_INVALIDPARAM);
  format = c_dfDIKeyboard;
  format.rgodf = nullptr;
  EXPECT_EQ(keyboard->SetDataFormat(&format), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM);  // none of them took
}

TEST_F(DirectInputTest, CooperativeLevelNeedsOneOfEachPairAndAWindow) {
  makeKeyboard();
  HWND window = makeWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_FOREGROUND), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
  EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  EXPECT_EQ(layer::callTexts({"IDirectInputDevice::SetCooperativeLevel"}).back(),
            "IDirectInputDevice::SetCooperativeLevel(keyboard#1, window#1, 0x6)");
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DIERR_ACQUIRED);
}

TEST_F(DirectInputTest, DeviceStateFollowsTheHostKeyboard) {
  makeKeyboard();
  BYTE keys[256];
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->GetDeviceState(128, keys), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), nullptr), DIERR_INVALIDPARAM);

  makeWindow();
  layer::headless::keyDown('A');
  layer::headless::keyDown(VK_ESCAPE);
  pumpEvents();
  std::memset(keys, 0x55, sizeof(keys));
  ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
  EXPECT_EQ(keys[0x1E], 0x80);  // A
  EXPECT_EQ(keys[0x01], 0x80);  // Esc
  int down = 0;
  for (BYTE key : keys) down += key != 0;
  EXPECT_EQ(down, 2);

  layer::headless::keyUp('A');
  pumpEvents();
  ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
  EXPECT_EQ(keys[0x1E], 0);
  EXPECT_EQ(keys[0x01], 0x80);

  ASSERT_EQ(keyboard->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
}

TEST_F(DirectInputTest, AFormatOfItsOwnPlacesTheKeysItNames) {
  makeKeyboard(false);
  // Two keys, Esc and A, at offsets 0 and 1 of a four-byte record.
  DIOBJECTDATAFORMAT objects[2] = {
      {&GUID_Key, 0, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(0x01), 0},
      {&GUID_Key, 1, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(0x1E), 0},
  };
  DIDATAFORMAT format = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 4, 2, objects};
  ASSERT_EQ(keyboard->SetDataFormat(&format), DI_OK);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  makeWindow();
  layer::headless::keyDown('A');
  pumpEvents();
  BYTE record[4] = {9, 9, 9, 9};
  ASSERT_EQ(keyboard->GetDeviceState(sizeof(record), record), DI_OK);
  EXPECT_EQ(record[0], 0);
  EXPECT_EQ(record[1], 0x80);
  EXPECT_EQ(record[2], 0);
  EXPECT_EQ(record[3], 0);
}

TEST_F(DirectInputTest, TheDeviceKeepsItsDirectInputObjectAlive) {
  makeKeyboard();
  EXPECT_EQ(input->Release(), 1u);  // the device's hold remains
  input = nullptr;
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  BYTE keys[256];
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
  EXPECT_EQ(keyboard->Release(), 0u);
  keyboard = nullptr;
}

TEST_F(DirectInputTest, InjectedFaultsAreHonoured) {
  makeKeyboard();
  layer::injectFault("IDirectInputDevice::Acquire", DIERR_OTHERAPPHASPRIO);
  EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
  BYTE keys[256];
  EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
}

}  // namespace

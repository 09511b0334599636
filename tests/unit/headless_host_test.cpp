// The headless host: presented frames and their hook, injected events and
// the keyboard state, waiting, and its settings.
#include "host/headless/headless_host.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "layer_test.h"

namespace {

class Headless : public ::testing::Test {
 protected:
  void SetUp() override { layer::reset(); }
  void TearDown() override { layer::reset(); }

  // Presents a 2x2 32-bit frame whose first byte is `tag`.
  static void presentTagged(uint8_t tag) {
    std::vector<uint8_t> pixels(2 * 12, 0);
    pixels[0] = tag;
    layer::PixelBuffer frame;
    frame.bits = pixels.data();
    frame.width = 2;
    frame.height = 2;
    frame.pitch = 12;  // wider than the pixels: the whole pitch is kept
    frame.layout = layer::layout32();
    layer::host().present(1, frame);
    pixels[0] = 0xEE;  // the host holds a copy, not a view
  }
};

TEST_F(Headless, KeepsTheLastFramesAndCountsThemAll) {
  for (uint8_t i = 1; i <= 6; ++i) presentTagged(i);
  EXPECT_EQ(layer::headless::presentedCount(), 6u);
  const auto &frames = layer::headless::frames();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames.front().image.bytes[0], 3);
  EXPECT_EQ(frames.back().image.bytes[0], 6);
  const layer::SurfaceImage &image = frames.back().image;
  EXPECT_EQ(frames.back().window, 1);
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.pitch, 12);
  EXPECT_EQ(image.bitsPerPixel, 32);
  EXPECT_EQ(image.bytes.size(), 24u);

  layer::headless::keepFrames(1);
  ASSERT_EQ(layer::headless::frames().size(), 1u);
  EXPECT_EQ(layer::headless::frames()[0].image.bytes[0], 6);
  presentTagged(7);
  ASSERT_EQ(layer::headless::frames().size(), 1u);
  EXPECT_EQ(layer::headless::frames()[0].image.bytes[0], 7);
  layer::headless::keepFrames(0);
  presentTagged(8);
  EXPECT_TRUE(layer::headless::frames().empty());
  EXPECT_EQ(layer::headless::presentedCount(), 8u);
}

TEST_F(Headless, PresentHookSeesTheRunningCountAfterTheFrameIsStored) {
  std::vector<size_t> counts;
  layer::headless::setPresentHook([&](size_t presented) {
    counts.push_back(presented);
    EXPECT_EQ(layer::headless::frames().back().image.bytes[0], static_cast<uint8_t>(presented));
  });
  presentTagged(1);
  presentTagged(2);
  EXPECT_EQ(counts, (std::vector<size_t>{1, 2}));
  layer::reset();
  presentTagged(1);
  EXPECT_EQ(counts.size(), 2u);  // reset removed the hook
  EXPECT_EQ(layer::headless::presentedCount(), 1u);
}

TEST_F(Headless, EventsComeInOrderAndKeyboardStateFollowsWhatWasTaken) {
  layer::headless::pressKey('Q');
  layer::headless::focus(false);
  uint8_t keys[256];
  layer::host().keyboardState(keys);
  EXPECT_EQ(keys[0x10], 0);  // not taken yet

  layer::HostEvent event;
  ASSERT_TRUE(layer::host().pollEvent(&event));
  EXPECT_EQ(event.type, layer::HostEvent::KeyDown);
  EXPECT_EQ(event.virtualKey, static_cast<unsigned>('Q'));
  EXPECT_EQ(event.scanCode, 0x10u);
  EXPECT_EQ(event.character, 'q');
  layer::host().keyboardState(keys);
  EXPECT_EQ(keys[0x10], 0x80);

  ASSERT_TRUE(layer::host().pollEvent(&event));
  EXPECT_EQ(event.type, layer::HostEvent::KeyUp);
  EXPECT_EQ(event.character, 0);
  layer::host().keyboardState(keys);
  EXPECT_EQ(keys[0x10], 0);

  ASSERT_TRUE(layer::host().pollEvent(&event));
  EXPECT_EQ(event.type, layer::HostEvent::FocusLost);
  EXPECT_FALSE(layer::host().pollEvent(&event));
}

TEST_F(Headless, KeysOfTheViewerHaveTheirScanCodes) {
  struct Expected {
    unsigned vk, scan;
    char character;
  };
  const Expected table[] = {{VK_ESCAPE, 0x01, 0x1B},  {VK_SPACE, 0x39, ' '}, {VK_ADD, 0x4E, '+'},
                            {VK_SUBTRACT, 0x4A, '-'}, {'W', 0x11, 'w'},      {'B', 0x30, 'b'},
                            {'I', 0x17, 'i'},         {VK_F4, 0x3E, 0},      {VK_OEM_PLUS, 0x0D, '='}};
  for (const Expected &e : table) {
    layer::headless::keyDown(e.vk, false, false);
    layer::HostEvent event;
    ASSERT_TRUE(layer::host().pollEvent(&event));
    EXPECT_EQ(event.scanCode, e.scan) << e.vk;
    EXPECT_EQ(event.character, e.character) << e.vk;
  }
}

TEST_F(Headless, WaitingCallsTheIdleHookOnlyWhenNothingIsQueued) {
  int idleCalls = 0;
  layer::headless::setIdleHook([&] {
    ++idleCalls;
    layer::headless::focus(true);
  });
  layer::headless::closeWindow();
  layer::host().waitEvent();
  EXPECT_EQ(idleCalls, 0);
  layer::HostEvent event;
  layer::host().pollEvent(&event);
  layer::host().waitEvent();
  EXPECT_EQ(idleCalls, 1);
  ASSERT_TRUE(layer::host().pollEvent(&event));
  EXPECT_EQ(event.type, layer::HostEvent::FocusGained);
}

TEST_F(Headless, WaitingForeverEndsTheProcessWithCode124) {
  EXPECT_EXIT(layer::host().waitEvent(), ::testing::ExitedWithCode(124),
              "headless host: the program waits for an event that will never come");
  layer::headless::setIdleHook([] {});  // a hook that injects nothing is no help
  EXPECT_EXIT(layer::host().waitEvent(), ::testing::ExitedWithCode(124), "will never come");
}

TEST_F(Headless, SettingsAndTheirReset) {
  std::string why;
  EXPECT_TRUE(layer::host().createWindow(1, "t", 640, 480, &why));
  EXPECT_EQ(layer::headless::windowCount(), 1u);
  layer::host().showWindow(1);
  EXPECT_TRUE(layer::headless::isWindowShown(1));

  layer::headless::setDisplayAvailable(false);
  EXPECT_FALSE(layer::host().createWindow(2, "t", 640, 480, &why));
  EXPECT_EQ(why, "no display (headless host set to have none)");

  EXPECT_TRUE(layer::host().openAudio());
  EXPECT_TRUE(layer::headless::isAudioOpen());
  layer::host().closeAudio();
  EXPECT_FALSE(layer::headless::isAudioOpen());
  layer::headless::setAudioAvailable(false);
  EXPECT_FALSE(layer::host().openAudio());

  EXPECT_EQ(layer::host().desktopBitsPerPixel(), 32);
  layer::headless::setDesktopDepth(16);
  EXPECT_EQ(layer::host().desktopBitsPerPixel(), 16);

  EXPECT_FALSE(layer::headless::isExclusive());
  layer::host().setExclusive(1, true);
  EXPECT_TRUE(layer::headless::isExclusive());
  EXPECT_EQ(layer::host().messageBox("text", "caption", 0), IDOK);

  layer::headless::pressKey('A');
  layer::reset();
  EXPECT_EQ(layer::headless::windowCount(), 0u);
  EXPECT_FALSE(layer::headless::isExclusive());
  EXPECT_EQ(layer::host().desktopBitsPerPixel(), 32);
  EXPECT_TRUE(layer::host().openAudio());
  EXPECT_TRUE(layer::host().createWindow(2, "t", 640, 480, &why));
  layer::HostEvent event;
  EXPECT_FALSE(layer::host().pollEvent(&event));
}

}  // namespace

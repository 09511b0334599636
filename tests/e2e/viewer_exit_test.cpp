// Ending the viewer (Esc, the window manager's close, Alt+F4) and switching
// away from it and back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scenario_frame.h"
#include "support/scenario_run.h"

using namespace scenario;

namespace {

const std::vector<std::string> kDeviceReleases = {"IDirectInputDevice::Unacquire", "IDirectInputDevice::Release",
                                                  "IDirectInput::Release", "IDirectSound::Release"};

// The names of the device calls among `calls`, in order.
std::vector<std::string> deviceCalls(const std::vector<std::string> &calls) {
  std::vector<std::string> out;
  for (const std::string &line : calls) {
    std::string name = line.substr(0, line.find('('));
    if (name.rfind("IDirectInput", 0) == 0 || name.rfind("IDirectSound", 0) == 0) out.push_back(name);
  }
  return out;
}

size_t countNamed(const std::vector<std::string> &calls, const std::string &name) {
  size_t n = 0;
  for (const std::string &line : calls)
    if (line.rfind(name + "(", 0) == 0 || line == name) ++n;
  return n;
}

TEST(ViewerExit, EscEndsTheLoopAtOnceReleasesTheDevicesInOrderAndExitsWith27) {
  ScenarioRun run("frame 2; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  EXPECT_EQ(run.status, "complete");
  EXPECT_EQ(run.cursorCounter, 0);
  std::vector<std::string> afterEsc = run.callsAfter("step 2: key ESCAPE");
  EXPECT_EQ(deviceCalls(afterEsc), kDeviceReleases);
  // The Esc key-down is the last message taken: its key-up stays queued,
  // and no frame follows.
  EXPECT_EQ(countNamed(afterEsc, "GetMessageA"), 1u);
  EXPECT_EQ(countNamed(afterEsc, "IDirectDrawSurface::Flip"), 0u);
  EXPECT_EQ(run.presented, 2u);
  // The window stays until the process ends.
  EXPECT_EQ(countNamed(run.calls, "DestroyWindow"), 0u);
}

// A run that ended the way Esc ends one, but with code 0: complete, the
// cursor back, and the devices released after `step`.
void expectEndedLikeEscWithCode0(const ScenarioRun &run, const std::string &step) {
  ASSERT_EQ(run.exitCode, 0) << run.describe();
  EXPECT_EQ(run.status, "complete");
  EXPECT_EQ(run.cursorCounter, 0);
  EXPECT_EQ(deviceCalls(run.callsAfter(step)), kDeviceReleases);
}

TEST(ViewerExit, WindowManagerCloseEndsLikeEscWithCode0) {
  ScenarioRun run("frame; close");
  expectEndedLikeEscWithCode0(run, "step 2: close");
  EXPECT_TRUE(run.boxes.empty());
}

TEST(ViewerExit, AltF4EndsLikeEscWithCode0) {
  ScenarioRun run("frame; key F4 alt");
  expectEndedLikeEscWithCode0(run, "step 2: key F4 alt");
}

TEST(ViewerExit, F4WithoutAltDoesNothing) {
  ScenarioRun run("frame; key F4; frame; dump after; key ESCAPE");
  ASSERT_EQ(endedWith27Showing(run, "after", expectedFrameAtZoom1(introPicture())), "");
}

TEST(ViewerExit, InactiveViewerDrawsNothingButStillRunsKeyCommands) {
  // Switched away, the window gets no keys from the keyboard; messages that
  // reach it all the same are carried out.
  ScenarioRun run(
      "frame; activate 0; idle; key B; post WM_KEYDOWN ADD; post WM_KEYDOWN SPACE; idle; dump still; activate 1; "
      "frame 3; dump back; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  EXPECT_EQ(run.status, "complete");
  ASSERT_EQ(run.steps.size(), 12u);
  // No frame while inactive: the count stays where the switch-away left it.
  EXPECT_EQ(run.steps[1].presented, 1u);  // activate 0
  EXPECT_EQ(run.steps[3].presented, 1u);  // key B, once the viewer waits
  EXPECT_EQ(run.steps[7].presented, 1u);  // dump still, after the messages
  EXPECT_GE(run.steps[7].idle, 2u);
  EXPECT_EQ(compareImages(run.frame("still"), expectedFrameAtZoom1(introPicture())), "");

  // Back in front: both commands had taken effect, and the picture, whose
  // surface went with the switch away, is drawn again as its file holds it.
  RgbImage back = run.frame("back");
  ASSERT_FALSE(back.empty());
  RgbImage expected = back;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < kScreenWidth; ++x) expected.at(x, y) = kBlack;
  overlayText(expected, zoomLine(110), 0);
  overlayText(expected, kHelpLine1, 435);
  overlayText(expected, kHelpLine2, 455);
  EXPECT_EQ(compareImages(back, expected), "");
  EXPECT_EQ(back.at(86, 190), kBlack);  // the black patch at 110 %
  EXPECT_EQ(back.at(92, 190), kRed);    // the red one
}

TEST(ViewerExit, ActivationMessagesSwitchDrawingOffAndOn) {
  ScenarioRun run(
      "frame; post WM_ACTIVATEAPP 0; idle; post WM_KEYDOWN B; idle; post WM_ACTIVATEAPP 1; frame; dump back; "
      "key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  ASSERT_EQ(run.steps.size(), 9u);
  EXPECT_EQ(run.steps[3].presented, 1u);
  EXPECT_EQ(run.steps[5].presented, 1u);
  // The surfaces stayed, so the brightening done while inactive shows.
  RgbImage picture = introPicture();
  for (Rgb &p : picture.pixels) {
    auto up = [](int c) { return static_cast<int>((255 - c) * static_cast<double>(0.1f) + c); };
    p = {up(p.r), up(p.g), up(p.b)};
  }
  EXPECT_EQ(compareImages(run.frame("back"), expectedFrameAtZoom1(picture)), "");
}

}  // namespace

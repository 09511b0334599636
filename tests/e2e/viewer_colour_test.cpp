// The colour commands on the sample picture, checked against a plain model
// of the expected pixels, and the keys around them: W, space, the keys that
// do nothing, held keys, a picture file that changes or goes away, and
// surfaces that lose their memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/color_model.h"
#include "support/scenario_frame.h"
#include "support/scenario_run.h"

using namespace scenario;

namespace {

// What each colour key does to one pixel, by the amount 0.1.
int towardWhite(int c) { return colormodel::brightened(c, 0.1f); }
int towardBlack(int c) { return colormodel::darkened(c, 0.1f); }

// E, R, T move one channel (red, green, blue) toward white; Y, U, I toward black.
constexpr int Rgb::*kChannels[] = {&Rgb::r, &Rgb::g, &Rgb::b};
const std::string kOneChannelUp = "ERT", kOneChannelDown = "YUI";

Rgb applyKey(char key, Rgb p) {
  if (size_t up = kOneChannelUp.find(key); up != std::string::npos) {
    p.*kChannels[up] = towardWhite(p.*kChannels[up]);
    return p;
  }
  if (size_t down = kOneChannelDown.find(key); down != std::string::npos) {
    p.*kChannels[down] = towardBlack(p.*kChannels[down]);
    return p;
  }
  switch (key) {
    case 'Q': {
      int average = colormodel::grayLevel(p.r, p.g, p.b);
      return {average, average, average};
    }
    case 'C':
      return {colormodel::inverted(p.r), colormodel::inverted(p.g), colormodel::inverted(p.b)};
    case 'B':
      return {towardWhite(p.r), towardWhite(p.g), towardWhite(p.b)};
    case 'D':
      return {towardBlack(p.r), towardBlack(p.g), towardBlack(p.b)};
    default:
      return p;
  }
}

RgbImage applyKeys(const std::string &keys, RgbImage picture) {
  for (char key : keys)
    for (Rgb &p : picture.pixels) p = applyKey(key, p);
  return picture;
}

std::string keySteps(const std::string &keys) {
  std::string script;
  for (char key : keys) script += std::string("; key ") + key;
  return script;
}

TEST(ViewerColour, ModelMatchesTheDocumentedChannelValues) {
  // A few fixed points, so that the model itself is known to be right.
  EXPECT_EQ(applyKey('B', {0, 10, 100}), (Rgb{25, 34, 115}));
  EXPECT_EQ(applyKey('B', {245, 250, 255}), (Rgb{246, 250, 255}));
  EXPECT_EQ(applyKey('D', {9, 10, 11}), (Rgb{8, 8, 9}));
  EXPECT_EQ(applyKey('D', {100, 200, 255}), (Rgb{89, 179, 229}));
  EXPECT_EQ(applyKey('Q', {10, 20, 31}), (Rgb{20, 20, 20}));
  EXPECT_EQ(applyKey('Q', {255, 255, 254}), (Rgb{254, 254, 254}));
  EXPECT_EQ(applyKey('C', {0, 100, 255}), (Rgb{255, 155, 0}));
  EXPECT_EQ(applyKey('Y', {255, 7, 7}), (Rgb{229, 7, 7}));
  EXPECT_EQ(applyKey('E', {0, 0, 0}), (Rgb{25, 0, 0}));
}

TEST(ViewerColour, EachColourKeyChangesThePictureAndWBringsTheFileBack) {
  const std::string keys = "QCBDERTYUI";
  std::string script = "frame";
  for (char key : keys) script += std::string("; key ") + key + "; frame; dump " + key + "; key W; frame; dump W" + key;
  script += "; key ESCAPE";
  ScenarioRun run(script);
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  const RgbImage unchanged = expectedFrameAtZoom1(introPicture());
  for (char key : keys) {
    EXPECT_EQ(compareImages(run.frame(std::string(1, key)), expectedFrameAtZoom1(applyKeys({key}, introPicture()))), "")
        << "key " << key;
    EXPECT_EQ(compareImages(run.frame(std::string("W") + key), unchanged), "") << "W after key " << key;
  }
  EXPECT_TRUE(run.debug.empty()) << ::testing::PrintToString(run.debug);
}

TEST(ViewerColour, ChangesAccumulateUntilW) {
  const std::string first = "BBDE", second = "QRT", third = "CYUID";
  ScenarioRun run("frame" + keySteps(first) + "; frame; dump first" + keySteps(second) + "; frame; dump second" +
                  keySteps(third) + "; frame; dump third; key W; frame; dump restored; key ESCAPE");
  ASSERT_EQ(endedWith27Showing(run, "first", expectedFrameAtZoom1(applyKeys(first, introPicture()))), "");
  EXPECT_EQ(compareImages(run.frame("second"), expectedFrameAtZoom1(applyKeys(first + second, introPicture()))), "");
  EXPECT_EQ(compareImages(run.frame("third"), expectedFrameAtZoom1(applyKeys(first + second + third, introPicture()))),
            "");
  EXPECT_EQ(compareImages(run.frame("restored"), expectedFrameAtZoom1(introPicture())), "");
}

TEST(ViewerColour, InvertingTwiceGivesThePictureBack) {
  ScenarioRun run("frame; key C; frame; dump once; key C; frame; dump twice; key ESCAPE");
  ASSERT_EQ(endedWith27Showing(run, "once", expectedFrameAtZoom1(applyKeys("C", introPicture()))), "");
  EXPECT_EQ(compareImages(run.frame("twice"), expectedFrameAtZoom1(introPicture())), "");
}

TEST(ViewerColour, HeldKeyRepeatsTheCommand) {
  ScenarioRun run("frame; repeat B 3; frame; dump held; key ESCAPE");
  ASSERT_EQ(endedWith27Showing(run, "held", expectedFrameAtZoom1(applyKeys("BBBB", introPicture()))), "");
}

TEST(ViewerColour, ShiftedLetterRunsTheSameCommand) {
  ScenarioRun run("frame; keydown SHIFT; key Q; keyup SHIFT; frame; dump shifted; key ESCAPE");
  ASSERT_EQ(endedWith27Showing(run, "shifted", expectedFrameAtZoom1(applyKeys("Q", introPicture()))), "");
}

TEST(ViewerColour, KeysOutsideTheTableChangeNothingAndAreNotPassedOn) {
  ScenarioRun run(
      "frame; key A; key RETURN; key F1; key OEM_PLUS; key OEM_MINUS; key Z; key 1; frame; dump after; "
      "key ESCAPE");
  ASSERT_EQ(endedWith27Showing(run, "after", expectedFrameAtZoom1(introPicture())), "");
  // WM_KEYDOWN is the window procedure's own: it never reaches DefWindowProcA.
  for (const std::string &line : run.callsNamed("DefWindowProcA("))
    EXPECT_EQ(line.find(", 0x0100"), std::string::npos) << line;
}

TEST(ViewerColour, SpaceSwitchesBetweenPromptAndHelpLines) {
  ScenarioRun run("frame; key SPACE; frame; dump menu; key SPACE; frame; dump prompt; key ESCAPE");
  ASSERT_EQ(endedWith27Showing(run, "menu", expectedFrameAtZoom1(introPicture(), true)), "");
  EXPECT_EQ(compareImages(run.frame("prompt"), expectedFrameAtZoom1(introPicture(), false)), "");
  // Two texts a frame with the prompt, three with the help lines.
  std::vector<std::string> menuFrame = run.callsAfter("step 3: frame");
  EXPECT_EQ(std::count_if(menuFrame.begin(), menuFrame.end(),
                          [](const std::string &l) { return l.rfind("TextOutA(", 0) == 0; }),
            3);
  std::vector<std::string> promptFrame = run.callsAfter("step 6: frame");
  EXPECT_EQ(std::count_if(promptFrame.begin(), promptFrame.end(),
                          [](const std::string &l) { return l.rfind("TextOutA(", 0) == 0; }),
            2);
}

TEST(ViewerColour, WKeepsTheZoom) {
  ScenarioRun run(
      "frame; key ADD; key B; frame; key W; frame; dump restored; key SUBTRACT; frame; dump back; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  RgbImage restored = run.frame("restored");
  RgbImage zoomed(kScreenWidth, kScreenHeight, kBlack);
  overlayText(zoomed, zoomLine(110), 0);
  EXPECT_EQ(compareImages(restored, zoomed, 0, 0, kScreenWidth, 16), "");
  EXPECT_EQ(compareImages(run.frame("back"), expectedFrameAtZoom1(introPicture())), "");
}

TEST(ViewerColour, LostSurfacesAreRestoredWithTheFilesPixels) {
  ScenarioRun run("frame; key B; frame; lose; frame 3; dump restored; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  // The failed blit reloads the picture from its file, which undoes B.
  EXPECT_EQ(compareImages(run.frame("restored"), expectedFrameAtZoom1(introPicture())), "");
  EXPECT_TRUE(run.debug.empty()) << ::testing::PrintToString(run.debug);
}

TEST(ViewerColour, WReadsTheFileAsItIsNow) {
  RgbImage other = applyKeys("C", introPicture());
  RgbImage half(320, 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) half.at(x, y) = {x % 256, y, (x * 3 + y) % 256};
  Options options;
  options.pictures = {{"other.bmp", other}, {"half.bmp", half}};
  ScenarioRun run(
      "frame; copy other.bmp intro.bmp; frame; dump before; key W; frame; dump other; copy half.bmp intro.bmp; "
      "key W; frame; dump half; key ESCAPE",
      options);
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  // Nothing changes until W reads the file again.
  EXPECT_EQ(compareImages(run.frame("before"), expectedFrameAtZoom1(introPicture())), "");
  EXPECT_EQ(compareImages(run.frame("other"), expectedFrameAtZoom1(other)), "");
  // A picture of another size is stretched to the size of the first load.
  RgbImage doubled(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) doubled.at(x, y) = half.at(x / 2, y / 2);
  EXPECT_EQ(compareImages(run.frame("half"), expectedFrameAtZoom1(doubled)), "");
}

TEST(ViewerColour, WWithoutTheFileLeavesThePictureAsItIs) {
  ScenarioRun run("frame; key B; delete intro.bmp; key W; frame; dump kept; key ESCAPE");
  ASSERT_EQ(endedWith27Showing(run, "kept", expectedFrameAtZoom1(applyKeys("B", introPicture()))), "");
  EXPECT_EQ(run.debug, (std::vector<std::string>{"handle is null\\n"}));
}

}  // namespace

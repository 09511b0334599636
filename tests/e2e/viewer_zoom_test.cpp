// Zooming the picture: the steps and their bounds as the zoom line shows
// them, and where the scaled picture lands on the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scenario_frame.h"
#include "support/scenario_run.h"

using namespace scenario;

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kSlate{32, 40, 56};  // the sample picture's margin

// The texts printed at (x, y), in the order of the call record, with runs of
// the same text kept once.
std::vector<std::string> textsShownAt(const ScenarioRun &run, int x, int y) {
  std::vector<std::string> out;
  const std::string where = ", " + std::to_string(x) + ", " + std::to_string(y) + ", \"";
  for (const std::string &line : run.calls) {
    if (line.rfind("TextOutA(", 0) != 0) continue;
    size_t at = line.find(where);
    if (at == std::string::npos) continue;
    size_t start = at + where.size();
    size_t end = line.rfind('"');
    if (end == std::string::npos || end < start) continue;
    std::string text = line.substr(start, end - start);
    if (out.empty() || out.back() != text) out.push_back(text);
  }
  return out;
}

// The rows above the clip rectangle hold nothing but the zoom line.
std::string checkZoomLine(const RgbImage &frame, int percent) {
  RgbImage expected(kScreenWidth, kScreenHeight, kBlack);
  overlayText(expected, zoomLine(percent), 0);
  return compareImages(frame, expected, 0, 0, kScreenWidth, 16);
}

TEST(ViewerZoom, NineStepsDownShowTheTruncatedPercentagesAndStopAt10) {
  std::string script = "frame; dump start";
  for (int i = 1; i <= 10; ++i) script += "; key SUBTRACT; frame; dump out" + std::to_string(i);
  script += "; key ESCAPE";
  ScenarioRun run(script);
  ASSERT_EQ(run.exitCode, 27) << run.describe();

  const int expected[] = {100, 89, 79, 69, 59, 49, 39, 29, 19, 10, 10};
  EXPECT_EQ(checkZoomLine(run.frame("start"), 100), "");
  for (int i = 1; i <= 10; ++i)
    EXPECT_EQ(checkZoomLine(run.frame("out" + std::to_string(i)), expected[i]), "") << "after " << i << " steps";

  std::vector<std::string> shown = textsShownAt(run, 0, 0);
  std::vector<std::string> wanted;
  for (int i = 0; i < 10; ++i) wanted.push_back(zoomLine(expected[i]));
  EXPECT_EQ(shown, wanted);
}

TEST(ViewerZoom, StepsUpReach1600ExactlyAfter150AndStayThere) {
  ScenarioRun run(
      "frame; key ADD 13; frame; dump up13; key ADD 136; frame; dump up149; key ADD; frame; dump up150; "
      "key ADD 5; frame; dump up155; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  EXPECT_EQ(checkZoomLine(run.frame("up13"), 229), "");
  EXPECT_EQ(checkZoomLine(run.frame("up149"), 1590), "");
  EXPECT_EQ(checkZoomLine(run.frame("up150"), 1600), "");
  EXPECT_EQ(checkZoomLine(run.frame("up155"), 1600), "");
  EXPECT_EQ(textsShownAt(run, 0, 0),
            (std::vector<std::string>{zoomLine(100), zoomLine(229), zoomLine(1590), zoomLine(1600)}));
}

TEST(ViewerZoom, From1600It159StepsDownReach10) {
  ScenarioRun run(
      "frame; key ADD 150; frame; key SUBTRACT 158; frame; key SUBTRACT; frame; key SUBTRACT; frame; "
      "key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  EXPECT_EQ(textsShownAt(run, 0, 0),
            (std::vector<std::string>{zoomLine(100), zoomLine(1600), zoomLine(19), zoomLine(10)}));
}

TEST(ViewerZoom, OnlyTheKeypadKeysZoom) {
  ScenarioRun run(
      "frame; key OEM_PLUS; key OEM_MINUS; frame; dump main; key ADD; key SUBTRACT; key SUBTRACT; frame; "
      "key ESCAPE");
  ASSERT_EQ(endedWith27Showing(run, "main", expectedFrameAtZoom1(introPicture())), "");
  // Up once and down twice: 1.1000000238, back to exactly 1.0, then 0.8999999762.
  EXPECT_EQ(textsShownAt(run, 0, 0), (std::vector<std::string>{zoomLine(100), zoomLine(89)}));
}

TEST(ViewerZoom, HeldKeyRepeatsTheStep) {
  ScenarioRun run("frame; repeat ADD 4; frame; dump held; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  // The first key-down and four repeats: five steps.
  EXPECT_EQ(checkZoomLine(run.frame("held"), 150), "");
}

TEST(ViewerZoom, OneStepDownCentresAn575By431PictureWithTheSpareMarginLeftAndTop) {
  ScenarioRun run("frame; key SUBTRACT; frame; dump small; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  RgbImage f = run.frame("small");
  ASSERT_FALSE(f.empty());
  // The picture covers columns 33..607 and rows 25..455: 33 columns free on
  // the left, 32 on the right, 25 rows above and 24 below.
  for (int y = 25; y <= 434; ++y) {
    EXPECT_EQ(f.at(32, y), kBlack) << "left of the picture, row " << y;
    EXPECT_EQ(f.at(33, y), kWhite) << "the picture's left edge, row " << y;
    EXPECT_NE(f.at(607, y), kBlack) << "the picture's right edge, row " << y;
    EXPECT_EQ(f.at(608, y), kBlack) << "right of the picture, row " << y;
  }
  for (int x = 33; x <= 607; ++x) {
    EXPECT_EQ(f.at(x, 24), kBlack) << "above the picture, column " << x;
    EXPECT_EQ(f.at(x, 25), kWhite) << "the picture's top edge, column " << x;
    EXPECT_NE(f.at(x, 455), kBlack) << "the picture's bottom edge, column " << x;
    EXPECT_EQ(f.at(x, 456), kBlack) << "below the picture, column " << x;
  }
  // The black margin inside the frame, and the frame itself, stay as they are.
  for (int x = 22; x < 33; ++x) EXPECT_EQ(f.at(x, 200), kBlack);
  EXPECT_EQ(f.at(21, 200), kRed);
  EXPECT_EQ(f.at(619, 200), kRed);
  // Upright and not mirrored: each corner marker in its own corner.
  EXPECT_EQ(f.at(36, 28), (Rgb{255, 0, 0}));
  EXPECT_EQ(f.at(604, 28), (Rgb{0, 255, 0}));
  EXPECT_EQ(f.at(36, 452), (Rgb{0, 0, 255}));
  EXPECT_EQ(f.at(604, 452), (Rgb{255, 255, 0}));
}

TEST(ViewerZoom, SmallestZoomShowsA64By48PictureAtTheCentre) {
  ScenarioRun run("frame; key SUBTRACT 12; frame; dump tiny; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  RgbImage f = run.frame("tiny");
  ASSERT_FALSE(f.empty());
  EXPECT_EQ(checkZoomLine(f, 10), "");
  // The picture covers columns 288..351 and rows 216..263.
  int outside = 0;
  for (int y = 17; y < 434; ++y)
    for (int x = 22; x < 619; ++x) {
      bool inside = x >= 288 && x <= 351 && y >= 216 && y <= 263;
      if (!inside && !(f.at(x, y) == kBlack)) ++outside;
    }
  EXPECT_EQ(outside, 0) << "non-black pixels outside the 64x48 picture";
  for (int y = 216; y <= 263; ++y) {
    EXPECT_NE(f.at(288, y), kBlack) << "row " << y;
    EXPECT_NE(f.at(351, y), kBlack) << "row " << y;
  }
  for (int x = 288; x <= 351; ++x) {
    EXPECT_NE(f.at(x, 216), kBlack) << "column " << x;
    EXPECT_NE(f.at(x, 263), kBlack) << "column " << x;
  }
}

TEST(ViewerZoom, OneStepUpEnlargesAroundTheCentre) {
  ScenarioRun run("frame; key ADD; frame; dump large; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  RgbImage f = run.frame("large");
  ASSERT_FALSE(f.empty());
  EXPECT_EQ(checkZoomLine(f, 110), "");
  // 704x528 at (-32, -24): the picture's row 40 (its margin's end) lands on
  // screen row 20, and its column 110 (black patch to red patch) on column 89.
  EXPECT_EQ(f.at(320, 19), kSlate);
  EXPECT_NE(f.at(320, 21), kSlate);
  EXPECT_EQ(f.at(86, 190), kBlack);
  EXPECT_EQ(f.at(92, 190), (Rgb{255, 0, 0}));
  // The whole clip rectangle is covered: the picture's margin shows at its edges.
  EXPECT_EQ(f.at(22, 17), kSlate);
  EXPECT_EQ(f.at(618, 17), kSlate);
  // The frame lies over the picture.
  EXPECT_EQ(f.at(21, 100), kRed);
  EXPECT_EQ(f.at(619, 100), kRed);
  EXPECT_EQ(f.at(300, 464), kRed);
}

TEST(ViewerZoom, LargestZoomShowsA38By28PieceOfThePicture) {
  ScenarioRun run("frame; key ADD 150; frame; dump huge; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  RgbImage f = run.frame("huge");
  ASSERT_FALSE(f.empty());
  // At 16 times the screen shows the picture's columns 301..338 and rows
  // 226..253: the half-strength blue and cyan patches, meeting at column 320.
  for (int y = 17; y < 430; y += 7) {
    EXPECT_EQ(f.at(100, y), (Rgb{0, 0, 127})) << "row " << y;
    EXPECT_EQ(f.at(310, y), (Rgb{0, 0, 127})) << "row " << y;
    EXPECT_EQ(f.at(330, y), (Rgb{0, 127, 127})) << "row " << y;
    EXPECT_EQ(f.at(600, y), (Rgb{0, 127, 127})) << "row " << y;
  }
  EXPECT_EQ(f.at(21, 100), kRed);
  EXPECT_EQ(f.at(320, 16), kRed);
}

}  // namespace

// The viewer from start to end: the first frame, the objects around the main
// function, and start-ups that fail.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "support/scenario_frame.h"
#include "support/scenario_run.h"

using namespace scenario;

namespace {

// The lines of `lines` whose call name starts with one of the prefixes.
std::vector<std::string> only(const std::vector<std::string> &lines, const std::vector<std::string> &prefixes) {
  std::vector<std::string> out;
  for (const std::string &line : lines)
    for (const std::string &p : prefixes)
      if (line.rfind(p, 0) == 0) {
        out.push_back(line);
        break;
      }
  return out;
}

std::vector<std::string> callsBefore(const ScenarioRun &run, const std::string &marker) {
  std::vector<std::string> out;
  for (const std::string &line : run.calls) {
    if (line == "== " + marker) break;
    out.push_back(line);
  }
  return out;
}

TEST(ViewerStart, FirstFrameShowsThePictureClippedInsideTheFrameWithZoomLineAndPrompt) {
  ASSERT_FALSE(introPicture().empty());
  ScenarioRun run("frame; dump first; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  EXPECT_EQ(run.status, "complete");

  RgbImage first = run.frame("first");
  EXPECT_EQ(compareImages(first, expectedFrameAtZoom1(introPicture())), "");

  // The landmarks on their own, so a failure says which one moved.
  ASSERT_FALSE(first.empty());
  for (auto [x, y] :
       {std::pair{21, 16}, {619, 16}, {21, 464}, {619, 464}, {320, 16}, {619, 240}, {300, 464}, {21, 240}})
    EXPECT_EQ(first.at(x, y), kRed) << "frame pixel (" << x << ", " << y << ")";
  for (auto [x, y] : {std::pair{20, 240}, {620, 240}, {320, 15}, {320, 465}, {639, 479}, {630, 5}})
    EXPECT_EQ(first.at(x, y), kBlack) << "outside pixel (" << x << ", " << y << ")";
  // Inside the frame the picture starts one pixel in.
  EXPECT_EQ(first.at(22, 17), introPicture().at(22, 17));
  EXPECT_EQ(first.at(618, 463), introPicture().at(618, 463));

  // The zoom line's box: rows 0 to 12 from x 0, red glyphs on (1, 0, 0) and
  // nothing anti-aliased.
  int red = 0, back = 0;
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 40; ++x) {
      Rgb c = first.at(x, y);
      EXPECT_TRUE(c == kRed || c == kTextBack) << "zoom line pixel (" << x << ", " << y << ") " << toString(c);
      red += c == kRed;
      back += c == kTextBack;
    }
  EXPECT_GT(red, 20);
  EXPECT_GT(back, 200);
  for (int x = 0; x < 40; ++x) EXPECT_EQ(first.at(x, 13), kBlack) << "below the zoom line at x " << x;
  // The prompt's box covers the left frame line from row 460 on.
  EXPECT_TRUE(first.at(21, 460) == kRed || first.at(21, 460) == kTextBack);
  EXPECT_TRUE(first.at(0, 472) == kRed || first.at(0, 472) == kTextBack);
  EXPECT_EQ(first.at(0, 473), kBlack);
}

TEST(ViewerStart, CursorIsHiddenWhileRunningAndShownAgainAfterEsc) {
  ScenarioRun run("frame; frame; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  ASSERT_EQ(run.steps.size(), 3u);
  EXPECT_EQ(run.steps[1].presented, 1u);
  EXPECT_EQ(run.steps[1].cursorCounter, -1);
  EXPECT_FALSE(run.steps[1].cursorVisible);
  EXPECT_EQ(run.cursorCounter, 0);
  EXPECT_EQ(run.callsNamed("ShowCursor"), (std::vector<std::string>{"ShowCursor(FALSE)", "ShowCursor(TRUE)"}));
}

TEST(ViewerStart, StaticObjectsComeUpBeforeTheMainFunctionAndGoInReverseOrder) {
  ScenarioRun run("frame; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();

  // The three socket start-ups run before main; nothing else of the viewer.
  std::vector<std::string> beforeMain = callsBefore(run, "main");
  EXPECT_EQ(only(beforeMain, {"WSAStartup"}).size(), 3u);
  EXPECT_TRUE(only(beforeMain, {"RegisterClassA", "CreateWindowExA", "DirectDrawCreate"}).empty());
  EXPECT_TRUE(only(beforeMain, {"WSACleanup"}).empty());

  // After WinMain: the third and second guards, the picture's surface, the
  // back buffer, the primary surface, the DirectDraw object, the first guard.
  std::vector<std::string> atEnd =
      only(run.callsAfter("WinMain returned"), {"WSACleanup", "IDirectDrawSurface::Release", "IDirectDraw::Release"});
  ASSERT_EQ(atEnd.size(), 7u) << ::testing::PrintToString(atEnd);
  EXPECT_EQ(atEnd[0].rfind("WSACleanup", 0), 0u);
  EXPECT_EQ(atEnd[1].rfind("WSACleanup", 0), 0u);
  EXPECT_NE(atEnd[2].find("offscreen"), std::string::npos) << atEnd[2];
  EXPECT_NE(atEnd[3].find("backbuffer"), std::string::npos) << atEnd[3];
  EXPECT_NE(atEnd[4].find("primary"), std::string::npos) << atEnd[4];
  EXPECT_EQ(atEnd[5].rfind("IDirectDraw::Release", 0), 0u) << atEnd[5];
  EXPECT_EQ(atEnd[6].rfind("WSACleanup", 0), 0u);
}

TEST(ViewerStart, AsksForTheWindowAndTheDisplayModeOnce) {
  ScenarioRun run("frame; key ESCAPE");
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  std::vector<std::string> window = run.callsNamed("CreateWindowExA");
  ASSERT_EQ(window.size(), 1u);
  EXPECT_NE(window[0].find("\"Corvane\""), std::string::npos) << window[0];
  std::vector<std::string> mode = run.callsNamed("IDirectDraw::SetDisplayMode");
  ASSERT_EQ(mode.size(), 1u);
  EXPECT_NE(mode[0].find("640, 480, 24"), std::string::npos) << mode[0];
  // The picture is read from the working directory, as a file.
  std::vector<std::string> load = run.callsNamed("LoadImageA");
  ASSERT_FALSE(load.empty());
  EXPECT_NE(load[0].find("\"intro.bmp\""), std::string::npos) << load[0];
  EXPECT_TRUE(run.boxes.empty());
}

TEST(ViewerStart, CommandLineIsIgnored) {
  Options options;
  options.arguments = {"--zoom", "4", "other.bmp"};
  ScenarioRun run("frame; dump first; key ESCAPE", options);
  ASSERT_EQ(endedWith27Showing(run, "first", expectedFrameAtZoom1(introPicture())), "");
}

TEST(ViewerStart, WithoutThePictureShowsTheEmptyFrameAndStillObeysKeys) {
  Options options;
  options.withPicture = false;
  ScenarioRun run(
      "frame; dump empty; key Q; key C; key B; key D; key E; key R; key T; key Y; key U; key I; key W; frame; "
      "dump keyed; key SPACE; frame; dump menu; key ESCAPE",
      options);
  ASSERT_EQ(run.exitCode, 27) << run.describe();
  EXPECT_EQ(run.status, "complete");
  EXPECT_EQ(compareImages(run.frame("empty"), expectedFrameAtZoom1({})), "");
  EXPECT_EQ(compareImages(run.frame("keyed"), expectedFrameAtZoom1({})), "");
  EXPECT_EQ(compareImages(run.frame("menu"), expectedFrameAtZoom1({}, true)), "");
  EXPECT_TRUE(run.boxes.empty());
  // W looked for the picture and found none.
  EXPECT_NE(std::find(run.debug.begin(), run.debug.end(), "handle is null\\n"), run.debug.end());
  EXPECT_EQ(run.cursorCounter, 0);
}

TEST(ViewerStart, DisplayModeThatCannotBeSetEndsWithItsBoxAndCode0) {
  Options options;
  options.environment = {{"CORVANE_FAULTS", "IDirectDraw::SetDisplayMode=0x80004001"}};
  ScenarioRun run("", options);
  ASSERT_EQ(run.exitCode, 0) << run.describe();
  EXPECT_EQ(run.status, "complete");
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, "Error Setting Display Mode");
  EXPECT_EQ(run.boxes[0].caption, "(null)");
  EXPECT_EQ(run.boxes[0].type, static_cast<unsigned>(MB_OK | MB_ICONERROR));
  EXPECT_FALSE(run.boxes[0].owned);
  // Nothing after the failed set-up: no picture, no cursor change, no frame.
  EXPECT_TRUE(run.callsNamed("ShowCursor").empty());
  EXPECT_TRUE(run.callsNamed("LoadImageA").empty());
  EXPECT_EQ(run.cursorCounter, 0);
  EXPECT_EQ(run.presented, 0u);
  // The DirectDraw object went with the failure; nothing is left for the end.
  EXPECT_TRUE(only(run.callsAfter("WinMain returned"), {"IDirectDraw"}).empty());
}

TEST(ViewerStart, RefusedSocketLibraryShowsItsBoxAndEndsAtOnceWith0) {
  Options options;
  options.environment = {{"CORVANE_WSA_REFUSE", "10091"}};  // WSASYSNOTREADY, for the first start-up
  ScenarioRun run("frame; dump never", options);
  ASSERT_EQ(run.exitCode, 0) << run.describe();
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].caption, "Aborting");
  EXPECT_EQ(run.boxes[0].text, "Error Couldnt Init Winsock!");
  EXPECT_EQ(run.boxes[0].type, static_cast<unsigned>(MB_OK | MB_ICONINFORMATION));
  // The waiting quit ends the loop before any frame; the cursor stays hidden
  // and the devices are not released.
  EXPECT_EQ(run.presented, 0u);
  EXPECT_EQ(run.status, "unfinished at step 1");
  EXPECT_EQ(run.cursorCounter, -1);
  EXPECT_TRUE(run.callsNamed("IDirectInputDevice::Unacquire").empty());
}

TEST(ViewerStart, EveryRefusedSocketStartUpShowsItsOwnBox) {
  Options options;
  options.environment = {{"CORVANE_WSA_REFUSE", "10091*3"}};
  ScenarioRun run("", options);
  ASSERT_EQ(run.exitCode, 0) << run.describe();
  ASSERT_EQ(run.boxes.size(), 3u);
  for (const BoxRecord &box : run.boxes) EXPECT_EQ(box.caption, "Aborting");
  EXPECT_EQ(run.presented, 0u);
}

}  // namespace

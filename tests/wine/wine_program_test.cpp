// corvane.exe, the Windows program with the layer's own DirectDraw inside,
// on Wine on an X server of the test's own: its screens must be the Linux
// program's pixel for pixel outside the texts' boxes (Wine's font draws
// other glyphs in boxes a row taller), and its keys and exits the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/scenario_frame.h"
#include "support/scenario_run.h"
#include "support/x_screen.h"

namespace {

using namespace scenario;
using namespace xscreen;
namespace fs = std::filesystem;

const fs::path kProgram = fs::path(CORVANE_BINARY_DIR) / "windows" / "corvane.exe";
// The same program whose DirectDraw honours faults injected through CORVANE_FAULTS.
const fs::path kTestingProgram = fs::path(CORVANE_BINARY_DIR) / "windows" / "corvane_testing.exe";

// The text rows a frame may show, by the top of their box.
constexpr int kTextTops[] = {0, 435, 455, 460};

// The boxes of the texts a frame shows: each as wide as its box in the
// frame, with room for Wine's wider glyphs, and a row taller.
std::vector<Box> textBoxes(const RgbImage &frame) {
  std::vector<Box> boxes;
  for (int top : kTextTops) {
    int right = -1;
    for (int y = top; y < top + 13 && y < frame.height; ++y)
      for (int x = 0; x < frame.width; ++x)
        if (frame.at(x, y) == kTextBack && frame.at(0, top + 1) == kTextBack) right = std::max(right, x);
    if (right >= 0) boxes.push_back(Box{0, top, right + 1 + right / 25 + 2, top + 14});
  }
  return boxes;
}

class WineProgramTest : public XScreenTest {
 protected:
  static void SetUpTestSuite() {
    if (!onPath("wine") || !fs::exists(kProgram)) return;
    // One Wine prefix for the whole run: its first start takes 15-20 s.
    const fs::path base = fs::path(CORVANE_BINARY_DIR) / "e2e-runs";
    fs::create_directories(base);
    std::string pattern = (base / "wineprefix-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    prefix_ = pattern;
    int code = 0;
    capture({"wineboot", "-i"}, wineEnvironment(), &code, 180);
    // With no window manager to send WM_TAKE_FOCUS, Wine activates a window
    // when it gets the X focus only with this set.
    capture({"wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "UseTakeFocus", "/d", "N", "/f"},
            wineEnvironment(), &code, 60);
    // Programs started later bring up Wine's desktop on their own display.
    capture({"wineserver", "-w"}, wineEnvironment(), &code, 60);
  }
  static void TearDownTestSuite() {
    if (!prefix_.empty()) fs::remove_all(prefix_);
    prefix_.clear();
  }
  static Environment wineEnvironment() {
    return {{"WINEPREFIX", prefix_}, {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
  }

  void SetUp() override {
    if (!onPath("wine")) GTEST_SKIP() << "wine is not installed (packages wine, wine64)";
    if (!fs::exists(kProgram))
      GTEST_SKIP() << kProgram << " is not built (the test windows_cross_build makes it; package g++-mingw-w64)";
    std::string missing;
    if (!toolsPresent(&missing)) GTEST_SKIP() << missing;
    ASSERT_FALSE(prefix_.empty()) << "no Wine prefix";
    makeRunFolder("wine");
  }

  void TearDown() override {
    program_.stop();
    XScreenTest::TearDown();
  }

  // The program on a new 640x480 screen; its window (or the first window
  // named `name`), or "" after a failure.
  std::string start(bool withPicture = true, const Environment &extra = {}, const fs::path &program = kProgram,
                    const std::string &name = "^Corvane$", int width = 640, int height = 480) {
    if (withPicture) fs::copy_file(introPath(), dir_ + "/intro.bmp");
    fs::copy_file(program, dir_ + "/" + program.filename().string(), fs::copy_options::overwrite_existing);
    startScreen(width, height);
    if (HasFatalFailure()) return {};
    Environment environment = x();
    for (const auto &variable : wineEnvironment()) environment.push_back(variable);
    environment.insert(environment.end(), extra.begin(), extra.end());
    EXPECT_TRUE(program_.start({"wine", program.filename().string()}, environment, dir_, dir_ + "/program.log"));
    const auto end = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < end && program_.running()) {
      int code = 0;
      std::string out = capture({"xdotool", "search", "--onlyvisible", "--name", name}, x(), &code, 5);
      if (code == 0 && !out.empty()) return out.substr(0, out.find('\n'));
      pause(0.2);
    }
    ADD_FAILURE() << "no window: " << readFile(dir_ + "/program.log");
    return {};
  }

  // "" when the screen shows `frame` at (x0, y0) outside its texts' boxes.
  std::string waitFor(const RgbImage &frame, const std::string &what, int x0 = 0, int y0 = 0) {
    std::vector<Box> boxes = textBoxes(frame);
    for (Box &box : boxes) box = Box{box.left + x0, box.top + y0, box.right + x0, box.bottom + y0};
    return waitForScreen(frame, what, x0, y0, 20, boxes);
  }

  // The size of the window `id` as xwininfo sees it, "WIDTHxHEIGHT".
  std::string windowSize(const std::string &id) {
    const std::string info = capture({"xwininfo", "-id", id}, x(), nullptr, 5);
    std::smatch m;
    if (!std::regex_search(info, m, std::regex("Width: (\\d+)[\\s\\S]*Height: (\\d+)"))) return "none";
    return m[1].str() + "x" + m[2].str();
  }

  int exitCode() { return program_.wait(30); }

  static std::string prefix_;
  Child program_;
};

std::string WineProgramTest::prefix_;

TEST_F(WineProgramTest, FramesColourKeysAndWAreTheLinuxProgramsAndEscEndsWith27) {
  ScenarioRun reference(
      "frame; dump first; key E; frame; dump red; key E; frame; dump redder; key W; frame; "
      "dump restored; key ESCAPE");
  ASSERT_EQ(endedWith27Showing(reference, "first", expectedFrameAtZoom1(introPicture())), "");

  ASSERT_FALSE(start().empty());
  EXPECT_EQ(waitFor(reference.frame("first"), "first"), "");
  expectKeysShowFrames(reference, {{"e", "red"}, {"e", "redder"}, {"w", "restored"}},
                       [this](const RgbImage &frame, const std::string &what) { return waitFor(frame, what); });
  key("Escape");
  EXPECT_EQ(exitCode(), 27);
}

TEST_F(WineProgramTest, TheMenuAndNineZoomOutStepsKeepTheirGeometry) {
  ScenarioRun reference("frame; key SPACE; frame; dump menu; key SUBTRACT 9; frame; dump out; key ESCAPE");
  ASSERT_FALSE(reference.frame("out").empty()) << reference.describe();

  ASSERT_FALSE(start().empty());
  EXPECT_EQ(waitFor(expectedFrameAtZoom1(introPicture()), "first"), "");
  key("space");
  EXPECT_EQ(waitFor(reference.frame("menu"), "menu"), "");
  for (int i = 0; i < 9; ++i) key("KP_Subtract");
  EXPECT_EQ(waitFor(reference.frame("out"), "out"), "");
  key("Escape");
  EXPECT_EQ(exitCode(), 27);
}

TEST_F(WineProgramTest, WithoutAPictureTheFrameStillShowsAndAltF4EndsWith0) {
  ASSERT_FALSE(start(false).empty());
  EXPECT_EQ(waitFor(expectedFrameAtZoom1(RgbImage{}), "no-picture"), "");
  key("alt+F4");
  EXPECT_EQ(exitCode(), 0);
}

TEST_F(WineProgramTest, LosingTheFocusAndGettingItBackReloadsThePicture) {
  ScenarioRun reference("frame; dump first; key B; frame; dump bright; key ESCAPE");
  ASSERT_FALSE(reference.frame("bright").empty()) << reference.describe();

  const std::string window = start();
  ASSERT_FALSE(window.empty());
  EXPECT_EQ(waitFor(reference.frame("first"), "first"), "");
  // Without a window manager the X focus only follows the pointer until
  // someone sets it; Wine hears of a loss only from a window that had it.
  xdotool({"windowfocus", "--sync", window});
  key("b");
  ASSERT_EQ(waitFor(reference.frame("bright"), "bright"), "");
  takeFocusAway();
  pause(1);
  giveFocusBack(window);
  // The surfaces went with the focus: the picture comes again from its file.
  EXPECT_EQ(waitFor(reference.frame("first"), "reloaded"), "");
  key("Escape");
  EXPECT_EQ(exitCode(), 27);
}

TEST_F(WineProgramTest, OnALargerScreenTheDisplayIsCentredWithBlackBarsAndAltEnterGivesAWindow) {
  // 1024x768 holds the 640x480 display once: 1x, 192 and 144 pixels of bars.
  const std::string window = start(true, {}, kProgram, "^Corvane$", 1024, 768);
  ASSERT_FALSE(window.empty());
  const RgbImage first = expectedFrameAtZoom1(introPicture());
  EXPECT_EQ(waitFor(first, "full-screen", 192, 144), "");
  EXPECT_EQ(windowSize(window), "1024x768");
  xdotool({"windowfocus", "--sync", window});
  // Alt+Enter: a 640x480 window showing the same pixels in the same place.
  key("alt+Return");
  EXPECT_EQ(waitFor(first, "windowed", 192, 144), "");
  EXPECT_EQ(windowSize(window), "640x480");
  key("alt+Return");
  EXPECT_EQ(waitFor(first, "full-screen-again", 192, 144), "");
  EXPECT_EQ(windowSize(window), "1024x768");
  key("Escape");
  EXPECT_EQ(exitCode(), 27);
}

TEST_F(WineProgramTest, ADirectDrawFailureShowsItsBoxUntilItIsDismissed) {
  if (!fs::exists(kTestingProgram)) GTEST_SKIP() << kTestingProgram << " is not built";
  const std::string box =
      start(true, {{"CORVANE_FAULTS", "IDirectDraw::SetDisplayMode=0x80004005"}}, kTestingProgram, "^Error$");
  ASSERT_FALSE(box.empty());
  // Windows' own box, drawn on the screen, holds the program until closed.
  const std::string info = capture({"xwininfo", "-id", box}, x(), nullptr, 5);
  pause(0.5);
  EXPECT_EQ(windowDrawnProblem(info), "");
  EXPECT_TRUE(program_.running());
  xdotool({"key", "--window", box, "Return"});
  EXPECT_EQ(exitCode(), 0);
}

}  // namespace

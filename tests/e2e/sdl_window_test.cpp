// The real program in a real window: each test starts an X server of its own
// (Xvfb, 24 bits a pixel), runs the viewer on it, types with xdotool and
// compares screenshots pixel by pixel with the frames the program draws
// (the same scenario run on the headless host) and with the expected look.
#include <gtest/gtest.h>

#include <cstdio>
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

// The zoom after `steps` presses of keypad + from 1.0, as a percentage.
int zoomPercentAfter(int steps) {
  float zoom = 1.0f;
  for (int i = 0; i < steps; ++i) {
    const double sum = static_cast<double>(zoom) + static_cast<double>(0.1f);
    zoom = sum > 16 ? 16.0f : static_cast<float>(sum);
  }
  return static_cast<int>(static_cast<double>(zoom) * 100.0);
}

// A start-up failure's box titled "Error" on the screen, as xwininfo finds it.
struct ErrorBox {
  std::string id;
  int x = 0, y = 0, width = 0, height = 0;
};

class SdlWindowTest : public XScreenTest {
 protected:
  void SetUp() override {
#ifndef CORVANE_VIEWER
    GTEST_SKIP() << "the SDL program (target corvane) is not built";
#else
    // The package test points these at the program and picture it unpacked.
    const char *viewer = std::getenv("CORVANE_TEST_VIEWER");
    const char *picture = std::getenv("CORVANE_TEST_PICTURE");
    viewerPath_ = viewer ? viewer : CORVANE_VIEWER;
    std::string missing;
    if (!toolsPresent(&missing)) GTEST_SKIP() << missing;
    makeRunFolder("sdl");
    fs::copy_file(picture ? picture : introPath(), dir_ + "/intro.bmp");
#endif
  }

  void TearDown() override {
    viewer_.stop();
    XScreenTest::TearDown();
  }

  void startViewer(const Environment &extra = {}) {
    Environment environment = x();
    environment.insert(environment.end(), extra.begin(), extra.end());
    ASSERT_TRUE(viewer_.start({viewerPath_}, environment, dir_, dir_ + "/viewer.log"));
  }

  // The viewer's window once it is mapped; keys sent before are lost.
  std::string waitForWindow(const std::string &name = "^Corvane$") {
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < end) {
      int code = 0;
      std::string out = capture({"xdotool", "search", "--onlyvisible", "--name", name}, x(), &code, 5);
      if (code == 0 && !out.empty()) return out.substr(0, out.find('\n'));
      if (!viewer_.running() && name == "^Corvane$") break;
      pause(0.1);
    }
    return {};
  }

  // A new screen, the viewer on it and its first frame, centred; the
  // viewer's window, or "" after a failure.
  std::string startWithFirstFrame(int width = 640, int height = 480, const Environment &extra = {}) {
    startScreen(width, height);
    if (HasFatalFailure()) return {};
    startViewer(extra);
    const std::string window = waitForWindow();
    if (window.empty()) {
      ADD_FAILURE() << "no window: " << viewerOutput();
      return {};
    }
    const std::string first = waitForScreen(expectedFrameAtZoom1(introPicture()), "first", (width - kScreenWidth) / 2,
                                            (height - kScreenHeight) / 2);
    if (!first.empty()) {
      ADD_FAILURE() << first;
      return {};
    }
    return window;
  }

  // CPU time (user + system, seconds) the viewer used over `seconds`.
  double viewerCpu(double seconds) { return processCpu(viewer_.pid(), seconds); }

  // The viewer window's size as xwininfo sees it, "WIDTHxHEIGHT".
  std::string windowSize() {
    const std::string info = capture({"xwininfo", "-name", "Corvane"}, x(), nullptr, 5);
    std::smatch m;
    if (!std::regex_search(info, m, std::regex("Width: (\\d+)[\\s\\S]*Height: (\\d+)"))) return "none";
    return m[1].str() + "x" + m[2].str();
  }
  bool waitForWindowSize(const std::string &size) {
    for (int i = 0; i < 100; ++i) {
      if (windowSize() == size) return true;
      pause(0.1);
    }
    return false;
  }

  std::string viewerOutput() {
    return readFile(dir_ + "/viewer.log") + (xvfb_.running() ? "" : "\n(the X server has gone away)");
  }

  std::string measure(const Environment &environment);
  int holdZoomIn(double seconds);
  ErrorBox startUpFailureBox();

  std::string viewerPath_;
  Child viewer_;
};

TEST_F(SdlWindowTest, KeysShowOnTheScreenExactlyAsTheProgramDrawsThem) {
  ScenarioRun reference(
      "frame; dump first; key ADD; frame; dump zoom; key B; frame; dump bright; key SPACE; frame; "
      "dump help; key ESCAPE");
  ASSERT_EQ(reference.exitCode, 27) << reference.describe();
  ASSERT_FALSE(reference.frame("help").empty()) << reference.describe();

  // The first frame: picture clipped inside the red frame, zoom line, prompt.
  ASSERT_FALSE(startWithFirstFrame().empty());
  expectKeysShowFrames(reference, {{"KP_Add", "zoom"}, {"b", "bright"}, {"space", "help"}});
  key("Escape");
  EXPECT_EQ(viewer_.wait(15), 27) << viewerOutput();
}

TEST_F(SdlWindowTest, OnALargerScreenTheDisplayIsCentredAtAWholeFactorWithBlackBars) {
  // 1024x768 holds the 640x480 display once: 1x, 192 and 144 pixels of bars.
  ASSERT_FALSE(startWithFirstFrame(1024, 768).empty());
  EXPECT_EQ(windowSize(), "1024x768");

  // Alt+Enter: a 640x480 window in the middle, showing the same pixels in
  // the same place; and back. The program sees nothing of it.
  key("alt+Return");
  EXPECT_TRUE(waitForWindowSize("640x480")) << windowSize();
  EXPECT_EQ(waitForScreen(expectedFrameAtZoom1(introPicture()), "windowed", 192, 144), "");
  key("alt+Return");
  EXPECT_TRUE(waitForWindowSize("1024x768")) << windowSize();
  EXPECT_EQ(waitForScreen(expectedFrameAtZoom1(introPicture()), "full-screen-again", 192, 144), "");
  key("Escape");
  EXPECT_EQ(viewer_.wait(15), 27) << viewerOutput();
}

TEST_F(SdlWindowTest, AltF4EndsTheViewerWithExitCodeZero) {
  ASSERT_FALSE(startWithFirstFrame().empty());
  key("alt+F4");
  EXPECT_EQ(viewer_.wait(15), 0) << viewerOutput();
}

// Holds keypad + for `seconds`, then checks that the settled screen is the
// frame the program draws after as many steps as its zoom line shows.
// Returns that number of steps, or -1 after a failure.
int SdlWindowTest::holdZoomIn(double seconds) {
  xdotool({"keydown", "KP_Add"});
  pause(seconds);  // the X server repeats a held key after about 0.66 s, every 40 ms
  xdotool({"keyup", "KP_Add"});
  const RgbImage screen = settledScreen();
  if (screen.empty()) {
    ADD_FAILURE() << "no screenshot";
    return -1;
  }

  // Which zoom does the zoom line show?
  int steps = -1;
  for (int k = 0; k <= 150 && steps < 0; ++k) {
    RgbImage line(kScreenWidth, 13, kBlack);
    overlayText(line, zoomLine(zoomPercentAfter(k)), 0);
    if (compareImages(crop(screen, 0, 0, kScreenWidth, 13), line).empty()) steps = k;
  }
  if (steps < 0) {
    ADD_FAILURE() << "the zoom line shows no zoom reachable with keypad +";
    return -1;
  }

  // The whole screen is the frame the program draws after that many steps.
  ScenarioRun reference("frame; key ADD " + std::to_string(steps) + "; frame; dump held; key ESCAPE");
  if (reference.frame("held").empty()) {
    ADD_FAILURE() << reference.describe();
    return -1;
  }
  EXPECT_EQ(compareImages(screen, reference.frame("held")), "");
  return steps;
}

TEST_F(SdlWindowTest, AHeldKeyRepeatsItsCommand) {
  ASSERT_FALSE(startWithFirstFrame().empty());
  const int steps = holdZoomIn(1.5);
  ASSERT_GE(steps, 0);
  EXPECT_GE(steps, 3) << "a held key should have repeated several times";
  key("Escape");
  EXPECT_EQ(viewer_.wait(15), 27) << viewerOutput();
}

TEST_F(SdlWindowTest, EveryChangedFrameReachesTheScreenInTheNextRefresh) {
  // A frame equal to the one on the screen is not presented again. A held
  // zoom key changes the picture at every repeat: each of those frames must
  // be presented, in the refresh right after its key.
  ASSERT_FALSE(startWithFirstFrame(640, 480, {{"CORVANE_SDL_STATS", "1"}}).empty());
  pause(0.5);  // a still picture meanwhile
  const int steps = holdZoomIn(1.5);
  ASSERT_GE(steps, 3);
  key("Escape");
  ASSERT_EQ(viewer_.wait(15), 27) << viewerOutput();

  const std::string output = viewerOutput();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(output, m, std::regex("(\\d+) frames, .* (\\d+) presents skipped"))) << output;
  const long frames = std::stol(m[1]), skipped = std::stol(m[2]);
  ASSERT_TRUE(std::regex_search(output, m,
                                std::regex("key to changed frame: (\\d+)\\.\\.(\\d+) frames, mean "
                                           "[0-9.]+ over (\\d+) keys")))
      << output;
  EXPECT_EQ(m[1], "1");
  EXPECT_EQ(m[2], "1") << "a changed frame waited: " << output;
  // Repeats come 40 ms apart, so nearly every step has its own key and frame.
  const long keys = std::stol(m[3]);
  std::printf("held key: %d zoom steps, %ld keys each shown in the next frame, %ld of %ld frames presented\n", steps,
              keys, frames - skipped, frames);
  EXPECT_GE(keys, steps / 2) << output;
  EXPECT_GE(frames - skipped, keys + 1) << "presents: the first frame and one per key";
  EXPECT_GT(skipped, frames / 2) << "the still picture around the key is not presented again";
}

TEST_F(SdlWindowTest, LosingTheFocusAndGettingItBackReloadsThePicture) {
  ScenarioRun reference("frame; dump first; key B; frame; dump bright; key ESCAPE");
  ASSERT_FALSE(reference.frame("bright").empty()) << reference.describe();

  const std::string window = startWithFirstFrame();
  ASSERT_FALSE(window.empty());
  EXPECT_EQ(compareImages(reference.frame("first"), expectedFrameAtZoom1(introPicture())), "");
  key("b");
  ASSERT_EQ(waitForScreen(reference.frame("bright"), "bright"), "");

  takeFocusAway();
  pause(0.5);
  // Inactive, the viewer waits for messages: next to no CPU.
  const double inactive = viewerCpu(2.0);
  EXPECT_LT(inactive, 0.2) << "CPU seconds in 2 s while inactive";
  giveFocusBack(window);

  // The full-screen surfaces were lost with the focus: the picture is
  // loaded again from its file, without the brightening.
  EXPECT_EQ(waitForScreen(reference.frame("first"), "reloaded"), "");
  key("Escape");
  EXPECT_EQ(viewer_.wait(15), 27) << viewerOutput();
}

// Finds a window by its exact name with xwininfo, which sees the message
// box that SDL draws in a child process (xdotool's search does not).
std::string findBox(const Environment &x, const std::string &caption, std::string *info) {
  int code = 0;
  *info = capture({"xwininfo", "-name", caption}, x, &code, 5);
  std::smatch m;
  if (code != 0 || !std::regex_search(*info, m, std::regex("Window id: (0x[0-9a-fA-F]+)"))) return {};
  return m[1];
}

ErrorBox SdlWindowTest::startUpFailureBox() {
  viewerPath_ = CORVANE_VIEWER_TESTING;  // the test build, which honours injected faults
  startViewer({{"CORVANE_FAULTS", "IDirectDraw::SetDisplayMode=0x80004005"}});
  ErrorBox box;
  std::string info;
  const auto end = Clock::now() + std::chrono::seconds(30);
  while ((box.id = findBox(x(), "Error", &info)).empty() && viewer_.running() && Clock::now() < end) pause(0.1);
  if (box.id.empty()) {
    ADD_FAILURE() << "no box titled Error: " << viewerOutput();
    return {};
  }
  EXPECT_NE(info.find("IsViewable"), std::string::npos) << info;
  std::smatch m;
  if (!std::regex_search(info, m,
                         std::regex("Absolute upper-left X: +(\\d+)[\\s\\S]*Absolute upper-left Y: +(\\d+)"
                                    "[\\s\\S]*Width: +(\\d+)[\\s\\S]*Height: +(\\d+)"))) {
    ADD_FAILURE() << info;
    return {};
  }
  box.x = std::stoi(m[1]);
  box.y = std::stoi(m[2]);
  box.width = std::stoi(m[3]);
  box.height = std::stoi(m[4]);
  return box;
}

// Pixels inside a box that satisfy `test`.
template <class Test>
int countInBox(const RgbImage &shot, const ErrorBox &box, Test test) {
  int count = 0;
  for (int y = box.y; y < box.y + box.height && y < shot.height; ++y)
    for (int x = box.x; x < box.x + box.width && x < shot.width; ++x) count += test(shot.at(x, y)) ? 1 : 0;
  return count;
}

TEST_F(SdlWindowTest, AStartUpFailureShowsItsBoxUntilItIsDismissed) {
  startScreen(640, 480);
  const ErrorBox box = startUpFailureBox();
  ASSERT_FALSE(box.id.empty());

  // The box shows on the screen and holds the program until it is closed.
  pause(0.5);
  const RgbImage shot = screenshot();
  EXPECT_GT(countInBox(shot, box, [](Rgb c) { return c != kBlack; }), box.width * box.height / 2)
      << "the box is not drawn";
  EXPECT_TRUE(viewer_.running());

  xdotool({"key", "--window", box.id, "Return"});
  EXPECT_EQ(viewer_.wait(15), 0) << viewerOutput();
  EXPECT_NE(viewerOutput().find("Error: Error Setting Display Mode"), std::string::npos) << viewerOutput();
}

TEST_F(SdlWindowTest, WithoutTheServersCoreFontsTheHostShowsItsOwnBox) {
  // A server with only its built-in fonts, as on a desktop without the
  // core font packages: SDL's own box cannot load a font there.
  startScreen(640, 480, {"-fp", "built-ins"});
  const ErrorBox box = startUpFailureBox();
  ASSERT_FALSE(box.id.empty());
  pause(0.5);
  const RgbImage shot = screenshot();
  const int face = countInBox(shot, box, [](Rgb c) { return c.r == 0xF0 && c.g == 0xF0 && c.b == 0xF0; });
  const int ink = countInBox(shot, box, [](Rgb c) { return c == kBlack; });
  EXPECT_GT(face, box.width * box.height / 2) << "the box's face is not drawn";
  EXPECT_GT(ink, 100) << "no text in the box";
  EXPECT_TRUE(viewer_.running()) << "the box must hold the program";
  EXPECT_NE(viewerOutput().find("corvane-sdl: SDL cannot show its message box: "), std::string::npos) << viewerOutput();

  // A click on the OK button, found by its edge colour, dismisses it.
  int left = shot.width, top = shot.height, right = -1, bottom = -1;
  for (int y = box.y; y < box.y + box.height && y < shot.height; ++y)
    for (int x = box.x; x < box.x + box.width && x < shot.width; ++x)
      if (shot.at(x, y) == Rgb{0x00, 0x78, 0xD7}) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
  ASSERT_GE(right, 0) << "no OK button";
  xdotool({"mousemove", std::to_string((left + right) / 2), std::to_string((top + bottom) / 2)});
  pause(0.2);
  EXPECT_TRUE(viewer_.running()) << "moving the mouse is no click";
  xdotool({"click", "1"});
  EXPECT_EQ(viewer_.wait(15), 0) << viewerOutput();
  EXPECT_NE(viewerOutput().find("Error: Error Setting Display Mode"), std::string::npos) << viewerOutput();
}

// Figures for the record, and the pacing they show: start-up time, the
// frames between a key and the frame that shows it, frames per second,
// CPU while active and while inactive. Returns the host's own summary.
std::string SdlWindowTest::measure(const Environment &environment) {
  const auto started = Clock::now();
  Environment withStats = environment;
  withStats.push_back({"CORVANE_SDL_STATS", "1"});
  const std::string window = startWithFirstFrame(640, 480, withStats);
  if (window.empty()) return {};
  const double toFirstScreen = std::chrono::duration<double>(Clock::now() - started).count();

  for (const char *k : {"space", "space", "KP_Add", "KP_Subtract", "c", "c"}) {
    key(k);
    pause(0.3);
  }
  // Active, showing a still picture: drawn every refresh, presented once.
  const double active = viewerCpu(5.0) / 5.0;
  takeFocusAway();
  pause(0.5);
  const double inactive = viewerCpu(3.0) / 3.0;
  giveFocusBack(window);
  pause(0.5);
  key("Escape");
  EXPECT_EQ(viewer_.wait(15), 27) << viewerOutput();

  const std::string output = viewerOutput();
  std::smatch m;
  if (!std::regex_search(output, m,
                         std::regex("first frame (\\d+) ms after start; (\\d+) frames, ([0-9.]+) per second"))) {
    ADD_FAILURE() << "no figures from the host: " << output;
    return output;
  }
  const double perSecond = std::stod(m[3]);
  std::smatch keys;
  const bool latencies = std::regex_search(output, keys, std::regex("key to changed frame: ([^\n]*)"));
  std::printf("start to first frame: %s ms (first matching screenshot %.2f s after starting the X server)\n",
              m[1].str().c_str(), toFirstScreen);
  std::printf("frames per second while drawing: %.1f\n", perSecond);
  std::printf("key to the frame that shows it: %s\n", latencies ? keys[1].str().c_str() : "not measured");
  std::printf("CPU of one core: %.1f %% active with a still picture, %.1f %% inactive\n", active * 100, inactive * 100);
  std::smatch host;
  if (std::regex_search(output, host, std::regex("renderer ([^;]*); CPU ([0-9.]+) % [^;]*; (\\d+) presents skipped")))
    std::printf("host: renderer %s, CPU %s %% while drawing, %s presents skipped of %s frames\n", host[1].str().c_str(),
                host[2].str().c_str(), host[3].str().c_str(), m[2].str().c_str());
  else
    ADD_FAILURE() << "no renderer, CPU or skipped presents in the host's figures: " << output;
  RecordProperty("first_frame_ms", m[1].str());
  RecordProperty("frames_per_second", m[3].str());

  EXPECT_LE(perSecond, 75) << "presents are not paced to the refresh rate";
  EXPECT_GT(perSecond, 5);
  EXPECT_LT(inactive, 0.1) << "an inactive viewer should block waiting for messages";
  // Was 16-27 % when every frame was uploaded and presented; about 3 % now.
  EXPECT_LT(active, 0.1) << "a still picture should not be presented again and again";
  EXPECT_TRUE(latencies) << output;
  if (latencies) {
    EXPECT_NE(keys[1].str().find("1..1 frames"), std::string::npos)
        << "each key should show in the very next frame: " << keys[1];
  }
  return output;
}

TEST_F(SdlWindowTest, AnActiveViewerIsPacedAndAnInactiveOneSleeps) {
  // Xvfb offers no direct rendering: OpenGL would be llvmpipe, dearer than
  // SDL's software renderer.
  const std::string output = measure({});
  EXPECT_NE(output.find("renderer software;"), std::string::npos) << output;
}

TEST_F(SdlWindowTest, WithoutVsyncTheHostPacesPresentsItself) {
  // SDL_RENDER_VSYNC=0 takes the renderer's own waiting away; the renderer
  // named in SDL_RENDER_DRIVER is the one used.
  const std::string output = measure({{"SDL_RENDER_VSYNC", "0"}, {"SDL_RENDER_DRIVER", "opengl"}});
  EXPECT_NE(output.find("paced by the host"), std::string::npos) << output;
  EXPECT_NE(output.find("renderer opengl;"), std::string::npos) << output;
}

}  // namespace

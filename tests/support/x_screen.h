// Screens of the tests' own for programs in real windows: an X server per
// test (Xvfb, 24 bits a pixel, on a free display), processes started and
// ended by the test, keys typed with xdotool, screenshots compared pixel by
// pixel with the frames the program should show.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/scenario_frame.h"
#include "support/scenario_image.h"
#include "support/scenario_run.h"

namespace xscreen {

using scenario::RgbImage;
using Clock = std::chrono::steady_clock;
using Environment = std::vector<std::pair<std::string, std::string>>;

void pause(double seconds);
bool onPath(const std::string &tool);

// A process of the test's own, ended (TERM, then KILL) when it goes.
class Child {
 public:
  Child() = default;
  Child(const Child &) = delete;
  Child &operator=(const Child &) = delete;
  ~Child() { stop(); }

  // Output goes to `outputPath` (stdout and stderr), or nowhere when empty;
  // `inheritFd` stays open in the child.
  bool start(const std::vector<std::string> &argv, const Environment &environment, const std::string &directory,
             const std::string &outputPath, int inheritFd = -1) {
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      setpgid(0, 0);  // its own group: stop() ends whatever it started too
      for (const auto &[name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
      if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
      int out = open(outputPath.empty() ? "/dev/null" : outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
      }
      int in = open("/dev/null", O_RDONLY);
      if (in >= 0) dup2(in, 0);
      if (inheritFd >= 0) fcntl(inheritFd, F_SETFD, 0);
      std::vector<char *> args;
      for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    return true;
  }

  pid_t pid() const { return pid_; }
  bool running() {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == 0) return true;
    if (done == pid_) finish(status);
    return false;
  }
  // The exit code, or -1 when it did not end in time or ended by a signal.
  int wait(double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (running() && Clock::now() < end) pause(0.02);
    return running() ? -1 : exitCode_;
  }
  void stop() {
    if (!running()) return;
    kill(-pid_, SIGTERM);
    kill(pid_, SIGTERM);
    if (wait(3) == -1 && running()) {
      kill(-pid_, SIGKILL);
      kill(pid_, SIGKILL);
      int status = 0;
      waitpid(pid_, &status, 0);
      finish(status);
    }
  }

 private:
  void finish(int status) {
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
  }
  pid_t pid_ = -1;
  int exitCode_ = -1;
};

// Runs a command to its end and returns what it wrote on stdout.
std::string capture(const std::vector<std::string> &argv, const Environment &environment, int *exitCode,
                    double seconds = 20);
std::string readFile(const std::string &path);
void writePpm(const std::string &path, const RgbImage &image);
RgbImage crop(const RgbImage &image, int x0, int y0, int width, int height);
// CPU time (user + system, seconds) a process used over `seconds`.
double processCpu(pid_t pid, double seconds);

// A rectangle of the screen, right and bottom exclusive.
struct Box {
  int left, top, right, bottom;
};

// A test with an X server of its own and a folder for its run (kept when the
// test fails).
class XScreenTest : public ::testing::Test {
 protected:
  void TearDown() override;

  // The tools every such test needs; false (with the reason) when one is missing.
  static bool toolsPresent(std::string *missing);
  // A new folder under the build tree's e2e-runs, named after `prefix`.
  void makeRunFolder(const std::string &prefix);
  // An X server of the test's own on a free display, with the server's
  // further `options` (say, "-fp built-ins").
  void startScreen(int width, int height, const std::vector<std::string> &options = {});
  Environment x() const { return {{"DISPLAY", display_}}; }

  void xdotool(const std::vector<std::string> &arguments);
  void key(const std::string &name) { xdotool({"key", name}); }
  RgbImage screenshot();

  // Takes screenshots until the screen shows `expected` at (x0, y0), with
  // black all around it, or the time is up; pixels inside `ignored` are not
  // compared. "" when it did; otherwise what differed, with the last
  // screenshot kept.
  std::string waitForScreen(const RgbImage &expected, const std::string &what, int x0 = 0, int y0 = 0,
                            double seconds = 15, const std::vector<Box> &ignored = {});
  // A key to type and the dump of the reference run whose frame must follow.
  struct KeyAndFrame {
    std::string key, frame;
  };
  // How a test waits for a frame: "" once the screen shows it.
  using FrameWait = std::function<std::string(const RgbImage &expected, const std::string &what)>;
  // Types each key in turn and expects the screen to come to show the frame
  // `reference` dumped under its name; by default waited for as
  // waitForScreen does at (0, 0).
  void expectKeysShowFrames(const scenario::ScenarioRun &reference, const std::vector<KeyAndFrame> &steps,
                            const FrameWait &waitFor = {});
  // "" when the window that xwininfo described in `info` shows on the
  // screen (more than half its pixels not black); otherwise what is wrong.
  std::string windowDrawnProblem(const std::string &info);
  // Screenshots until two in a row are the same: the program has settled.
  RgbImage settledScreen();

  // A second top-level window, off the screen so that it covers nothing,
  // that takes the focus from the program. Without a window manager
  // `xdotool windowactivate` has nobody to ask; `windowfocus` sets the X
  // input focus directly.
  void takeFocusAway();
  void giveFocusBack(const std::string &window);

  std::string dir_, display_;
  int width_ = 0, height_ = 0;
  Child xvfb_, thief_;
};

}  // namespace xscreen

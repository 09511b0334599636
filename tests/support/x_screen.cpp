#include "support/x_screen.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace xscreen {

namespace fs = std::filesystem;
using scenario::kBlack;
using scenario::Rgb;

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

bool onPath(const std::string &tool) {
  const char *path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (!dir.empty() && access((dir + "/" + tool).c_str(), X_OK) == 0) return true;
  }
  return false;
}

std::string capture(const std::vector<std::string> &argv, const Environment &environment, int *exitCode,
                    double seconds) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    for (const auto &[name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    dup2(fds[1], 1);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 2);
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  std::string out;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  bool open = pid > 0;
  while (open && Clock::now() < end) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) > 0) {
      char buffer[4096];
      ssize_t n = read(fds[0], buffer, sizeof buffer);
      if (n <= 0)
        open = false;
      else
        out.append(buffer, static_cast<size_t>(n));
    }
  }
  close(fds[0]);
  int status = 0;
  pid_t done = 0;
  while (pid > 0 && (done = waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < end) pause(0.005);
  if (pid > 0 && done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    status = -1;
  }
  if (exitCode) *exitCode = (pid > 0 && status >= 0 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return out;
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writePpm(const std::string &path, const RgbImage &image) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << image.width << " " << image.height << "\n255\n";
  for (const Rgb &c : image.pixels) {
    const char bytes[3] = {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)};
    out.write(bytes, 3);
  }
}

RgbImage crop(const RgbImage &image, int x0, int y0, int width, int height) {
  if (image.width < x0 + width || image.height < y0 + height) return {};
  RgbImage out(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.at(x, y) = image.at(x0 + x, y0 + y);
  return out;
}

double processCpu(pid_t pid, double seconds) {
  auto ticks = [&] {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    std::string field;
    long long user = 0, system = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
      if (i == 14) user = std::stoll(field);
      if (i == 15) system = std::stoll(field);
    }
    return user + system;
  };
  const long long before = ticks();
  pause(seconds);
  return static_cast<double>(ticks() - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void XScreenTest::TearDown() {
  thief_.stop();
  xvfb_.stop();
  if (!dir_.empty() && !HasFailure()) fs::remove_all(dir_);
}

bool XScreenTest::toolsPresent(std::string *missing) {
  for (const char *tool : {"Xvfb", "xdotool", "xwininfo", "import", "xev"}) {
    if (!onPath(tool)) {
      *missing = std::string(tool) + " is not installed (packages xvfb, xdotool, x11-utils, imagemagick)";
      return false;
    }
  }
  return true;
}

void XScreenTest::makeRunFolder(const std::string &prefix) {
  const fs::path base = fs::path(CORVANE_BINARY_DIR) / "e2e-runs";
  fs::create_directories(base);
  std::string pattern = (base / (prefix + "-XXXXXX")).string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
}

void XScreenTest::startScreen(int width, int height, const std::vector<std::string> &options) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  std::vector<std::string> argv{"Xvfb",      "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                "-nolisten", "tcp"};
  argv.insert(argv.end(), options.begin(), options.end());
  ASSERT_TRUE(xvfb_.start(argv, {}, "", dir_ + "/xvfb.log", fds[1]));
  close(fds[1]);
  std::string number;
  const auto end = Clock::now() + std::chrono::seconds(20);
  while (number.find('\n') == std::string::npos && Clock::now() < end) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c;
    if (read(fds[0], &c, 1) != 1) break;
    number += c;
  }
  close(fds[0]);
  ASSERT_NE(number.find('\n'), std::string::npos) << "Xvfb did not start: " << readFile(dir_ + "/xvfb.log");
  display_ = ":";
  display_ += number.substr(0, number.find('\n'));
  width_ = width;
  height_ = height;
}

void XScreenTest::xdotool(const std::vector<std::string> &arguments) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  int code = 0;
  capture(argv, x(), &code);
  EXPECT_EQ(code, 0) << "xdotool " << arguments.front() << " failed";
}

RgbImage XScreenTest::screenshot() {
  const std::string path = dir_ + "/shot.ppm";
  fs::remove(path);
  int code = 0;
  capture({"import", "-window", "root", "-depth", "8", "ppm:" + path}, x(), &code);
  return code == 0 ? scenario::readPpm(path) : RgbImage{};
}

std::string XScreenTest::waitForScreen(const RgbImage &expected, const std::string &what, int x0, int y0,
                                       double seconds, const std::vector<Box> &ignored) {
  RgbImage full(width_, height_, kBlack);
  for (int y = 0; y < expected.height; ++y)
    for (int x = 0; x < expected.width; ++x) full.at(x0 + x, y0 + y) = expected.at(x, y);
  std::string difference;
  RgbImage shot;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  do {
    shot = screenshot();
    if (shot.width == full.width && shot.height == full.height)
      for (const Box &box : ignored)
        for (int y = std::max(box.top, 0); y < std::min(box.bottom, full.height); ++y)
          for (int x = std::max(box.left, 0); x < std::min(box.right, full.width); ++x) shot.at(x, y) = full.at(x, y);
    difference = scenario::compareImages(shot, full);
    if (difference.empty()) return "";
    pause(0.1);
  } while (Clock::now() < end);
  const std::string kept = dir_ + "/" + what + ".ppm";
  if (!shot.empty()) writePpm(kept, shot);
  writePpm(dir_ + "/" + what + "-expected.ppm", full);
  return what + ": " + difference + " (screenshot " + kept + ")";
}

void XScreenTest::expectKeysShowFrames(const scenario::ScenarioRun &reference, const std::vector<KeyAndFrame> &steps,
                                       const FrameWait &waitFor) {
  for (const KeyAndFrame &step : steps) {
    key(step.key);
    const RgbImage expected = reference.frame(step.frame);
    EXPECT_EQ(waitFor ? waitFor(expected, step.frame) : waitForScreen(expected, step.frame), "")
        << "after key " << step.key;
  }
}

RgbImage XScreenTest::settledScreen() {
  RgbImage last = screenshot();
  for (int i = 0; i < 50; ++i) {
    pause(0.2);
    RgbImage next = screenshot();
    if (!next.empty() && next.pixels == last.pixels) return next;
    last = next;
  }
  return last;
}

std::string XScreenTest::windowDrawnProblem(const std::string &info) {
  std::smatch m;
  if (!std::regex_search(info, m,
                         std::regex("Absolute upper-left X: +(\\d+)[\\s\\S]*Absolute upper-left Y: +(\\d+)"
                                    "[\\s\\S]*Width: +(\\d+)[\\s\\S]*Height: +(\\d+)")))
    return "no geometry in: " + info;
  const int bx = std::stoi(m[1]), by = std::stoi(m[2]), bw = std::stoi(m[3]), bh = std::stoi(m[4]);
  const RgbImage shot = screenshot();
  int lit = 0;
  for (int y = by; y < by + bh && y < shot.height; ++y)
    for (int x = bx; x < bx + bw && x < shot.width; ++x) lit += shot.at(x, y) != kBlack;
  if (lit > bw * bh / 2) return "";
  return "the window is not drawn: " + std::to_string(lit) + " of " + std::to_string(bw * bh) + " pixels lit";
}

void XScreenTest::takeFocusAway() {
  ASSERT_TRUE(thief_.start({"xev", "-geometry", "16x16+4000+4000", "-name", "corvane-focus-thief"}, x(), "", ""));
  const auto end = Clock::now() + std::chrono::seconds(20);
  std::string id;
  while (id.empty() && Clock::now() < end) {
    int code = 0;
    std::string out = capture({"xdotool", "search", "--name", "^corvane-focus-thief$"}, x(), &code, 5);
    if (code == 0 && !out.empty())
      id = out.substr(0, out.find('\n'));
    else
      pause(0.1);
  }
  ASSERT_FALSE(id.empty()) << "the second window did not appear";
  xdotool({"windowfocus", "--sync", id});
}

void XScreenTest::giveFocusBack(const std::string &window) {
  xdotool({"windowfocus", "--sync", window});
  thief_.stop();
}

}  // namespace xscreen

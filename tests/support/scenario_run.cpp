#include "support/scenario_run.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace scenario {
namespace {

namespace fs = std::filesystem;

constexpr auto kTimeout = std::chrono::seconds(240);

std::vector<std::string> readLines(const std::string &path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> split(const std::string &line, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(line);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

// The driver that tests/extra.cmake builds beside the tests.
std::string driverPath() {
  if (const char *path = std::getenv("CORVANE_SCENARIO_PROGRAM")) return path;
  return std::string(CORVANE_BINARY_DIR) + "/tests/corvane_scenario";
}

std::string uniqueDirectory() {
  const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "scenario";
  for (char &c : name)
    if (c == '/') c = '_';
  fs::path base = fs::path(CORVANE_BINARY_DIR) / "e2e-runs";
  fs::create_directories(base);
  std::string pattern = (base / (name + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

// Runs the driver and returns its exit code, or -1 when it was killed or
// did not exit on its own in time.
int runDriver(const std::string &workDir, const std::string &outDir, const std::string &scriptPath,
              const Options &options) {
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (chdir(workDir.c_str()) != 0) _exit(126);
    for (const auto &[name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
    setenv("CORVANE_QUIET_DEBUG", "1", 1);
    if (!freopen((outDir + "/stdout.txt").c_str(), "w", stdout)) _exit(126);
    if (!freopen((outDir + "/stderr.txt").c_str(), "w", stderr)) _exit(126);
    std::string program = driverPath();
    std::vector<std::string> words = {program, outDir, scriptPath};
    words.insert(words.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + kTimeout;
  int status = 0;
  while (true) {
    pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string introPath() { return std::string(CORVANE_SOURCE_DIR) + "/assets/intro.bmp"; }

const RgbImage &introPicture() {
  static const RgbImage picture = readBmp24(introPath());
  return picture;
}

ScenarioRun::ScenarioRun(const std::string &script, const Options &options) {
  workDir_ = uniqueDirectory();
  if (workDir_.empty()) {
    ADD_FAILURE() << "cannot make a working directory";
    return;
  }
  outDir_ = workDir_ + "/out";
  fs::create_directories(outDir_);
  if (options.withPicture) fs::copy_file(introPath(), workDir_ + "/intro.bmp");
  for (const auto &[name, picture] : options.pictures) writeBmp24(workDir_ + "/" + name, picture);
  std::string scriptPath = outDir_ + "/script.txt";
  std::ofstream(scriptPath) << script << '\n';

  exitCode = runDriver(workDir_, outDir_, scriptPath, options);

  for (const std::string &line : readLines(outDir_ + "/result.txt")) {
    if (line.rfind("cursor ", 0) == 0) cursorCounter = std::atoi(line.c_str() + 7);
    if (line.rfind("presented ", 0) == 0) presented = std::strtoul(line.c_str() + 10, nullptr, 10);
    if (line.rfind("status ", 0) == 0) status = line.substr(7);
  }
  calls = readLines(outDir_ + "/calls.txt");
  for (const std::string &line : readLines(outDir_ + "/steps.txt")) {
    std::vector<std::string> f = split(line, '\t');
    if (f.size() < 5) continue;
    steps.push_back({std::strtoul(f[0].c_str(), nullptr, 10), std::strtoul(f[1].c_str(), nullptr, 10),
                     std::atoi(f[2].c_str()), f[3] == "1", f[4]});
  }
  for (const std::string &line : readLines(outDir_ + "/boxes.txt")) {
    std::vector<std::string> f = split(line, '\t');
    if (f.size() < 4) continue;
    boxes.push_back({f[0], f[1], static_cast<unsigned>(std::strtoul(f[2].c_str(), nullptr, 10)), f[3] == "owner"});
  }
  debug = readLines(outDir_ + "/debug.txt");
  std::ifstream err(outDir_ + "/stderr.txt");
  std::ostringstream text;
  text << err.rdbuf();
  errors = text.str();
}

ScenarioRun::~ScenarioRun() {
  if (workDir_.empty()) return;
  if (::testing::Test::HasFailure()) {
    std::printf("scenario files kept in %s\n", workDir_.c_str());
    return;
  }
  std::error_code ignored;
  fs::remove_all(workDir_, ignored);
}

RgbImage ScenarioRun::frame(const std::string &name) const { return readPpm(outDir_ + "/" + name + ".ppm"); }

std::vector<std::string> ScenarioRun::callsAfter(const std::string &marker) const {
  std::vector<std::string> out;
  bool inside = false;
  for (const std::string &line : calls) {
    if (line.rfind("== ", 0) == 0) {
      if (inside) break;
      inside = line.substr(3) == marker;
      continue;
    }
    if (inside) out.push_back(line);
  }
  return out;
}

std::vector<std::string> ScenarioRun::callsNamed(const std::string &prefix) const {
  std::vector<std::string> out;
  for (const std::string &line : calls)
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  return out;
}

std::string ScenarioRun::describe() const {
  return "exit " + std::to_string(exitCode) + ", status \"" + status + "\", stderr: " + errors + " (files in " +
         workDir_ + ")";
}

}  // namespace scenario

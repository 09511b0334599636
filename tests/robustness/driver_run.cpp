#include "driver_run.h"

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace robustness {
namespace {

namespace fs = std::filesystem;

std::string driverProgram() {
  if (const char *path = std::getenv("CORVANE_FAULT_DRIVER_PROGRAM")) return path;
  return std::string(CORVANE_BINARY_DIR) + "/tests/corvane_fault_driver";
}

std::string newDirectory() {
  fs::path base = fs::path(CORVANE_BINARY_DIR) / "robustness-runs";
  fs::create_directories(base);
  std::string pattern = (base / "run-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

std::string readText(const std::string &path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void readReport(const std::string &path, DriverRun &run) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    run.reported = true;
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (key == "exit") continue;  // the process's own exit code counts
    if (key == "frames")
      run.frames = std::atoi(value.c_str());
    else if (key == "cursor")
      run.cursor = std::atoi(value.c_str());
    else if (key == "picture")
      run.picture = value;
    else if (key == "area")
      run.areaBlack = value == "black";
    else if (key == "problem")
      run.problems.push_back(value);
    else if (key == "busy")
      run.busy.push_back(value);
    else if (key == "debug")
      run.debug.push_back(value);
    else if (key == "note")
      run.notes.push_back(value);
    else if (key == "end")
      run.finished = true;
    else if (key == "box") {
      DriverBox box;
      std::istringstream fields(value);
      std::string type;
      std::getline(fields, box.caption, '\t');
      std::getline(fields, box.text, '\t');
      std::getline(fields, type);
      box.type = static_cast<unsigned>(std::strtoul(type.c_str(), nullptr, 10));
      run.boxes.push_back(box);
    } else if (key == "first" || key == "second" || key == "total") {
      const size_t last = value.rfind(' ');
      if (last == std::string::npos) continue;
      auto &counts = key == "first" ? run.first : key == "second" ? run.second : run.total;
      counts[value.substr(0, last)] = std::strtoul(value.c_str() + last + 1, nullptr, 10);
    }
  }
}

}  // namespace

std::string introPath() { return std::string(CORVANE_SOURCE_DIR) + "/assets/intro.bmp"; }

std::string DriverRun::describe() const {
  std::ostringstream out;
  if (timedOut)
    out << "timed out";
  else if (signal)
    out << "killed by signal " << signal;
  else
    out << "exit " << exitCode;
  out << ", " << frames << " frames, picture " << (picture.empty() ? "?" : picture);
  for (const DriverBox &b : boxes) out << ", box \"" << b.caption << "\": \"" << b.text << "\"";
  for (const std::string &p : problems) out << ", problem: " << p;
  for (const std::string &b : busy) out << ", busy: " << b;
  for (const std::string &n : notes) out << ", note: " << n;
  if (!finished) out << ", no end of process reported";
  if (!errors.empty()) out << "\nstderr:\n" << errors.substr(0, 2000);
  return out.str();
}

DriverRun runDriver(const DriverOptions &options) {
  DriverRun run;
  const std::string directory = newDirectory();
  if (directory.empty()) {
    run.errors = "cannot make a working directory";
    return run;
  }
  if (options.prepare) options.prepare(directory);
  const std::string report = directory + "/report.txt";
  const std::string errors = directory + "/stderr.txt";
  if (options.runAs != 0 && chown(directory.c_str(), options.runAs, options.runAs) != 0) {
    run.errors = "cannot hand the working directory over";
    return run;
  }

  pid_t child = fork();
  if (child == 0) {
    if (chdir(directory.c_str()) != 0) _exit(126);
    if (!freopen(errors.c_str(), "w", stderr)) _exit(126);
    if (!options.faults.empty())
      setenv("CORVANE_FAULTS", options.faults.c_str(), 1);
    else
      unsetenv("CORVANE_FAULTS");
    setenv("CORVANE_QUIET_DEBUG", "1", 1);
    if (options.runAs != 0) {
      if (setgroups(0, nullptr) != 0 || setgid(options.runAs) != 0 || setuid(options.runAs) != 0) _exit(125);
    }
    std::string program = driverProgram();
    std::vector<std::string> words = {program, options.mode, introPath(), report};
    if (options.keep) words.push_back("keep");
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  if (child < 0) {
    run.errors = "fork failed";
    return run;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  int status = 0;
  for (;;) {
    pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      run.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (!run.timedOut) {
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  }
  readReport(report, run);
  run.errors = readText(errors);
  std::error_code ignored;
  fs::remove_all(directory, ignored);
  return run;
}

}  // namespace robustness

// Runs corvane_fault_driver (the real viewer under a fixed script) in a
// process of its own, in a fresh working directory, optionally with faults
// armed, as another user, or with the directory filled first, and reads back
// what it reported.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace robustness {

struct DriverOptions {
  std::string mode = "plain";  // "plain" or "faults"
  std::string faults;          // CORVANE_FAULTS, empty for none
  bool keep = false;           // start with the intro.bmp that `prepare` left, not the sample picture
  std::function<void(const std::string &directory)> prepare;
  uid_t runAs = 0;  // non-zero: the child drops to this user and group
  int timeoutSeconds = 120;
};

struct DriverBox {
  std::string caption, text;
  unsigned type = 0;
};

struct DriverRun {
  int exitCode = -1;  // when the process exited
  int signal = 0;     // when a signal ended it
  bool timedOut = false;
  bool reported = false;  // the driver wrote its report
  bool finished = false;  // the report's last line: static destruction completed
  int frames = 0;
  int cursor = 0;
  std::string picture;  // "640x480", "none"
  bool areaBlack = false;
  std::vector<std::string> problems, busy, debug, notes;
  std::vector<DriverBox> boxes;
  std::map<std::string, size_t> first, second, total;  // platform calls by name
  std::string errors;                                  // standard error

  // A short account of the run for failure messages.
  std::string describe() const;
};

DriverRun runDriver(const DriverOptions &options);

// The sample picture the viewer ships with.
std::string introPath();

}  // namespace robustness

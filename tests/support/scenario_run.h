// Runs the scenario driver (the real viewer on the headless host) in a
// process of its own, in a fresh working directory, and reads back what it
// wrote: exit code, frames, call record, message boxes, debugger output.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "support/scenario_image.h"

namespace scenario {

struct Options {
  bool withPicture = true;  // copy assets/intro.bmp into the working directory
  std::vector<std::pair<std::string, std::string>> environment;
  std::vector<std::string> arguments;  // the viewer's command line
  // Files to put into the working directory before the start: name, picture.
  std::vector<std::pair<std::string, RgbImage>> pictures;
};

struct StepRecord {
  size_t presented = 0;  // frames presented when the step was carried out
  size_t idle = 0;       // times the viewer had waited for input by then
  int cursorCounter = 0;
  bool cursorVisible = true;
  std::string text;
};

struct BoxRecord {
  std::string caption;  // "(null)" for a null caption
  std::string text;
  unsigned type = 0;
  bool owned = false;
};

class ScenarioRun {
 public:
  ScenarioRun(const std::string &script, const Options &options = {});
  ~ScenarioRun();  // removes the working directory unless the test has failed
  ScenarioRun(const ScenarioRun &) = delete;
  ScenarioRun &operator=(const ScenarioRun &) = delete;

  int exitCode = -1;  // of the process; -1 when it did not exit normally
  int cursorCounter = 0;
  size_t presented = 0;
  std::string status;              // "complete", "unfinished at step N", "aborted: ..."
  std::vector<std::string> calls;  // with the driver's "== ..." marker lines
  std::vector<StepRecord> steps;
  std::vector<BoxRecord> boxes;
  std::vector<std::string> debug;  // escaped: "\n" for a line feed
  std::string errors;              // the process's standard error

  RgbImage frame(const std::string &name) const;  // a dump; empty when missing
  // The calls after the marker line "== MARKER" up to the next marker.
  std::vector<std::string> callsAfter(const std::string &marker) const;
  // Every call whose text starts with `prefix`, from the whole record.
  std::vector<std::string> callsNamed(const std::string &prefix) const;
  const std::string &workDirectory() const { return workDir_; }
  std::string describe() const;  // for failure messages

 private:
  std::string workDir_, outDir_;
};

// The sample picture as its file holds it.
const RgbImage &introPicture();
std::string introPath();

}  // namespace scenario

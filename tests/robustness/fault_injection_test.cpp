// Fault injection at every platform call the viewer makes: the calls are
// taken from the record of a normal run, then each one is made to fail once,
// in its own process, at each of its calls during start-up and at its first
// call once the viewer is running, while the viewer is driven through every
// command to Esc. The outcome must be the one the failure tables give: a
// set-up failure shows its box and exits with 0, anything else keeps the
// viewer running until Esc exits with 27; never a crash, a hang or a
// surface left locked. The table of outcomes is printed and written to
// robustness/fault-table.md in the build tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "driver_run.h"

namespace {

using robustness::DriverOptions;
using robustness::DriverRun;
using robustness::runDriver;

constexpr unsigned kErrorBox = 0x10;        // MB_OK | MB_ICONERROR
constexpr unsigned kInformationBox = 0x40;  // MB_OK | MB_ICONINFORMATION
constexpr int kMostStartUpCalls = 6;        // calls of one name failed in turn during start-up

struct Expected {
  int exitCode = 27;
  std::string caption, text;  // the box, if any
  unsigned type = 0;
  std::string why;
  bool leftBusy = false;  // the refused call is the one that gives the surface back
};

// What the failure tables give for a call that fails once.
Expected expectedFor(const std::string &name, bool startUp, size_t occurrence) {
  Expected e;
  const char *surfaces = "Couldnt Set Surfaces! Fatal Error! DirectX is jacked Man";
  if (startUp && occurrence == 0) {
    if (name == "CreateWindowExA") return {0, "", "", 0, "no window: set-up ends without a box"};
    if (name == "RegisterClassA") return {0, "", "", 0, "no class, so no window: set-up ends without a box"};
    if (name == "DefWindowProcA") return {0, "", "", 0, "WM_NCCREATE refused, so no window: no box"};
    if (name == "DirectDrawCreate")
      return {0, "Error!!!", "Couldnt Create DirectX Object! Error: Terminating!", kErrorBox, "set-up fails"};
    if (name == "IDirectDraw::SetCooperativeLevel")
      return {0, "Error", "Couldnt Set Cooperative Level, Fatal Error Aborting", kErrorBox, "set-up fails"};
    if (name == "IDirectDraw::SetDisplayMode")
      return {0, "(null)", "Error Setting Display Mode", kErrorBox, "set-up fails"};
    if (name == "IDirectDraw::CreateSurface")
      return {0, "Broken Software :(", surfaces, kErrorBox, "the primary surface: set-up fails"};
    if (name == "IDirectDrawSurface::GetAttachedSurface")
      return {0, "Broken Software :(", surfaces, kErrorBox, "the back buffer: set-up fails"};
  }
  if (startUp && name == "WSAStartup")
    return {0, "Aborting", "Error Couldnt Init Winsock!", kInformationBox, "a quit message waits: the loop returns 0"};
  if (name == "IDirectDrawSurface::Unlock") {
    e.why = "runs on; the picture stays locked until the next colour command's Unlock";
    e.leftBusy = true;
    return e;
  }
  if (name == "IDirectDrawSurface::ReleaseDC") {
    e.why = startUp ? "runs on without its picture: the picture keeps its DC, so no blit or restore can use it"
                    : "runs on with a frozen display: the back buffer keeps its DC, so every flip fails";
    e.leftBusy = true;
    return e;
  }
  if (startUp && name == "ShowWindow") {
    e.why = "runs on, but its window is never shown, so no key reaches it: Esc is posted to the window";
    return e;
  }
  e.why = "runs on";
  return e;
}

struct Row {
  std::string name;
  std::string when;  // "start-up, call 1", "running"
  std::string faults;
  Expected expected;
  DriverRun run;
  std::string verdict;  // "" when as expected
};

std::string outcomeOf(const DriverRun &run) {
  std::ostringstream out;
  if (run.timedOut) return "hang (timed out)";
  if (run.signal) return "crash (signal " + std::to_string(run.signal) + ")";
  out << "exit " << run.exitCode;
  for (const robustness::DriverBox &box : run.boxes) out << ", box \"" << box.text << "\"";
  if (run.busy.size()) out << ", left busy: " << run.busy.front();
  if (run.problems.size()) out << ", " << run.problems.size() << " problems";
  for (const std::string &note : run.notes) out << "; " << note;
  return out.str();
}

std::string judge(const Row &row) {
  const DriverRun &run = row.run;
  if (run.timedOut) return "hang";
  if (run.signal) return "crash";
  if (!run.reported) return "no report";
  if (!run.finished) return "did not finish its exit";
  if (run.exitCode != row.expected.exitCode)
    return "exit " + std::to_string(run.exitCode) + ", wanted " + std::to_string(row.expected.exitCode);
  if (row.expected.text.empty() != run.boxes.empty()) return "boxes differ";
  if (!run.boxes.empty()) {
    const robustness::DriverBox &box = run.boxes.front();
    if (box.text != row.expected.text || box.caption != row.expected.caption || box.type != row.expected.type)
      return "wrong box \"" + box.caption + "\": \"" + box.text + "\"";
  }
  if (!run.busy.empty() && !row.expected.leftBusy) return "surface left busy: " + run.busy.front();
  for (const std::string &problem : run.problems)
    if (!row.expected.leftBusy || problem.find("still locked or has a DC out") == std::string::npos)
      return "problem: " + problem;
  return "";
}

std::string markdownCell(std::string text) {
  for (char &c : text)
    if (c == '|') c = '/';
  return text;
}

TEST(FaultInjection, EveryPlatformCallFailingOnceAtStartUpAndWhileRunning) {
  DriverOptions normal;
  normal.mode = "faults";
  const DriverRun reference = runDriver(normal);
  ASSERT_EQ(reference.exitCode, 27) << reference.describe();
  ASSERT_TRUE(reference.finished && reference.problems.empty() && reference.busy.empty() && reference.boxes.empty())
      << reference.describe();
  ASSERT_GT(reference.frames, 20);
  ASSERT_FALSE(reference.total.empty());

  std::vector<Row> rows;
  for (const auto &[name, total] : reference.total) {
    const size_t first = reference.first.count(name) ? reference.first.at(name) : 0;
    const size_t second = reference.second.count(name) ? reference.second.at(name) : first;
    // Calls made before the first frame began: those of the first frame are
    // the ones the second frame repeats.
    const size_t perFrame = second - first;
    const size_t startUp = first > perFrame ? first - perFrame : 0;
    for (size_t k = 0; k < startUp && k < kMostStartUpCalls; ++k) {
      Row row;
      row.name = name;
      row.when = "start-up, call " + std::to_string(k + 1) + " of " + std::to_string(startUp);
      row.faults = name + "=0x80004005@" + std::to_string(k);
      row.expected = expectedFor(name, true, k);
      rows.push_back(row);
    }
    // While running: the first call after the second frame, or after the first.
    size_t skip = total > second ? second : total > first ? first : total;
    Row row;
    row.name = name;
    row.expected = expectedFor(name, false, skip);
    if (skip < total) {
      row.when = skip == second ? "running, call " + std::to_string(skip + 1) : "first frame";
      row.faults = name + "=0x80004005@" + std::to_string(skip);
      rows.push_back(row);
    } else if (startUp == 0) {
      row.when = "start-up";
      row.faults = name + "=0x80004005";
      rows.push_back(row);
    }
  }

  for (Row &row : rows) {
    DriverOptions options;
    options.mode = "faults";
    options.faults = row.faults;
    options.timeoutSeconds = 120;
    row.run = runDriver(options);
    row.verdict = judge(row);
  }

  std::ostringstream table;
  table << "| Call | Fails at | Outcome | Expected | Verdict |\n|---|---|---|---|---|\n";
  size_t bad = 0;
  for (const Row &row : rows) {
    std::string expected = "exit " + std::to_string(row.expected.exitCode) +
                           (row.expected.text.empty() ? "" : ", box \"" + row.expected.text + "\"") + " (" +
                           row.expected.why + ")";
    table << "| " << row.name << " | " << row.when << " | " << markdownCell(outcomeOf(row.run)) << " | "
          << markdownCell(expected) << " | " << (row.verdict.empty() ? "ok" : markdownCell(row.verdict)) << " |\n";
    if (!row.verdict.empty()) ++bad;
  }
  std::cout << table.str() << rows.size() << " injections, " << bad << " not as expected\n";
  std::filesystem::create_directories(std::string(CORVANE_BINARY_DIR) + "/robustness");
  std::ofstream(std::string(CORVANE_BINARY_DIR) + "/robustness/fault-table.md") << table.str();

  for (const Row &row : rows)
    EXPECT_EQ(row.verdict, "") << row.name << " failing at " << row.when << " (" << row.faults
                               << "): " << row.run.describe();
}

}  // namespace

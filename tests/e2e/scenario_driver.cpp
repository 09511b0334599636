// corvane_scenario: the real viewer on the headless host, driven by a script.
//
//   corvane_scenario OUTDIR SCRIPT [ARGUMENTS...]
//
// Runs WinMain (with ARGUMENTS as its command line) in the working directory
// and carries out the script's steps from the host's present and idle hooks.
// One step per line (or separated by ';'), '#' starts a comment:
//
//   frame [N]            wait for the next N presented frames (default 1)
//   idle                 wait until the viewer next blocks waiting for input
//   key VK [N] [alt]     press and release a key N times (default once)
//   keydown VK [alt]     key-down only
//   keyup VK [alt]       key-up only
//   repeat VK N          key-down, N auto-repeated key-downs, key-up
//   activate 0|1         the application loses or gains the focus
//   lose                 every DirectDraw surface loses its memory
//   close                the window manager's close button
//   post MSG WPARAM      post a message to the viewer's window (MSG a number
//                        or WM_KEYDOWN, WM_KEYUP, WM_ACTIVATEAPP, WM_CLOSE;
//                        WPARAM a number, else a key)
//   dump NAME            the last presented frame as OUTDIR/NAME.ppm
//   copy SRC DST         copy a file (relative to the working directory)
//   delete FILE          delete a file
//
// VK is a letter, a digit, a name (ESCAPE, SPACE, RETURN, ADD, SUBTRACT,
// OEM_PLUS, OEM_MINUS, SHIFT, F1..F12, ...) or a number (27, 0x1B).
//
// It writes into OUTDIR:
//   calls.txt    the call record, one call a line, with a line "== ..." before
//                the calls of each step and at WinMain's return and process end
//   steps.txt    each step as carried out: presented count, idle count,
//                cursor counter, host cursor visibility, then the step
//   boxes.txt    each message box: caption, text, type, owner (tab-separated)
//   debug.txt    each debugger output text, escaped, one a line
//   result.txt   "exit N", "cursor N", "presented N", "status TEXT"
//
// The exit code is WinMain's result. A script that cannot go on (waiting for
// a frame while the viewer waits for input, steps left with nothing to wait
// for, or a wait that lasts too long) ends the process with code 125.
#include <windows.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/headless/headless_host.h"
#include "layer_test.h"
#include "viewer/viewer_state.h"

namespace {

namespace headless = layer::headless;

constexpr size_t kMaxFramesPerWait = 5000;  // a wait that takes longer is a hang

struct Step {
  std::string text;  // as written, for the logs
  std::vector<std::string> words;
};

struct Driver {
  std::string outDir;
  std::vector<Step> steps;
  size_t next = 0;            // the next step to carry out
  size_t waitForPresent = 0;  // frame: the presented count that ends the wait
  size_t waitForIdle = 0;     // idle: the idle count that ends the wait
  size_t waitStartPresented = 0;
  size_t idleCount = 0;
  bool waiting = false;
  std::ofstream stepLog;
  std::ofstream callLog;
  bool finished = false;  // the results have been written
};

Driver &driver() {
  static Driver *d = new Driver;  // used from the late writer during static destruction
  return *d;
}

[[noreturn]] void fail(const std::string &why);

std::string escape(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\\')
      out += "\\\\";
    else
      out += c;
  }
  return out;
}

// Moves the calls recorded so far into calls.txt, after a marker line.
void flushCalls(const std::string &marker) {
  Driver &d = driver();
  if (!d.callLog.is_open()) return;
  for (const layer::Call &call : layer::calls()) d.callLog << escape(call.text()) << '\n';
  layer::clearCalls();
  if (!marker.empty()) d.callLog << "== " << marker << '\n';
  d.callLog.flush();
}

void writeLines(const std::string &name, const std::vector<std::string> &lines) {
  std::ofstream out(driver().outDir + "/" + name);
  for (const std::string &line : lines) out << line << '\n';
}

void writeBoxesAndDebug() {
  std::vector<std::string> boxes;
  for (const layer::MessageBoxRecord &box : layer::messageBoxes()) {
    boxes.push_back(escape(box.caption) + '\t' + escape(box.text) + '\t' + std::to_string(box.type) + '\t' +
                    (box.owner ? "owner" : "none"));
  }
  writeLines("boxes.txt", boxes);
  std::vector<std::string> debug;
  for (const std::string &text : layer::debugOutput()) debug.push_back(escape(text));
  writeLines("debug.txt", debug);
}

void writeResult(int exitCode, const std::string &status) {
  std::ofstream out(driver().outDir + "/result.txt");
  out << "exit " << exitCode << '\n';
  out << "cursor " << layer::cursorCounter() << '\n';
  out << "presented " << headless::presentedCount() << '\n';
  out << "status " << status << '\n';
}

void fail(const std::string &why) {
  Driver &d = driver();
  flushCalls("aborted: " + why);
  writeBoxesAndDebug();
  writeResult(125, "aborted: " + why);
  std::fprintf(stderr, "corvane_scenario: %s\n", why.c_str());
  std::fflush(stderr);
  d.finished = true;
  std::_Exit(125);
}

unsigned parseKey(const std::string &word) {
  struct Named {
    const char *name;
    unsigned code;
  };
  static const Named names[] = {
      {"ESCAPE", VK_ESCAPE},
      {"ESC", VK_ESCAPE},
      {"SPACE", VK_SPACE},
      {"RETURN", VK_RETURN},
      {"ENTER", VK_RETURN},
      {"TAB", VK_TAB},
      {"BACK", VK_BACK},
      {"SHIFT", VK_SHIFT},
      {"LSHIFT", VK_LSHIFT},
      {"RSHIFT", VK_RSHIFT},
      {"CONTROL", VK_CONTROL},
      {"MENU", VK_MENU},
      {"ALT", VK_MENU},
      {"CAPITAL", VK_CAPITAL},
      {"ADD", VK_ADD},
      {"SUBTRACT", VK_SUBTRACT},
      {"MULTIPLY", VK_MULTIPLY},
      {"DIVIDE", VK_DIVIDE},
      {"OEM_PLUS", VK_OEM_PLUS},
      {"OEM_MINUS", VK_OEM_MINUS},
      {"LEFT", VK_LEFT},
      {"RIGHT", VK_RIGHT},
      {"UP", VK_UP},
      {"DOWN", VK_DOWN},
  };
  std::string upper;
  for (char c : word) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.size() == 1 && std::isalnum(static_cast<unsigned char>(upper[0]))) return static_cast<unsigned>(upper[0]);
  for (const Named &n : names)
    if (upper == n.name) return n.code;
  if (upper.size() >= 2 && upper.size() <= 3 && upper[0] == 'F' && std::isdigit(static_cast<unsigned char>(upper[1]))) {
    int n = std::atoi(upper.c_str() + 1);
    if (n >= 1 && n <= 12) return VK_F1 + static_cast<unsigned>(n - 1);
  }
  if (upper.rfind("NUMPAD", 0) == 0 && upper.size() == 7 && std::isdigit(static_cast<unsigned char>(upper[6])))
    return VK_NUMPAD0 + static_cast<unsigned>(upper[6] - '0');
  char *end = nullptr;
  errno = 0;
  unsigned long code = std::strtoul(word.c_str(), &end, 0);
  if (errno == 0 && end && *end == '\0' && code < 256) return static_cast<unsigned>(code);
  fail("unknown key \"" + word + "\"");
}

UINT parseMessage(const std::string &word) {
  if (word == "WM_KEYDOWN") return WM_KEYDOWN;
  if (word == "WM_KEYUP") return WM_KEYUP;
  if (word == "WM_ACTIVATEAPP") return WM_ACTIVATEAPP;
  if (word == "WM_CLOSE") return WM_CLOSE;
  char *end = nullptr;
  unsigned long code = std::strtoul(word.c_str(), &end, 0);
  if (word.empty() || !end || *end != '\0') fail("unknown message \"" + word + "\"");
  return static_cast<UINT>(code);
}

// A number as written, else a key's code.
WPARAM parseWParam(const std::string &word) {
  char *end = nullptr;
  unsigned long long value = std::strtoull(word.c_str(), &end, 0);
  if (!word.empty() && end && *end == '\0') return static_cast<WPARAM>(value);
  return parseKey(word);
}

size_t parseCount(const std::string &word) {
  char *end = nullptr;
  unsigned long n = std::strtoul(word.c_str(), &end, 10);
  if (!end || *end != '\0' || word.empty()) fail("not a count: \"" + word + "\"");
  return n;
}

std::vector<Step> parseScript(const std::string &text) {
  std::vector<Step> steps;
  std::string line;
  std::istringstream lines(text);
  while (std::getline(lines, line)) {
    if (size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream parts(line);
    std::string part;
    while (std::getline(parts, part, ';')) {
      Step step;
      std::istringstream words(part);
      std::string word;
      while (words >> word) step.words.push_back(word);
      if (step.words.empty()) continue;
      for (const std::string &w : step.words) step.text += (step.text.empty() ? "" : " ") + w;
      steps.push_back(step);
    }
  }
  return steps;
}

void logStep(const Step &step) {
  Driver &d = driver();
  d.stepLog << headless::presentedCount() << '\t' << d.idleCount << '\t' << layer::cursorCounter() << '\t'
            << (headless::cursorVisible() ? 1 : 0) << '\t' << step.text << '\n';
  d.stepLog.flush();
}

void dumpFrame(const std::string &name) {
  const std::vector<headless::Frame> &frames = headless::frames();
  if (frames.empty()) fail("dump " + name + ": no frame has been presented");
  const layer::SurfaceImage &image = frames.back().image;
  std::string path = driver().outDir + "/" + name + ".ppm";
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << image.width << ' ' << image.height << "\n255\n";
  std::vector<char> row(static_cast<size_t>(image.width) * 3);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      uint32_t c = image.color(x, y);  // 0x00BBGGRR
      row[3 * x] = static_cast<char>(c & 0xFF);
      row[3 * x + 1] = static_cast<char>((c >> 8) & 0xFF);
      row[3 * x + 2] = static_cast<char>((c >> 16) & 0xFF);
    }
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
  if (!out) fail("could not write " + path);
}

bool altFlag(const Step &step, size_t from) {
  for (size_t i = from; i < step.words.size(); ++i)
    if (step.words[i] == "alt") return true;
  return false;
}

void needWords(const Step &step, size_t least) {
  if (step.words.size() < least) fail("step \"" + step.text + "\" needs more arguments");
}

// Carries out one step that does not wait.
void perform(const Step &step) {
  const std::string &op = step.words[0];
  if (op == "key") {
    needWords(step, 2);
    unsigned vk = parseKey(step.words[1]);
    size_t times = 1;
    if (step.words.size() >= 3 && step.words[2] != "alt") times = parseCount(step.words[2]);
    bool alt = altFlag(step, 2);
    for (size_t i = 0; i < times; ++i) headless::pressKey(vk, alt);
  } else if (op == "keydown") {
    needWords(step, 2);
    headless::keyDown(parseKey(step.words[1]), false, altFlag(step, 2));
  } else if (op == "keyup") {
    needWords(step, 2);
    headless::keyUp(parseKey(step.words[1]), altFlag(step, 2));
  } else if (op == "repeat") {
    needWords(step, 3);
    unsigned vk = parseKey(step.words[1]);
    size_t times = parseCount(step.words[2]);
    headless::keyDown(vk, false);
    for (size_t i = 0; i < times; ++i) headless::keyDown(vk, true);
    headless::keyUp(vk);
  } else if (op == "activate") {
    needWords(step, 2);
    headless::focus(step.words[1] != "0");
  } else if (op == "lose") {
    layer::loseAllSurfaces();
  } else if (op == "close") {
    headless::closeWindow();
  } else if (op == "post") {
    needWords(step, 3);
    UINT message = parseMessage(step.words[1]);
    WPARAM wParam = parseWParam(step.words[2]);
    LPARAM lParam = step.words.size() >= 4 ? static_cast<LPARAM>(std::strtoll(step.words[3].c_str(), nullptr, 0)) : 0;
    if (!viewerScreen.window || !PostMessageA(viewerScreen.window, message, wParam, lParam))
      fail("step \"" + step.text + "\": no window to post to");
  } else if (op == "dump") {
    needWords(step, 2);
    dumpFrame(step.words[1]);
  } else if (op == "copy") {
    needWords(step, 3);
    std::error_code error;
    std::filesystem::copy_file(step.words[1], step.words[2], std::filesystem::copy_options::overwrite_existing, error);
    if (error) fail("copy " + step.words[1] + " " + step.words[2] + ": " + error.message());
  } else if (op == "delete") {
    needWords(step, 2);
    std::error_code error;
    std::filesystem::remove(step.words[1], error);
    if (error) fail("delete " + step.words[1] + ": " + error.message());
  } else {
    fail("unknown step \"" + step.text + "\"");
  }
}

// Carries out steps until one has to wait; called from the hooks and once
// before WinMain.
void advance() {
  Driver &d = driver();
  if (d.waiting) {
    if (d.waitForPresent != 0 && headless::presentedCount() < d.waitForPresent) return;
    if (d.waitForIdle != 0 && d.idleCount < d.waitForIdle) {
      if (headless::presentedCount() - d.waitStartPresented > kMaxFramesPerWait)
        fail("the viewer never waited for input during \"" + d.steps[d.next - 1].text + "\"");
      return;
    }
    d.waiting = false;
    d.waitForPresent = d.waitForIdle = 0;
  }
  while (d.next < d.steps.size()) {
    const Step &step = d.steps[d.next++];
    flushCalls("step " + std::to_string(d.next) + ": " + step.text);
    logStep(step);
    const std::string &op = step.words[0];
    if (op == "frame") {
      size_t frames = step.words.size() >= 2 ? parseCount(step.words[1]) : 1;
      if (frames == 0) continue;
      d.waiting = true;
      d.waitForPresent = headless::presentedCount() + frames;
      d.waitStartPresented = headless::presentedCount();
      return;
    }
    if (op == "idle") {
      d.waiting = true;
      d.waitForIdle = d.idleCount + 1;
      d.waitStartPresented = headless::presentedCount();
      return;
    }
    perform(step);
  }
}

void onPresent(size_t) {
  Driver &d = driver();
  if (!d.waiting && d.next >= d.steps.size()) fail("the script has ended and the viewer is still running");
  advance();
}

void onIdle() {
  Driver &d = driver();
  ++d.idleCount;
  if (d.waiting && d.waitForPresent != 0)
    fail("waiting for a frame in \"" + d.steps[d.next - 1].text + "\" while the viewer waits for input");
  if (!d.waiting && d.next >= d.steps.size()) fail("the script has ended and the viewer waits for input");
  advance();
}

// Constructed before every other object of static storage duration, so
// destroyed after them all: it records what their destruction called.
struct LateWriter {
  ~LateWriter() {
    Driver &d = driver();
    if (d.finished) return;
    flushCalls("process end");
    writeBoxesAndDebug();
  }
};
__attribute__((init_priority(101))) LateWriter lateWriter;

std::string readFile(const std::string &path, bool *ok) {
  std::ifstream in(path, std::ios::binary);
  *ok = static_cast<bool>(in);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: corvane_scenario OUTDIR SCRIPT [ARGUMENTS...]\n");
    return 2;
  }
  Driver &d = driver();
  d.outDir = argv[1];
  bool ok = false;
  std::string script = readFile(argv[2], &ok);
  if (!ok) {
    std::fprintf(stderr, "corvane_scenario: cannot read %s\n", argv[2]);
    return 2;
  }
  d.callLog.open(d.outDir + "/calls.txt");
  d.stepLog.open(d.outDir + "/steps.txt");
  if (!d.callLog || !d.stepLog) {
    std::fprintf(stderr, "corvane_scenario: cannot write into %s\n", argv[1]);
    return 2;
  }
  d.steps = parseScript(script);

  std::string commandLine;
  for (int i = 3; i < argc; ++i) {
    if (i > 3) commandLine += ' ';
    commandLine += argv[i];
  }

  headless::keepFrames(1);
  headless::setPresentHook(onPresent);
  headless::setIdleHook(onIdle);
  flushCalls("main");
  advance();

  int result = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);

  headless::setPresentHook(nullptr);
  headless::setIdleHook(nullptr);
  flushCalls("WinMain returned");
  std::string status = "complete";
  if (d.waiting || d.next < d.steps.size())
    status = "unfinished at step " + std::to_string(d.waiting ? d.next : d.next + 1);
  writeResult(result, status);
  writeBoxesAndDebug();
  return result;
}

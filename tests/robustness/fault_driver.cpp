// corvane_fault_driver: the real viewer on the headless host under a fixed
// script of steps, for fault injection (CORVANE_FAULTS) and bad input. One
// process per run, in the working directory it is started in.
//
//   corvane_fault_driver faults|plain ORIGINAL.bmp RESULT [keep]
//
// "faults" plays every command key, activation and focus changes, lost
// surfaces and changes to intro.bmp; "plain" a few frames, a colour command,
// W and lost surfaces. Both end with Esc. ORIGINAL.bmp is put into the
// directory as intro.bmp first, unless "keep" leaves the directory as it is.
//
// RESULT gets, one a line: "exit N", "frames N", "cursor N", "picture WxH" or
// "picture none", "area black" or "area drawn" (the picture's area in the
// last frame), "problem TEXT" for each failed check, "busy LABEL" for each
// display or picture surface still locked or with a DC out when WinMain has
// returned, "box CAPTION<tab>TEXT<tab>TYPE", "debug TEXT", "note TEXT" for
// what the run needed beyond its script (see ViewerPlayer::notes), the count of
// every platform call by name at the first and the second presented frame
// ("first NAME N", "second NAME N"); at process end, after the static
// objects are gone, "total NAME N" and "end".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "layer_test.h"
#include "viewer/viewer_state.h"
#include "viewer_player.h"

namespace {

using robustness::ViewerStep;

// Calls counted without being recorded one by one.
const char *const kHotCalls[] = {"SetPixel", "GetPixel"};

// Never destroyed: the late writer below uses them after every other object
// of static storage duration is gone.
std::string &resultPath = *new std::string;
std::vector<std::string> &lines = *new std::vector<std::string>;

std::string escape(const std::string &text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : std::string(1, c);
  return out;
}

void writeLines(bool append) {
  std::ofstream out(resultPath, append ? std::ios::app : std::ios::trunc);
  for (const std::string &line : lines) out << line << '\n';
  lines.clear();
}

std::set<std::string> calledNames() {
  std::set<std::string> names;
  for (const layer::Call &call : layer::calls()) names.insert(call.name);
  for (const char *name : kHotCalls)
    if (layer::countCalls(name) > 0) names.insert(name);
  return names;
}

void countLines(const std::string &prefix) {
  for (const std::string &name : calledNames())
    lines.push_back(prefix + " " + name + " " + std::to_string(layer::countCalls(name)));
}

// Constructed before the viewer's objects, so destroyed after them: counts
// what their destruction called too.
struct LateWriter {
  ~LateWriter() {
    if (resultPath.empty()) return;
    countLines("total");
    lines.push_back("end");
    writeLines(true);
  }
};
__attribute__((init_priority(101))) LateWriter lateWriter;

std::vector<ViewerStep> key(int index) { return {{ViewerStep::Key, index}, {ViewerStep::Frames, 1}}; }

std::vector<ViewerStep> faultScript() {
  std::vector<ViewerStep> s = {{ViewerStep::Frames, 2}};
  auto add = [&](std::vector<ViewerStep> more) { s.insert(s.end(), more.begin(), more.end()); };
  for (int index = 1; index < static_cast<int>(robustness::commandKeys().size()); ++index) add(key(index));
  add(key(1));  // space again: the prompt back
  add({{ViewerStep::OtherKey, 'A'}, {ViewerStep::OtherKey, VK_OEM_PLUS}, {ViewerStep::HeldKey, 2, 3}});
  add({{ViewerStep::Deactivate, 0},
       {ViewerStep::Key, 3},
       {ViewerStep::Key, 7},
       {ViewerStep::Activate, 0},
       {ViewerStep::Frames, 2}});
  add({{ViewerStep::FocusLost, 0}, {ViewerStep::Key, 2}, {ViewerStep::FocusGained, 0}, {ViewerStep::Frames, 2}});
  add({{ViewerStep::LoseSurfaces, 0}, {ViewerStep::Frames, 3}});
  add({{ViewerStep::ReplaceFile, 0}, {ViewerStep::Key, robustness::kRestoreKeyIndex}, {ViewerStep::Frames, 2}});
  add({{ViewerStep::NotBmpFile, 0}, {ViewerStep::Key, robustness::kRestoreKeyIndex}, {ViewerStep::Frames, 1}});
  add({{ViewerStep::DeleteFile, 0},
       {ViewerStep::Key, robustness::kRestoreKeyIndex},
       {ViewerStep::LoseSurfaces, 0},
       {ViewerStep::Frames, 2}});
  add({{ViewerStep::RestoreFile, 0}, {ViewerStep::Key, robustness::kRestoreKeyIndex}, {ViewerStep::Frames, 2}});
  for (int i = 0; i < 3; ++i) add(key(13));
  for (int i = 0; i < 12; ++i) s.push_back({ViewerStep::Key, 14});
  s.push_back({ViewerStep::Frames, 2});
  return s;
}

std::vector<ViewerStep> plainScript() {
  return {{ViewerStep::Frames, 3}, {ViewerStep::Key, 2},
          {ViewerStep::Frames, 1}, {ViewerStep::Key, robustness::kRestoreKeyIndex},
          {ViewerStep::Frames, 2}, {ViewerStep::LoseSurfaces, 0},
          {ViewerStep::Frames, 3}};
}

// Whether the picture's area of the last frame is all black.
bool areaBlack() {
  const std::vector<layer::headless::Frame> &frames = layer::headless::frames();
  if (frames.empty()) return true;
  const layer::SurfaceImage &image = frames.back().image;
  for (int y = 17; y < 435 && y < image.height; ++y)
    for (int x = 22; x < 618 && x < image.width; ++x)
      if (image.color(x, y) != 0) return false;
  return true;
}

void addReport(int exitCode, size_t frames) {
  lines.push_back("exit " + std::to_string(exitCode));
  lines.push_back("frames " + std::to_string(frames));
  lines.push_back("cursor " + std::to_string(layer::cursorCounter()));
  if (viewerGraphic.surface) {
    layer::SurfaceImage image = layer::readSurface(viewerGraphic.surface);
    lines.push_back("picture " + std::to_string(image.width) + "x" + std::to_string(image.height));
  } else {
    lines.push_back("picture none");
  }
  lines.push_back(std::string("area ") + (areaBlack() ? "black" : "drawn"));
  for (IDirectDrawSurface *surface :
       {viewerGraphic.surface, viewerScreen.surfaces.backBuffer, viewerScreen.surfaces.primary})
    if (surface && layer::isSurfaceBusy(surface)) lines.push_back("busy " + layer::surfaceLabel(surface));
  for (const layer::MessageBoxRecord &box : layer::messageBoxes())
    lines.push_back("box " + escape(box.caption) + "\t" + escape(box.text) + "\t" + std::to_string(box.type));
  for (const std::string &text : layer::debugOutput()) lines.push_back("debug " + escape(text));
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: corvane_fault_driver faults|plain ORIGINAL.bmp RESULT [keep]\n");
    return 2;
  }
  const std::string mode = argv[1];
  resultPath = argv[3];
  robustness::ViewerPlayer::Options options;
  options.originalFile = argv[2];
  options.placeOriginal = !(argc >= 5 && std::string(argv[4]) == "keep");
  options.checkFrames = std::getenv("CORVANE_FAULTS") == nullptr;
  options.stallIsProblem = options.checkFrames;
  options.maxFrames = 1000;

  std::vector<std::string> problems;
  std::vector<std::string> snapshots;
  robustness::ViewerPlayer *current = nullptr;
  robustness::ViewerPlayer player(mode == "faults" ? faultScript() : plainScript(), options,
                                  [&](const std::string &problem) {
                                    problems.push_back(problem);
                                    if (problem.rfind("hang", 0) == 0) {
                                      // The player ends the process next: report now.
                                      addReport(-1, current ? current->framesSeen() : 0);
                                      for (const std::string &p : problems) lines.push_back("problem " + escape(p));
                                      lines.insert(lines.end(), snapshots.begin(), snapshots.end());
                                      writeLines(false);
                                      resultPath.clear();
                                    }
                                  });
  current = &player;
  player.afterFrame = [&](size_t frames) {
    if (frames > 2) return;
    std::vector<std::string> saved;
    saved.swap(lines);
    countLines(frames == 1 ? "first" : "second");
    snapshots.insert(snapshots.end(), lines.begin(), lines.end());
    lines.swap(saved);
  };
  const int exitCode = player.run();

  addReport(exitCode, player.framesSeen());
  for (const std::string &p : problems) lines.push_back("problem " + escape(p));
  for (const std::string &n : player.notes()) lines.push_back("note " + escape(n));
  lines.insert(lines.end(), snapshots.begin(), snapshots.end());
  writeLines(false);
  return exitCode;
}

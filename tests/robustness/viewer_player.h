// Plays a sequence of steps to the real viewer on the headless host, in this
// process: key presses, activation changes, focus losses that lose the
// surfaces, and changes to intro.bmp in the working directory, carried out
// from the host's present and idle hooks between frames, in order. Each
// presented frame can be checked as it comes. Used by the soak test, the
// viewer fuzz harness and the fault-injection driver. With CORVANE_PLAYER_TRACE
// set, each step is written to standard error as it is carried out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/headless/headless_host.h"

namespace robustness {

struct ViewerStep {
  enum Kind : uint8_t {
    Key,            // one of the fifteen command keys; argument: its index in commandKeys()
    OtherKey,       // a virtual-key code (argument) that is not a command
    HeldKey,        // a command key held down: key-down, `repeats` auto-repeats, key-up
    Deactivate,     // WM_ACTIVATEAPP with wParam 0, posted to the window
    Activate,       // WM_ACTIVATEAPP with wParam 1
    FocusLost,      // the host's focus goes elsewhere: the surfaces are lost
    FocusGained,    // and comes back
    LoseSurfaces,   // every DirectDraw surface loses its memory
    ReplaceFile,    // intro.bmp becomes another picture; argument: index into sampleBitmaps()
    TruncateFile,   // intro.bmp cut to argument/256 of its length
    NotBmpFile,     // intro.bmp becomes a PNG (argument even) or a text file (odd)
    DeleteFile,     // intro.bmp removed
    DirectoryFile,  // intro.bmp becomes a directory
    RestoreFile,    // the original intro.bmp put back
    CheckPicture,   // the picture's surface must hold the original file's pixels
    Frames,         // wait for `argument` frames (nothing to wait for while inactive)
  };
  Kind kind = Frames;
  int argument = 1;
  int repeats = 0;
};

// The command keys in a fixed order: Esc first, then space, the eleven
// letters, keypad + and keypad -.
const std::vector<unsigned> &commandKeys();
constexpr int kEscapeIndex = 0;
constexpr int kRestoreKeyIndex = 11;  // 'W'
// Some keys that are not commands: letters, digits, Enter, F1, Shift, the
// main keyboard's + and -, cursor keys.
const std::vector<unsigned> &otherKeys();

std::string describe(const ViewerStep &step);

// Returns the viewer's static objects and the whole layer to how a fresh
// process finds them, so that WinMain can run again: the Graphic and the
// Screen are destroyed (releasing their surfaces) and made anew in place.
void resetViewer();

class ViewerPlayer {
 public:
  struct Options {
    std::string originalFile;    // the pristine intro.bmp, copied in at start
    size_t maxFrames = 0;        // 0: no limit; else Esc once this many frames are presented
    size_t hangFrames = 200;     // frames after Esc that make a hang
    size_t stallPolls = 2000;    // polls without a presented frame that count as a frozen display
    bool stallIsProblem = true;  // false: a frozen display is only noted (under injected faults)
    bool checkFrames = true;     // check every presented frame (off under injected faults)
    bool placeOriginal = true;   // false: start with whatever intro.bmp the directory holds
  };

  // `onProblem` gets every failed check and a hang; by default it prints the
  // problem and aborts.
  ViewerPlayer(std::vector<ViewerStep> steps, Options options,
               std::function<void(const std::string &problem)> onProblem = {});

  // Puts the original intro.bmp into the working directory, installs the
  // hooks and runs WinMain; returns its result. The hooks are removed after.
  int run();

  // What the run needed beyond the script: Esc posted to the window because
  // keys reached none, or sent because the viewer stopped presenting frames.
  const std::vector<std::string> &notes() const { return notes_; }

  size_t stepsDone() const { return next_; }
  size_t framesSeen() const { return frames_; }
  size_t commandsSent() const { return commands_; }
  bool escapeSent() const { return escapes_ > 0; }
  // Called after every presented frame and its checks (for the soak's memory samples).
  std::function<void(size_t frames)> afterFrame;

 private:
  void onPresent();
  void onIdle();
  void onPoll();
  // Carries out steps until one needs the viewer to run first; true when an
  // event for the viewer was queued.
  bool advance(bool idle);
  bool perform(const ViewerStep &step);
  void sendEscape();
  void escapeAgain();
  void fileChange(const std::vector<uint8_t> &bytes);
  void removeFile();
  void checkFrame(const layer::headless::Frame &frame);
  void checkPicture();
  void problem(const std::string &text);

  std::vector<ViewerStep> steps_;
  Options options_;
  std::function<void(const std::string &)> onProblem_;
  std::vector<uint8_t> original_;
  size_t next_ = 0;
  size_t frames_ = 0;
  size_t commands_ = 0;
  size_t waitUntil_ = 0;  // frames_ that ends a Frames step
  size_t framesAfterEscape_ = 0;
  size_t idleAfterEscape_ = 0;
  int escapes_ = 0;
  size_t pollsSincePresent_ = 0;
  bool escapePosted_ = false;
  std::vector<std::string> notes_;
  size_t lastLoss_ = 0;  // frames_ when surfaces were last lost
  bool lossSeen_ = false;
  bool focusLost_ = false;                        // keys go elsewhere until the focus comes back
  std::vector<std::vector<uint32_t>> zoomLines_;  // the zoom line's pixels by per cent
  std::vector<uint32_t> expected_;                // the original's colours, row by row
  int expectedWidth_ = 0, expectedHeight_ = 0;
};

// Steps from bytes, for the fuzz harness: each byte chooses a step and may
// take the next one as its argument.
std::vector<ViewerStep> stepsFromBytes(const uint8_t *data, size_t size);

}  // namespace robustness

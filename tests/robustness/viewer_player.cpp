#include "viewer_player.h"

#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "core/trace.h"
#include "gdi/bmp_decoder.h"
#include "graphics/bitmap_loading.h"
#include "layer_test.h"
#include "sample_bitmaps.h"
#include "viewer/viewer_state.h"

namespace robustness {
namespace {

namespace headless = layer::headless;

constexpr char kPictureName[] = "intro.bmp";
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kTextBack = 0x000001;
constexpr COLORREF kBlack = 0x000000;

// The frame the viewer draws: the clip rectangle and the rows of its texts.
constexpr int kLeft = 21, kTop = 16, kRight = 619, kBottom = 464;
constexpr int kCellRows = 13;
constexpr int kPromptTop = 460, kHelpTop1 = 435, kHelpTop2 = 455;
constexpr int kZoomLineColumns = 128;

bool isEvent(ViewerStep::Kind kind) {
  switch (kind) {
    case ViewerStep::Key:
    case ViewerStep::OtherKey:
    case ViewerStep::HeldKey:
    case ViewerStep::Deactivate:
    case ViewerStep::Activate:
    case ViewerStep::FocusLost:
    case ViewerStep::FocusGained:
      return true;
    default:
      return false;
  }
}

bool inBand(int y, int top) { return y >= top && y < top + kCellRows; }

}  // namespace

const std::vector<unsigned> &commandKeys() {
  static const std::vector<unsigned> keys = {VK_ESCAPE, VK_SPACE, 'B', 'C', 'D', 'E',    'I',        'Q',
                                             'R',       'T',      'U', 'W', 'Y', VK_ADD, VK_SUBTRACT};
  return keys;
}

const std::vector<unsigned> &otherKeys() {
  static const std::vector<unsigned> keys = {'A',    'F',         'Z',         '0',          '7',     VK_RETURN,
                                             VK_F1,  VK_SHIFT,    VK_OEM_PLUS, VK_OEM_MINUS, VK_LEFT, VK_NUMPAD0 + 5,
                                             VK_TAB, VK_MULTIPLY, VK_BACK,     VK_CONTROL};
  return keys;
}

std::string describe(const ViewerStep &step) {
  static const char *const names[] = {"key",          "other key",     "held key",      "deactivate",
                                      "activate",     "focus lost",    "focus gained",  "lose surfaces",
                                      "replace file", "truncate file", "not a BMP",     "delete file",
                                      "directory",    "restore file",  "check picture", "frames"};
  std::string text = names[step.kind];
  if (step.kind == ViewerStep::Key || step.kind == ViewerStep::HeldKey)
    text += layer::format(" 0x%02X", commandKeys()[static_cast<size_t>(step.argument) % commandKeys().size()]);
  else if (step.kind != ViewerStep::DeleteFile && step.kind != ViewerStep::DirectoryFile &&
           step.kind != ViewerStep::RestoreFile && step.kind != ViewerStep::CheckPicture)
    text += layer::format(" %d", step.argument);
  if (step.kind == ViewerStep::HeldKey) text += layer::format(" x%d", step.repeats);
  return text;
}

void resetViewer() {
  viewerGraphic.~Graphic();  // releases the picture's surface
  viewerScreen.~Screen();    // releases the back buffer, the primary surface and the DirectDraw object
  layer::reset();
  new (&viewerScreen) Screen();
  new (&viewerGraphic) Graphic();
  zoom = 1.0f;
  menuVisible = false;
  clipRect = ClipRect{0, 0, 0, 0};
  lastBitmapWidth = 0;
  lastBitmapHeight = 0;
}

ViewerPlayer::ViewerPlayer(std::vector<ViewerStep> steps, Options options,
                           std::function<void(const std::string &)> onProblem)
    : steps_(std::move(steps)), options_(std::move(options)), onProblem_(std::move(onProblem)) {
  original_ = readFile(options_.originalFile);
  if (original_.empty()) problem("cannot read " + options_.originalFile);
  layer::gdi::BmpResult decoded = layer::gdi::decodeBmp(original_.data(), original_.size());
  if (decoded.bitmap) {
    const layer::PixelBuffer &p = decoded.bitmap->pixels;
    expectedWidth_ = p.width;
    expectedHeight_ = p.height;
    expected_.reserve(static_cast<size_t>(p.width) * static_cast<size_t>(p.height));
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x)
        expected_.push_back(layer::unpackColor(p.layout, layer::readPixel(p, x, y), p.palette));
  }
}

void ViewerPlayer::problem(const std::string &text) {
  std::string where = text + " (after step " + std::to_string(next_) + " of " + std::to_string(steps_.size()) +
                      (next_ > 0 && next_ <= steps_.size() ? ", " + describe(steps_[next_ - 1]) : std::string()) +
                      ", frame " + std::to_string(frames_) + ")";
  if (onProblem_) {
    onProblem_(where);
    return;
  }
  std::fprintf(stderr, "viewer check failed: %s\n", where.c_str());
  std::abort();
}

void ViewerPlayer::removeFile() {
  std::error_code error;
  std::filesystem::remove_all(kPictureName, error);
}

void ViewerPlayer::fileChange(const std::vector<uint8_t> &bytes) {
  removeFile();
  if (!writeFile(kPictureName, bytes)) problem("cannot write intro.bmp");
}

int ViewerPlayer::run() {
  if (options_.placeOriginal) fileChange(original_);
  headless::keepFrames(1);
  headless::setPresentHook([this](size_t) { onPresent(); });
  headless::setIdleHook([this] { onIdle(); });
  headless::setPollHook([this] { onPoll(); });
  char commandLine[] = "";
  int result = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
  headless::setPresentHook(nullptr);
  headless::setIdleHook(nullptr);
  headless::setPollHook(nullptr);
  if (std::getenv("CORVANE_PLAYER_TRACE"))
    std::fprintf(stderr, "player: WinMain returned %d after %zu frames, %zu of %zu steps\n", result, frames_, next_,
                 steps_.size());
  return result;
}

// Keys reach the viewer only while it has the focus.
void ViewerPlayer::sendEscape() {
  if (focusLost_) {
    headless::focus(true);
    focusLost_ = false;
  }
  headless::pressKey(VK_ESCAPE);
  ++escapes_;
}

void ViewerPlayer::onPresent() {
  ++frames_;
  pollsSincePresent_ = 0;
  const std::vector<headless::Frame> &frames = headless::frames();
  if (options_.checkFrames && !frames.empty()) checkFrame(frames.back());
  for (IDirectDrawSurface *surface : {viewerGraphic.surface, viewerScreen.surfaces.backBuffer})
    if (surface && layer::isSurfaceBusy(surface))
      problem(layer::surfaceLabel(surface) + " is still locked or has a DC out between frames");
  if (afterFrame) afterFrame(frames_);
  if (escapes_ > 0) {
    ++framesAfterEscape_;
    if (framesAfterEscape_ > options_.hangFrames) {
      problem("hang: the viewer keeps drawing after Esc");
      std::_Exit(124);
    }
    if (framesAfterEscape_ % 20 == 0) escapeAgain();
    return;
  }
  if (options_.maxFrames && frames_ >= options_.maxFrames) {
    sendEscape();
    return;
  }
  advance(false);
}

void ViewerPlayer::onIdle() {
  pollsSincePresent_ = 0;
  if (escapes_ > 0) {
    if (++idleAfterEscape_ > 5) {
      problem("hang: the viewer waits for input after Esc");
      std::_Exit(124);
    }
    escapeAgain();
    return;
  }
  advance(true);
}

// A viewer that runs on without presenting frames (every flip failing)
// gets Esc from here, as a user would press it.
void ViewerPlayer::onPoll() {
  if (++pollsSincePresent_ < options_.stallPolls) return;
  pollsSincePresent_ = 0;
  if (escapes_ == 0) {
    if (options_.stallIsProblem) problem(layer::format("no frame presented for %zu turns", options_.stallPolls));
    notes_.push_back(layer::format("no frame presented for %zu turns: Esc sent", options_.stallPolls));
    sendEscape();
    return;
  }
  if (++idleAfterEscape_ > 5) {
    problem("hang: the viewer presents nothing and does not end after Esc");
    std::_Exit(124);
  }
  escapeAgain();
}

// Esc once more; when the keys reach no window (it never became the
// foreground), straight to the viewer's window.
void ViewerPlayer::escapeAgain() {
  if (!escapePosted_ && viewerScreen.window) {
    escapePosted_ = true;
    notes_.push_back("Esc did not reach the viewer: posted to its window");
    PostMessageA(viewerScreen.window, WM_KEYDOWN, VK_ESCAPE, 0);
    return;
  }
  sendEscape();
}

bool ViewerPlayer::advance(bool idle) {
  bool queued = false;
  while (next_ < steps_.size()) {
    const ViewerStep &step = steps_[next_];
    if (step.kind == ViewerStep::Frames) {
      if (idle) {
        // What was queued may make the viewer active again; else no frame
        // comes while it is inactive.
        if (queued) return queued;
        waitUntil_ = 0;
        ++next_;
        continue;
      }
      if (waitUntil_ == 0) waitUntil_ = frames_ + static_cast<size_t>(step.argument > 0 ? step.argument : 1);
      if (frames_ < waitUntil_) return queued;
      waitUntil_ = 0;
      ++next_;
      continue;
    }
    // Files change and checks run only once the viewer has handled what came before.
    if (queued && !isEvent(step.kind)) return queued;
    ++next_;
    if (perform(step)) queued = true;
  }
  if (!queued) {
    sendEscape();
    queued = true;
  }
  return queued;
}

bool ViewerPlayer::perform(const ViewerStep &step) {
  static const bool trace = std::getenv("CORVANE_PLAYER_TRACE") != nullptr;
  if (trace) std::fprintf(stderr, "player: frame %zu, step %zu: %s\n", frames_, next_, describe(step).c_str());
  if (step.kind != ViewerStep::Frames && step.kind != ViewerStep::CheckPicture) ++commands_;
  const std::vector<unsigned> &keys = commandKeys();
  switch (step.kind) {
    case ViewerStep::Key: {
      size_t index = static_cast<size_t>(step.argument) % keys.size();
      headless::pressKey(keys[index]);
      if (index == kEscapeIndex) ++escapes_;
      return true;
    }
    case ViewerStep::OtherKey:
      headless::pressKey(static_cast<unsigned>(step.argument) & 0xFF);
      if ((static_cast<unsigned>(step.argument) & 0xFF) == VK_ESCAPE) ++escapes_;
      return true;
    case ViewerStep::HeldKey: {
      size_t index = static_cast<size_t>(step.argument) % keys.size();
      headless::keyDown(keys[index], false);
      for (int i = 0; i < step.repeats; ++i) headless::keyDown(keys[index], true);
      headless::keyUp(keys[index]);
      if (index == kEscapeIndex) ++escapes_;
      return true;
    }
    case ViewerStep::Deactivate:
    case ViewerStep::Activate:
      if (!viewerScreen.window) return false;
      PostMessageA(viewerScreen.window, WM_ACTIVATEAPP, step.kind == ViewerStep::Activate ? 1 : 0, 0);
      return true;
    case ViewerStep::FocusLost:
    case ViewerStep::FocusGained:
      focusLost_ = step.kind == ViewerStep::FocusLost;
      headless::focus(!focusLost_);
      lossSeen_ = true;
      lastLoss_ = frames_;
      return true;
    case ViewerStep::LoseSurfaces:
      layer::loseAllSurfaces();
      lossSeen_ = true;
      lastLoss_ = frames_;
      return false;
    case ViewerStep::ReplaceFile: {
      const std::vector<SampleBitmap> &samples = sampleBitmaps();
      fileChange(samples[static_cast<size_t>(step.argument) % samples.size()].bytes);
      return false;
    }
    case ViewerStep::TruncateFile: {
      size_t length = original_.size() * static_cast<size_t>(step.argument & 0xFF) / 256;
      fileChange(std::vector<uint8_t>(original_.begin(), original_.begin() + static_cast<ptrdiff_t>(length)));
      return false;
    }
    case ViewerStep::NotBmpFile:
      fileChange(step.argument % 2 == 0 ? pngSignatureFile() : textFile());
      return false;
    case ViewerStep::DeleteFile:
      removeFile();
      return false;
    case ViewerStep::DirectoryFile:
      removeFile();
      if (mkdir(kPictureName, 0755) != 0) problem("cannot make the directory intro.bmp");
      return false;
    case ViewerStep::RestoreFile:
      fileChange(original_);
      return false;
    case ViewerStep::CheckPicture:
      checkPicture();
      return false;
    case ViewerStep::Frames:
      return false;
  }
  return false;
}

void ViewerPlayer::checkPicture() {
  if (!viewerGraphic.surface) {
    problem("no picture to compare with its file");
    return;
  }
  layer::SurfaceImage image = layer::readSurface(viewerGraphic.surface);
  if (image.width != expectedWidth_ || image.height != expectedHeight_) {
    problem(layer::format("the picture is %dx%d, its file %dx%d", image.width, image.height, expectedWidth_,
                          expectedHeight_));
    return;
  }
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      COLORREF want = expected_[static_cast<size_t>(y) * image.width + x];
      COLORREF got = image.color(x, y);
      if (got != want) {
        problem(layer::format("W left (%d, %d) at 0x%06X instead of the file's 0x%06X", x, y, unsigned(got),
                              unsigned(want)));
        return;
      }
    }
}

void ViewerPlayer::checkFrame(const layer::headless::Frame &frame) {
  const layer::SurfaceImage &image = frame.image;
  if (!(zoom >= 0.1f && zoom <= 16.0f)) problem(layer::format("zoom %.9g outside 0.1 to 16", double(zoom)));
  if (image.width != 640 || image.height != 480 || image.bitsPerPixel != 24) {
    problem(layer::format("a %dx%d frame at %d bits", image.width, image.height, image.bitsPerPixel));
    return;
  }
  auto color = [&](int x, int y) { return image.color(x, y); };

  // The zoom line's box from x 0, and the same pixels every time for one zoom.
  for (int y = 0; y < kCellRows; ++y)
    if (color(0, y) != kTextBack)
      problem(layer::format("(0, %d) is 0x%06X, not the zoom line's box", y, unsigned(color(0, y))));
  const int percent = static_cast<int>(static_cast<double>(zoom) * 100.0);
  if (percent >= 0 && percent <= 1600) {
    if (zoomLines_.empty()) zoomLines_.resize(1601);
    std::vector<uint32_t> line;
    line.reserve(kCellRows * kZoomLineColumns);
    for (int y = 0; y < kCellRows; ++y)
      for (int x = 0; x < kZoomLineColumns; ++x) line.push_back(color(x, y));
    std::vector<uint32_t> &seen = zoomLines_[static_cast<size_t>(percent)];
    if (seen.empty())
      seen = std::move(line);
    else if (seen != line)
      problem(layer::format("the zoom line for %d %% differs from the last time it was shown", percent));
  }

  // The frame lines, under the help texts where those cross them.
  auto underText = [&](int y) {
    return menuVisible ? inBand(y, kHelpTop1) || inBand(y, kHelpTop2) : inBand(y, kPromptTop);
  };
  auto onLine = [&](int x, int y) {
    COLORREF c = color(x, y);
    if (c == kRed || (underText(y) && c == kTextBack)) return;
    problem(layer::format("frame pixel (%d, %d) is 0x%06X", x, y, unsigned(c)));
  };
  for (int x = kLeft; x <= kRight; ++x) {
    onLine(x, kTop);
    onLine(x, kBottom);
  }
  for (int y = kTop; y <= kBottom; ++y) {
    onLine(kLeft, y);
    onLine(kRight, y);
  }

  // The help texts: two lines with the menu, the prompt without; left of the
  // frame nothing else is drawn.
  auto isText = [](COLORREF c) { return c == kTextBack || c == kRed; };
  if (menuVisible) {
    if (!isText(color(0, kHelpTop1 + 5)) || !isText(color(0, kHelpTop2 + 3)) || color(0, kPromptTop + 10) != kBlack)
      problem("the help lines are not where the menu puts them");
  } else {
    if (color(0, kHelpTop1 + 5) != kBlack || !isText(color(0, kPromptTop + 6)))
      problem("the prompt is not where it belongs");
  }

  // At zoom 1 the picture lies one to one under the frame; checked now and
  // then, and not right after the surfaces were lost.
  if (zoom == 1.0f && frames_ % 16 == 0 && (!lossSeen_ || frames_ > lastLoss_ + 2) && viewerGraphic.surface) {
    layer::SurfaceImage picture = layer::readSurface(viewerGraphic.surface);
    if (picture.width == 640 && picture.height == 480) {
      for (int y = kTop + 1; y < kHelpTop1; ++y)
        for (int x = kLeft + 1; x < kRight - 1; ++x)
          if (color(x, y) != picture.color(x, y)) {
            problem(layer::format("at zoom 1 the frame shows 0x%06X at (%d, %d) where the picture has 0x%06X",
                                  unsigned(color(x, y)), x, y, unsigned(picture.color(x, y))));
            return;
          }
    }
  }
}

std::vector<ViewerStep> stepsFromBytes(const uint8_t *data, size_t size) {
  std::vector<ViewerStep> steps;
  size_t i = 0;
  auto next = [&]() -> int { return i < size ? data[i++] : 0; };
  while (i < size) {
    const int b = next();
    const int choice = b % 24;
    ViewerStep step;
    if (choice < 14) {
      step.kind = ViewerStep::Key;
      step.argument = choice + 1;  // every command key but Esc
    } else if (choice == 14) {
      step.kind = ViewerStep::Key;
      step.argument = kEscapeIndex;
    } else if (choice == 15) {
      step.kind = ViewerStep::OtherKey;
      step.argument = next();
    } else if (choice == 16) {
      int n = next();
      step.kind = ViewerStep::HeldKey;
      step.argument = n % 15;
      step.repeats = (n >> 4) % 8;
    } else if (choice <= 21) {
      static const ViewerStep::Kind kinds[] = {ViewerStep::Deactivate, ViewerStep::Activate, ViewerStep::FocusLost,
                                               ViewerStep::FocusGained, ViewerStep::LoseSurfaces};
      step.kind = kinds[choice - 17];
    } else if (choice == 22) {
      int n = next();
      switch (n % 6) {
        case 0:
          step = {ViewerStep::ReplaceFile, n >> 3};
          break;
        case 1:
          step = {ViewerStep::TruncateFile, next()};
          break;
        case 2:
          step = {ViewerStep::NotBmpFile, n >> 3};
          break;
        case 3:
          step.kind = ViewerStep::DeleteFile;
          break;
        case 4:
          step.kind = ViewerStep::DirectoryFile;
          break;
        default:
          // Putting the file back and pressing W brings back its pixels exactly
          // (with the focus back, so that W reaches the viewer).
          steps.push_back({ViewerStep::FocusGained, 0});
          steps.push_back({ViewerStep::RestoreFile, 0});
          steps.push_back({ViewerStep::Key, kRestoreKeyIndex});
          step.kind = ViewerStep::CheckPicture;
          break;
      }
    } else {
      step.kind = ViewerStep::Frames;
      step.argument = (b >> 5) + 1;
    }
    steps.push_back(step);
  }
  return steps;
}

}  // namespace robustness

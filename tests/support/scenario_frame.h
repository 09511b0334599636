// The expected look of the viewer's frames, built from the picture, the
// frame rectangle and reference text, and compared with dumped frames.
#pragma once

#include <string>
#include <vector>

#include "support/scenario_image.h"

namespace scenario {

class ScenarioRun;

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kTextBack{1, 0, 0};

extern const char *const kPrompt;
extern const char *const kHelpLine1;
extern const char *const kHelpLine2;

// " ZOOM: N %" as the zoom line shows it.
std::string zoomLine(int percent);

// Puts reference text (drawn at x 0) onto `frame` with its top at y: every
// pixel the text's box covers replaces what lies beneath.
void overlayText(RgbImage &frame, const std::string &text, int y);

// A whole frame at zoom 1.0: the picture clipped to columns 21..618 and rows
// 16..463, the red frame along 21, 16, 619, 464, the zoom line and the
// prompt (or, with the menu, the two help lines). An empty picture leaves
// the area black.
RgbImage expectedFrameAtZoom1(const RgbImage &picture, bool menuVisible = false);

// "" when equal; otherwise how many pixels differ and the first few.
std::string compareImages(const RgbImage &actual, const RgbImage &expected, int x0 = 0, int y0 = 0, int x1 = -1,
                          int y1 = -1);

// "" when `run` ended with exit code 27, as Esc ends the viewer, and its dump
// `name` is `expected`; otherwise the exit code with the run's account, or
// how the frame differs.
std::string endedWith27Showing(const ScenarioRun &run, const std::string &name, const RgbImage &expected);

}  // namespace scenario

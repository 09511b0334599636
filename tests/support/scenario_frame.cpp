#include "support/scenario_frame.h"

#include <map>

#include "support/scenario_run.h"

namespace scenario {

const char *const kPrompt = "| Press spacebar for menu |";
const char *const kHelpLine1 =
    "| Esc to EXIT | + to ZOOM_IN | - to ZOOM_OUT | w to restore graphic | q to grayscale | b to brighten |";
const char *const kHelpLine2 =
    "| d to darken | e to add red | r to add green | t to add blue | y to minus red | u to minus green | i to minus "
    "blue |";

std::string zoomLine(int percent) { return " ZOOM: " + std::to_string(percent) + " %"; }

void overlayText(RgbImage &frame, const std::string &text, int y) {
  static std::map<std::string, RgbImage> rendered;  // the same texts come back often
  auto it = rendered.find(text);
  if (it == rendered.end()) it = rendered.emplace(text, renderReferenceText(text, kScreenWidth, 20)).first;
  const RgbImage &reference = it->second;
  for (int ry = 0; ry < reference.height && y + ry < frame.height; ++ry)
    for (int x = 0; x < reference.width && x < frame.width; ++x)
      if (!(reference.at(x, ry) == kBlack)) frame.at(x, y + ry) = reference.at(x, ry);
}

RgbImage expectedFrameAtZoom1(const RgbImage &picture, bool menuVisible) {
  RgbImage frame(kScreenWidth, kScreenHeight, kBlack);
  if (!picture.empty())
    for (int y = 16; y < 464; ++y)
      for (int x = 21; x < 619; ++x) frame.at(x, y) = picture.at(x, y);
  for (int x = 21; x <= 619; ++x) frame.at(x, 16) = frame.at(x, 464) = kRed;
  for (int y = 16; y <= 464; ++y) frame.at(21, y) = frame.at(619, y) = kRed;
  overlayText(frame, zoomLine(100), 0);
  if (menuVisible) {
    overlayText(frame, kHelpLine1, 435);
    overlayText(frame, kHelpLine2, 455);
  } else {
    overlayText(frame, kPrompt, 460);
  }
  return frame;
}

std::string compareImages(const RgbImage &actual, const RgbImage &expected, int x0, int y0, int x1, int y1) {
  if (actual.empty()) return "no frame";
  if (actual.width != expected.width || actual.height != expected.height)
    return "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) + ", expected " +
           std::to_string(expected.width) + "x" + std::to_string(expected.height);
  if (x1 < 0) x1 = actual.width;
  if (y1 < 0) y1 = actual.height;
  int differing = 0;
  std::string first;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      if (actual.at(x, y) == expected.at(x, y)) continue;
      if (++differing <= 5)
        first += " (" + std::to_string(x) + ", " + std::to_string(y) + ") is " + toString(actual.at(x, y)) + " not " +
                 toString(expected.at(x, y)) + ";";
    }
  if (differing == 0) return "";
  return std::to_string(differing) + " pixels differ:" + first;
}

std::string endedWith27Showing(const ScenarioRun &run, const std::string &name, const RgbImage &expected) {
  if (run.exitCode != 27) return "exit code " + std::to_string(run.exitCode) + ", expected 27\n" + run.describe();
  return compareImages(run.frame(name), expected);
}

}  // namespace scenario

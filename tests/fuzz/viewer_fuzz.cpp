// Fuzzes the whole viewer on the headless host: the input is read as a
// sequence of key presses, activation changes, focus losses (which lose the
// surfaces) and changes to intro.bmp (replaced by another picture, cut
// short, not a BMP, deleted, a directory, put back), played between frames.
// Each input starts from a fresh layer and freshly made viewer objects.
//
// Checked on every frame: zoom within 0.1 to 16, the frame lines and the
// texts in place, no surface left locked; putting the file back and pressing
// W brings back its pixels exactly; the run ends with Esc and exit code 27,
// with the cursor shown again.
#include <unistd.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "layer_test.h"
#include "sample_bitmaps.h"
#include "support/bmp_writer.h"
#include "viewer/viewer_state.h"
#include "viewer_player.h"

namespace {

std::string originalPath;

// A small picture keeps the colour commands quick; its size is odd so that
// stretching shows.
std::vector<uint8_t> fuzzPicture() {
  bmptest::BmpContents bmp;
  bmp.width = 161;
  bmp.height = 121;
  bmp.bitsPerPixel = 24;
  for (int y = 0; y < bmp.height; ++y)
    for (int x = 0; x < bmp.width; ++x)
      bmp.pixels.push_back(bmptest::bmpColor((x * 3) & 0xFF, (y * 5) & 0xFF, ((x ^ y) * 7) & 0xFF));
  return bmptest::writeBmp(bmp);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  setenv("CORVANE_QUIET_DEBUG", "1", 0);
  char pattern[] = "/tmp/corvane-viewer-fuzz-XXXXXX";
  FUZZ_CHECK(mkdtemp(pattern) != nullptr, "no scratch directory");
  FUZZ_CHECK(chdir(pattern) == 0, "cannot enter %s", pattern);
  originalPath = std::string(pattern) + "/original.bmp";
  FUZZ_CHECK(robustness::writeFile(originalPath, fuzzPicture()), "cannot write %s", originalPath.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 256) return 0;  // longer inputs add time, not paths
  robustness::resetViewer();
  robustness::ViewerPlayer::Options options;
  options.originalFile = originalPath;
  options.maxFrames = 48;
  robustness::ViewerPlayer player(robustness::stepsFromBytes(data, size), options);
  const int exitCode = player.run();
  FUZZ_CHECK(exitCode == VK_ESCAPE, "the viewer ended with %d", exitCode);
  FUZZ_CHECK(layer::cursorCounter() == 0, "cursor counter %d after Esc", layer::cursorCounter());
  for (IDirectDrawSurface *surface :
       {viewerGraphic.surface, viewerScreen.surfaces.backBuffer, viewerScreen.surfaces.primary})
    FUZZ_CHECK(!surface || !layer::isSurfaceBusy(surface), "%s left locked or with a DC out",
               layer::surfaceLabel(surface).c_str());
  return 0;
}

// The sample picture: the committed file is what make_intro draws, and it
// holds what the viewer's commands and zooms need to show something.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "support/scenario_image.h"
#include "support/scenario_run.h"

using namespace scenario;

namespace {

std::string readBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(IntroPicture, CommittedFileIsWhatMakeIntroDraws) {
  std::string out = std::string(CORVANE_BINARY_DIR) + "/intro_picture_test.bmp";
  std::string command = std::string(CORVANE_BINARY_DIR) + "/tools/make_intro '" + out + "'";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  std::string made = readBytes(out), committed = readBytes(introPath());
  std::remove(out.c_str());
  EXPECT_EQ(made.size(), committed.size());
  EXPECT_TRUE(made == committed) << "assets/intro.bmp differs from make_intro's output: run make_intro again";
}

TEST(IntroPicture, MakeIntroWantsExactlyOneArgument) {
  std::string command = std::string(CORVANE_BINARY_DIR) + "/tools/make_intro 2>/dev/null";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 0);
}

TEST(IntroPicture, HoldsEveryChannelValueThePrimariesAndDistinctCorners) {
  const RgbImage &picture = introPicture();
  ASSERT_EQ(picture.width, 640);
  ASSERT_EQ(picture.height, 480);
  std::set<int> reds, greens, blues;
  for (const Rgb &c : picture.pixels) {
    reds.insert(c.r);
    greens.insert(c.g);
    blues.insert(c.b);
  }
  // Every level 0..255 in every channel: each colour command changes something.
  EXPECT_EQ(reds.size(), 256u);
  EXPECT_EQ(greens.size(), 256u);
  EXPECT_EQ(blues.size(), 256u);
  // The corner markers tell top from bottom and left from right.
  EXPECT_EQ(picture.at(5, 5), (Rgb{255, 0, 0}));
  EXPECT_EQ(picture.at(634, 5), (Rgb{0, 255, 0}));
  EXPECT_EQ(picture.at(5, 474), (Rgb{0, 0, 255}));
  EXPECT_EQ(picture.at(634, 474), (Rgb{255, 255, 0}));
  // A one-pixel white outline marks the picture's edge at every zoom.
  for (int x = 0; x < 640; ++x) {
    EXPECT_EQ(picture.at(x, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(picture.at(x, 479), (Rgb{255, 255, 255}));
  }
  for (int y = 0; y < 480; ++y) {
    EXPECT_EQ(picture.at(0, y), (Rgb{255, 255, 255}));
    EXPECT_EQ(picture.at(639, y), (Rgb{255, 255, 255}));
  }
}

}  // namespace

// The bmpdump tool: a bitmap file in, a binary PPM out; refusals and usage
// errors explained with their exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/bmp_writer.h"

namespace {

const std::string kTool = std::string(CORVANE_BINARY_DIR) + "/tools/bmpdump";

struct ToolRun {
  int exitCode = -1;
  std::string out;  // standard output
};

// Runs a shell command line, keeping its standard output and exit code.
ToolRun run(const std::string &commandLine) {
  ToolRun r;
  std::FILE *pipe = popen(commandLine.c_str(), "r");
  if (!pipe) return r;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.out.append(buffer, n);
  int status = pclose(pipe);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string readAll(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class BmpDump : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(kTool.c_str(), X_OK) != 0) GTEST_SKIP() << "bmpdump is not built at " << kTool;
    char pattern[] = "/tmp/corvane-bmpdump-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    if (!dir_.empty()) [[maybe_unused]]
      int ignored = std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  std::string dir_;
};

TEST_F(BmpDump, WritesTheBitmapAsABinaryPpm) {
  bmptest::BmpContents s;
  s.width = 2;
  s.height = 2;
  s.bitsPerPixel = 8;
  s.palette = {bmptest::bmpColor(255, 0, 0), bmptest::bmpColor(0, 0, 255), bmptest::bmpColor(1, 2, 3)};
  s.pixels = {0, 1, 2, 5};  // index 5 lies past the palette: black
  ASSERT_TRUE(bmptest::writeBmpFile(dir_ + "/in.bmp", s));
  ToolRun r = run(kTool + " '" + dir_ + "/in.bmp' '" + dir_ + "/out.ppm'");
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.out.empty());
  std::string want = "P6\n2 2\n255\n" + std::string("\xFF\x00\x00\x00\x00\xFF\x01\x02\x03\x00\x00\x00", 12);
  EXPECT_EQ(readAll(dir_ + "/out.ppm"), want);
  ToolRun toStdout = run(kTool + " '" + dir_ + "/in.bmp'");
  EXPECT_EQ(toStdout.exitCode, 0);
  EXPECT_EQ(toStdout.out, want);
}

TEST_F(BmpDump, ExplainsARefusedFile) {
  ToolRun missing = run(kTool + " '" + dir_ + "/nothing.bmp' 2>&1");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.out.find("file not found"), std::string::npos) << missing.out;
  std::ofstream(dir_ + "/text.bmp") << "hello";
  ToolRun text = run(kTool + " '" + dir_ + "/text.bmp' '" + dir_ + "/out.ppm' 2>&1");
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_NE(text.out.find("not a BMP file"), std::string::npos) << text.out;
  EXPECT_NE(access((dir_ + "/out.ppm").c_str(), F_OK), 0) << "no output for a refused file";
}

TEST_F(BmpDump, UsageErrorsExitWithTwo) {
  EXPECT_EQ(run(kTool + " 2>/dev/null").exitCode, 2);
  EXPECT_EQ(run(kTool + " a b c 2>/dev/null").exitCode, 2);
  ToolRun r = run(kTool + " 2>&1");
  EXPECT_NE(r.out.find("usage: bmpdump FILE [OUT.ppm]"), std::string::npos);
}

}  // namespace

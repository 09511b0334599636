// wsprintfA and wvsprintfA: the conversions the system uses, the flags,
// the platform's 1024-character limit and what it does not support.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "layer_test.h"

namespace {

class Wsprintf : public ::testing::Test {
 protected:
  void SetUp() override { layer::reset(); }
  char buffer[1100];
};

TEST_F(Wsprintf, TheSystemsOwnLines) {
  EXPECT_EQ(wsprintfA(buffer, "pitch: %i\n", 1288), 12);
  EXPECT_STREQ(buffer, "pitch: 1288\n");
  EXPECT_EQ(wsprintfA(buffer, " ZOOM: %i %%", 100), 12);
  EXPECT_STREQ(buffer, " ZOOM: 100 %");
  wsprintfA(buffer, " ZOOM: %i %%", 89);
  EXPECT_STREQ(buffer, " ZOOM: 89 %");
}

// The conversions shared with C's printf give the same text.
TEST_F(Wsprintf, IntegersAgreeWithPrintf) {
  const char *formats[] = {"%d", "%i",  "%5d", "%-5d|", "%05d",  "%.3d", "%8.3d", "%u",  "%x",
                           "%X", "%#x", "%#X", "%08X",  "%-8x|", "%ld",  "%lu",   "%lx", "%#010x"};
  const int values[] = {0, 1, -1, 42, -42, 1288, 65535, INT_MAX, INT_MIN};
  for (const char *f : formats)
    for (int v : values) {
      // 'l' is the platform's 32-bit long; C's printf must not see it.
      std::string cFormat(f);
      std::erase(cFormat, 'l');
      char expected[64];
      std::snprintf(expected, sizeof expected, cFormat.c_str(), v);
      int length = wsprintfA(buffer, f, v);
      EXPECT_STREQ(buffer, expected) << f << " with " << v;
      EXPECT_EQ(length, static_cast<int>(std::strlen(expected)));
    }
}

TEST_F(Wsprintf, StringsAndCharacters) {
  wsprintfA(buffer, "[%s] [%6s] [%-6s] [%.2s] [%c%c]", "abc", "abc", "abc", "abc", 'o', 'k');
  EXPECT_STREQ(buffer, "[abc] [   abc] [abc   ] [ab] [ok]");
  wsprintfA(buffer, "%s", static_cast<const char *>(nullptr));
  EXPECT_STREQ(buffer, "(null)");
  wsprintfA(buffer, "%hs|%3c|", "short", 'x');
  EXPECT_STREQ(buffer, "short|  x|");
}

TEST_F(Wsprintf, ShortSizeTruncates) {
  wsprintfA(buffer, "%hd %hu %hx", 70000, 70000, 0x12345);
  EXPECT_STREQ(buffer, "4464 4464 2345");
  wsprintfA(buffer, "%hd", 40000);
  EXPECT_STREQ(buffer, "-25536");
}

TEST_F(Wsprintf, UnsupportedConversionsAreCopiedWithoutTakingAnArgument) {
  wsprintfA(buffer, "%f|%d", 7);
  EXPECT_STREQ(buffer, "f|7");
  wsprintfA(buffer, "%q%d", 3);
  EXPECT_STREQ(buffer, "q3");
  EXPECT_EQ(wsprintfA(buffer, "end %"), 4);
  EXPECT_STREQ(buffer, "end ");
}

TEST_F(Wsprintf, OutputStopsAt1024Characters) {
  std::string longText(2000, 'x');
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%s", longText.c_str()), 1024);
  EXPECT_EQ(std::strlen(buffer), 1024u);
  EXPECT_EQ(buffer[1025], '#');  // nothing written past the terminator

  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, "%5000d", 1), 1024);
  EXPECT_EQ(buffer[1024], '\0');
  EXPECT_EQ(buffer[1025], '#');

  std::string format(1500, 'y');
  EXPECT_EQ(wsprintfA(buffer, format.c_str()), 1024);
  EXPECT_EQ(wsprintfA(buffer, "%1024s", "z"), 1024);
  EXPECT_EQ(buffer[1023], 'z');
}

int viaList(char *out, const char *format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = wvsprintfA(out, format, arguments);
  va_end(arguments);
  return length;
}

TEST_F(Wsprintf, ListFormOfTheCall) {
  EXPECT_EQ(viaList(buffer, "%s=%d (%#x)", "width", 640, 640), 17);
  EXPECT_STREQ(buffer, "width=640 (0x280)");
}

TEST_F(Wsprintf, FailuresLeaveAnEmptyString) {
  layer::injectFault("wsprintfA", E_FAIL);
  std::strcpy(buffer, "old");
  EXPECT_EQ(wsprintfA(buffer, "%d", 5), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(wsprintfA(buffer, nullptr), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(wsprintfA(nullptr, "%d", 5), 0);
  EXPECT_EQ(layer::countCalls("wsprintfA"), 3u);
}

}  // namespace

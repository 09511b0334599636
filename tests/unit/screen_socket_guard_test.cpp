// The socket-library guard: three start-ups and three clean-ups, a refusal
// shown once per failing start-up with a quit request each, and a granted
// version other than 1.1 given back at once.
#include <optional>
#include <string>

#include <winsock.h>

#include "screen/socket_library_guard.h"
#include "screen_fixture.h"

namespace {

using SocketGuardTest = ScreenTest;

TEST_F(SocketGuardTest, ThreeGuardsStartThreeTimesAndCleanUpThreeTimes) {
  {
    SocketLibraryGuard first, second, third;
    EXPECT_EQ(layer::callTexts({"WSA"}),
              (std::vector<std::string>{"WSAStartup(0x0101)", "WSAStartup(0x0101)", "WSAStartup(0x0101)"}));
    EXPECT_EQ(layer::socketStartupCount(), 3);
    EXPECT_TRUE(layer::messageBoxes().empty());
  }
  EXPECT_EQ(layer::countCalls("WSACleanup"), 3u);
  EXPECT_EQ(layer::socketStartupCount(), 0);
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));  // no quit request
}

TEST_F(SocketGuardTest, EachRefusedStartupShowsItsBoxAndAsksToQuit) {
  layer::refuseSocketStartup(WSASYSNOTREADY, 3);
  {
    SocketLibraryGuard first, second, third;
    ASSERT_EQ(layer::messageBoxes().size(), 3u);
    for (const layer::MessageBoxRecord &box : layer::messageBoxes()) {
      EXPECT_EQ(box.owner, nullptr);
      EXPECT_EQ(box.text, "Error Couldnt Init Winsock!");
      EXPECT_EQ(box.caption, "Aborting");
      EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONINFORMATION | MB_OK));
    }
    std::vector<std::string> oneStartup = {"WSAStartup", "MessageBoxA", "PostQuitMessage"};
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i) expected.insert(expected.end(), oneStartup.begin(), oneStartup.end());
    EXPECT_EQ(callNames({"WSAStartup", "MessageBoxA", "PostQuitMessage", "WSACleanup"}), expected);
    EXPECT_EQ(layer::callTexts({"PostQuitMessage"}).front(), "PostQuitMessage(0)");
  }
  // The clean-ups run all the same; their failures are ignored.
  EXPECT_EQ(layer::countCalls("WSACleanup"), 3u);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 0u);
}

TEST_F(SocketGuardTest, OneRefusalLeavesTheOthersStarted) {
  layer::refuseSocketStartup(WSAEPROCLIM, 1);
  SocketLibraryGuard first, second, third;
  EXPECT_EQ(layer::messageBoxes().size(), 1u);
  EXPECT_EQ(layer::socketStartupCount(), 2);
}

TEST_F(SocketGuardTest, OnlyVersionOnePointOneIsKept) {
  const struct {
    WORD granted;
    bool kept;
  } cases[] = {{0x0101, true}, {0x0202, false}, {0x0001, false}, {0x0201, false}, {0x0100, false}};
  for (const auto &c : cases) {
    SetUp();
    layer::grantSocketVersion(c.granted);
    {
      SocketLibraryGuard guard;
      EXPECT_EQ(layer::countCalls("WSACleanup"), c.kept ? 0u : 1u) << std::hex << c.granted;
      EXPECT_EQ(layer::socketStartupCount(), c.kept ? 1 : 0) << std::hex << c.granted;
      EXPECT_TRUE(layer::messageBoxes().empty());
    }
    // The exit-time clean-up still comes, once more.
    EXPECT_EQ(layer::countCalls("WSACleanup"), c.kept ? 1u : 2u) << std::hex << c.granted;
    TearDown();
  }
}

TEST_F(SocketGuardTest, AfterARefusalTheFrameLoopEndsWithExitCodeZero) {
  layer::refuseSocketStartup(WSASYSNOTREADY, 1);
  SocketLibraryGuard guard;
  ASSERT_TRUE(createScreen());
  int frames = 0;
  static int *frameCount = nullptr;
  frameCount = &frames;
  EXPECT_EQ(screen->run([] { ++*frameCount; }), 0);
  EXPECT_EQ(frames, 0);
  EXPECT_TRUE(screen->running);
}

}  // namespace

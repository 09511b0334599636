// The socket library's start-up and clean-up: reference counting, version
// negotiation, argument checks and the test hooks, also armed from the
// environment.
#include <gtest/gtest.h>
#include <winsock.h>

#include <cstdlib>

#include "layer_test.h"

namespace {

class WinsockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("CORVANE_WSA_REFUSE");
    unsetenv("CORVANE_WSA_GRANT");
    layer::reset();
  }
  void TearDown() override {
    unsetenv("CORVANE_WSA_REFUSE");
    unsetenv("CORVANE_WSA_GRANT");
    layer::reset();
  }

  // Asks for a version and gives the result with the granted version.
  int startup(WORD version, WORD *granted = nullptr) {
    WSADATA data;
    int result = WSAStartup(version, &data);
    if (granted) *granted = data.wVersion;
    return result;
  }
};

TEST_F(WinsockTest, CountsStartupsAndCleanups) {
  WORD granted = 0;
  ASSERT_EQ(startup(0x0101, &granted), 0);
  EXPECT_EQ(granted, 0x0101);
  ASSERT_EQ(startup(0x0101), 0);
  ASSERT_EQ(startup(0x0101), 0);
  EXPECT_EQ(layer::socketStartupCount(), 3);

  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(layer::socketStartupCount(), 0);

  // One clean-up too many fails and says why.
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(layer::socketStartupCount(), 0);
  EXPECT_EQ(layer::countCalls("WSAStartup"), 3u);
  EXPECT_EQ(layer::countCalls("WSACleanup"), 4u);
}

TEST_F(WinsockTest, NegotiatesTheVersion) {
  struct Case {
    WORD asked;
    int result;
    WORD granted;
  } cases[] = {
      {0x0101, 0, 0x0101},                   // 1.1
      {0x0002, 0, 0x0002},                   // 2.0
      {0x0102, 0, 0x0102},                   // 2.1
      {0x0202, 0, 0x0202},                   // 2.2
      {0x0303, 0, 0x0202},                   // 3.3: the highest the library has
      {0x0001, WSAVERNOTSUPPORTED, 0x0202},  // 1.0: too old; the data names what there is
      {0x0000, WSAVERNOTSUPPORTED, 0x0202},
  };
  int expectedCount = 0;
  for (const Case &c : cases) {
    WSADATA data;
    EXPECT_EQ(WSAStartup(c.asked, &data), c.result) << std::hex << c.asked;
    EXPECT_EQ(data.wVersion, c.granted) << std::hex << c.asked;
    EXPECT_EQ(data.wHighVersion, 0x0202) << std::hex << c.asked;
    if (c.result == 0) ++expectedCount;
    EXPECT_EQ(layer::socketStartupCount(), expectedCount) << std::hex << c.asked;
  }
}

TEST_F(WinsockTest, RefusesAMissingDataRecord) {
  EXPECT_EQ(WSAStartup(0x0101, nullptr), WSAEFAULT);
  EXPECT_EQ(layer::socketStartupCount(), 0);
}

TEST_F(WinsockTest, RefusalHookFailsTheNextStartups) {
  layer::refuseSocketStartup(WSASYSNOTREADY, 2);
  EXPECT_EQ(startup(0x0101), WSASYSNOTREADY);
  EXPECT_EQ(startup(0x0101), WSASYSNOTREADY);
  EXPECT_EQ(startup(0x0101), 0);
  EXPECT_EQ(layer::socketStartupCount(), 1);
}

TEST_F(WinsockTest, GrantHookOverridesNegotiation) {
  layer::grantSocketVersion(0x0202);
  WORD granted = 0;
  EXPECT_EQ(startup(0x0101, &granted), 0);
  EXPECT_EQ(granted, 0x0202);
  EXPECT_EQ(layer::socketStartupCount(), 1);

  layer::grantSocketVersion(0);
  EXPECT_EQ(startup(0x0101, &granted), 0);
  EXPECT_EQ(granted, 0x0101);
}

TEST_F(WinsockTest, HooksAreReadFromTheEnvironmentOnFirstUse) {
  setenv("CORVANE_WSA_REFUSE", "10091*2", 1);
  setenv("CORVANE_WSA_GRANT", "0x0202", 1);
  layer::reset();  // a fresh process reads them again
  EXPECT_EQ(startup(0x0101), WSASYSNOTREADY);
  EXPECT_EQ(startup(0x0101), WSASYSNOTREADY);
  WORD granted = 0;
  EXPECT_EQ(startup(0x0101, &granted), 0);
  EXPECT_EQ(granted, 0x0202);
}

TEST_F(WinsockTest, EnvironmentRefusalWithoutCountRefusesOnce) {
  setenv("CORVANE_WSA_REFUSE", "10092", 1);
  layer::reset();
  EXPECT_EQ(startup(0x0101), WSAVERNOTSUPPORTED);
  EXPECT_EQ(startup(0x0101), 0);
}

TEST_F(WinsockTest, ResetForgetsStartupsAndHooks) {
  ASSERT_EQ(startup(0x0101), 0);
  layer::refuseSocketStartup(WSAEPROCLIM, 5);
  layer::grantSocketVersion(0x0002);
  layer::reset();
  EXPECT_EQ(layer::socketStartupCount(), 0);
  WORD granted = 0;
  EXPECT_EQ(startup(0x0101, &granted), 0);
  EXPECT_EQ(granted, 0x0101);
}

TEST_F(WinsockTest, InjectedFaultsAreHonoured) {
  layer::injectFault("WSAStartup", WSAEPROCLIM);
  EXPECT_EQ(startup(0x0101), WSAEPROCLIM);
  EXPECT_EQ(layer::socketStartupCount(), 0);

  ASSERT_EQ(startup(0x0101), 0);
  layer::injectFault("WSACleanup", WSAEINVAL);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  EXPECT_EQ(layer::socketStartupCount(), 1);  // a failed clean-up leaves the library started
}

}  // namespace

// Window classes, windows, the default window procedure and the thread's
// message queue, driven through the headless host.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

#include "host/headless/headless_host.h"
#include "layer_test.h"
#include "user/user_internal.h"

namespace {

struct Received {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

std::vector<Received> received;
// Answers a message instead of DefWindowProcA when it returns a value.
std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> answer;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  received.push_back({window, message, wParam, lParam});
  if (answer)
    if (auto result = answer(window, message, wParam, lParam)) return *result;
  return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<UINT> codes() {
  std::vector<UINT> out;
  for (const Received &r : received) out.push_back(r.message);
  return out;
}

class UserWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    layer::reset();
    received.clear();
    answer = nullptr;
    WNDCLASSA wc{};
    wc.lpfnWndProc = recordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Test";
    ASSERT_NE(RegisterClassA(&wc), 0);
  }
  void TearDown() override {
    answer = nullptr;
    layer::reset();
  }

  static HWND makeWindow(const char *title = "Test window", void *param = nullptr) {
    return CreateWindowExA(0, "Test", title, WS_POPUPWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                           GetModuleHandleA(nullptr), param);
  }

  // A window that has been shown, with the messages of its set-up forgotten.
  static HWND shownWindow() {
    HWND window = makeWindow();
    ShowWindow(window, SW_SHOW);
    received.clear();
    return window;
  }

  // Takes every waiting message, translating and dispatching it, as a
  // program's loop does.
  static void drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) break;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
};

// ---- classes ----

TEST_F(UserWindows, ClassRegisteredTwiceFailsAndUnregisteringFreesTheName) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = recordingProc;
  wc.lpszClassName = "test";  // names compare without case, as on the platform
  SetLastError(0);
  EXPECT_EQ(RegisterClassA(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

  wc.lpszClassName = "Other";
  ATOM other = RegisterClassA(&wc);
  EXPECT_NE(other, 0);
  EXPECT_TRUE(UnregisterClassA("OTHER", nullptr));
  EXPECT_FALSE(UnregisterClassA("Other", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
  EXPECT_NE(RegisterClassA(&wc), 0);
}

TEST_F(UserWindows, ClassWithLiveWindowsStaysRegistered) {
  HWND window = makeWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(UnregisterClassA("Test", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassA("Test", nullptr));
}

TEST_F(UserWindows, BadClassRecordsAreRefused) {
  EXPECT_EQ(RegisterClassA(nullptr), 0);
  WNDCLASSA wc{};
  wc.lpszClassName = "NoProcedure";
  EXPECT_EQ(RegisterClassA(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(UserWindows, WindowOfUnknownClassIsNotMade) {
  EXPECT_EQ(CreateWindowExA(0, "Nowhere", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(layer::headless::windowCount(), 0u);
}

TEST_F(UserWindows, ResetForgetsClassesAndWindows) {
  HWND window = makeWindow();
  layer::reset();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(makeWindow(), nullptr);
}

// ---- creation ----

TEST_F(UserWindows, CreationSendsNcCreateThenCreateWithTheCreateRecord) {
  int creationData = 7;
  std::vector<CREATESTRUCTA> seen;
  answer = [&](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
    if (message == WM_NCCREATE || message == WM_CREATE) seen.push_back(*reinterpret_cast<CREATESTRUCTA *>(lParam));
    return std::nullopt;
  };
  HWND window = makeWindow("Corvane", &creationData);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_EQ(received[0].window, window);
  ASSERT_EQ(seen.size(), 2u);
  for (const CREATESTRUCTA &c : seen) {
    EXPECT_EQ(c.lpCreateParams, &creationData);
    EXPECT_EQ(c.cx, 640);
    EXPECT_EQ(c.cy, 480);
    EXPECT_STREQ(c.lpszName, "Corvane");
    EXPECT_STREQ(c.lpszClass, "Test");
    EXPECT_EQ(static_cast<DWORD>(c.style), static_cast<DWORD>(WS_POPUPWINDOW));
  }
  EXPECT_TRUE(IsWindow(window));
  EXPECT_NE(layer::user::hostWindowId(window), 0);
  EXPECT_EQ(layer::headless::windowCount(), 1u);
  // Creation alone neither shows nor activates.
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_FALSE(layer::headless::isWindowShown(layer::user::hostWindowId(window)));
}

TEST_F(UserWindows, RefusedNcCreateMakesNoWindow) {
  answer = [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_NCCREATE) return 0;
    return std::nullopt;
  };
  EXPECT_EQ(makeWindow(), nullptr);
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_NCCREATE, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(received[0].window));
  EXPECT_EQ(layer::headless::windowCount(), 0u);
}

TEST_F(UserWindows, CreateReturningMinusOneDestroysTheWindow) {
  answer = [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_CREATE) return -1;
    return std::nullopt;
  };
  EXPECT_EQ(makeWindow(), nullptr);
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(received[0].window));
  EXPECT_EQ(layer::headless::windowCount(), 0u);
}

TEST_F(UserWindows, NoDisplayMeansNoWindowAndOneLineSayingWhy) {
  layer::headless::setDisplayAvailable(false);
  testing::internal::CaptureStderr();
  HWND window = makeWindow();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(err, "corvane: cannot create a window: no display (headless host set to have none)\n");
  EXPECT_TRUE(received.empty());
  EXPECT_NE(GetLastError(), 0u);
}

TEST_F(UserWindows, InjectedFaultFailsCreationWithItsCode) {
  layer::injectFault("CreateWindowExA", E_OUTOFMEMORY);
  EXPECT_EQ(makeWindow(), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_OUTOFMEMORY));
  EXPECT_TRUE(received.empty());
  EXPECT_NE(makeWindow(), nullptr);  // the fault was used up
}

TEST_F(UserWindows, VisibleStyleShowsAndActivatesDuringCreation) {
  HWND window = CreateWindowExA(0, "Test", "v", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_ACTIVATEAPP}));
  EXPECT_EQ(GetForegroundWindow(), window);
}

// ---- showing ----

TEST_F(UserWindows, ShowWindowActivatesTheProgramBeforeItReturns) {
  HWND window = makeWindow();
  received.clear();
  bool showing = true;
  bool activatedInsideShow = false;
  answer = [&](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_ACTIVATEAPP && wParam == TRUE) activatedInsideShow = showing;
    return std::nullopt;
  };
  EXPECT_FALSE(ShowWindow(window, SW_SHOW));  // was hidden
  showing = false;
  EXPECT_TRUE(activatedInsideShow);
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_ACTIVATEAPP}));
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_TRUE(layer::headless::isWindowShown(layer::user::hostWindowId(window)));
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));  // sent, not posted

  // Already active: showing again tells nothing.
  received.clear();
  EXPECT_TRUE(ShowWindow(window, SW_SHOW));
  EXPECT_TRUE(received.empty());
}

TEST_F(UserWindows, UpdateWindowPaintsOnceAfterShowing) {
  HWND window = makeWindow();
  EXPECT_TRUE(UpdateWindow(window));  // hidden: nothing to paint
  ShowWindow(window, SW_SHOW);
  received.clear();
  EXPECT_TRUE(UpdateWindow(window));
  EXPECT_TRUE(UpdateWindow(window));
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_PAINT}));
}

TEST_F(UserWindows, HidingTheActiveWindowDeactivatesTheProgram) {
  HWND window = shownWindow();
  EXPECT_TRUE(ShowWindow(window, SW_HIDE));
  ASSERT_EQ(codes(), (std::vector<UINT>{WM_ACTIVATEAPP}));
  EXPECT_EQ(received[0].wParam, static_cast<WPARAM>(FALSE));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  received.clear();
  ShowWindow(window, SW_SHOW);
  ASSERT_EQ(codes(), (std::vector<UINT>{WM_ACTIVATEAPP}));
  EXPECT_EQ(received[0].wParam, static_cast<WPARAM>(TRUE));
}

TEST_F(UserWindows, CallsOnDeadOrMadeUpHandlesFail) {
  HWND window = makeWindow();
  DestroyWindow(window);
  HWND madeUp = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234567));
  for (HWND bad : {window, madeUp}) {
    SetLastError(0);
    EXPECT_FALSE(ShowWindow(bad, SW_SHOW));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(UpdateWindow(bad));
    EXPECT_FALSE(DestroyWindow(bad));
    EXPECT_FALSE(IsWindow(bad));
    EXPECT_FALSE(PostMessageA(bad, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(bad, WM_USER, 0, 0), 0);
    EXPECT_EQ(layer::user::hostWindowId(bad), 0);
  }
}

// ---- destruction ----

TEST_F(UserWindows, DestroySendsDestroyThenNcDestroyAndDropsQueuedMessages) {
  HWND window = makeWindow();
  HWND other = makeWindow();
  PostMessageA(window, WM_USER, 1, 0);
  PostMessageA(other, WM_USER, 2, 0);
  received.clear();
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(IsWindow(other));
  EXPECT_EQ(layer::headless::windowCount(), 1u);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, other);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(UserWindows, DestroyingTheActiveWindowDeactivatesFirst) {
  HWND window = shownWindow();
  DestroyWindow(window);
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_ACTIVATEAPP, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_EQ(received[0].wParam, static_cast<WPARAM>(FALSE));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
}

TEST_F(UserWindows, DestroyFromInsideDestroyIsHarmless) {
  HWND window = makeWindow();
  received.clear();
  answer = [](HWND w, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_DESTROY) DestroyWindow(w);
    return std::nullopt;
  };
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
}

// ---- the default procedure ----

TEST_F(UserWindows, DefaultProcedureClosesByDestroying) {
  HWND window = makeWindow();
  received.clear();
  EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(UserWindows, AltF4BecomesTheCloseCommandAndCloses) {
  HWND window = shownWindow();
  layer::headless::pressKey(VK_F4, true);
  drain();
  std::vector<UINT> expected{WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_ACTIVATEAPP, WM_DESTROY, WM_NCDESTROY};
  EXPECT_EQ(codes(), expected);
  EXPECT_EQ(received[1].wParam, static_cast<WPARAM>(SC_CLOSE));
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(UserWindows, F4WithoutAltAndOtherSystemKeysCloseNothing) {
  HWND window = shownWindow();
  layer::headless::pressKey(VK_F4);
  layer::headless::pressKey('X', true);
  drain();
  EXPECT_TRUE(IsWindow(window));
  for (UINT code : codes()) {
    EXPECT_NE(code, static_cast<UINT>(WM_CLOSE));
    EXPECT_NE(code, static_cast<UINT>(WM_SYSCOMMAND));
  }
}

TEST_F(UserWindows, DefaultProcedureAnswers) {
  HWND window = makeWindow();
  EXPECT_EQ(DefWindowProcA(window, WM_NCCREATE, 0, 0), TRUE);
  EXPECT_EQ(DefWindowProcA(window, WM_ERASEBKGND, 0, 0), 1);
  EXPECT_EQ(DefWindowProcA(window, WM_PAINT, 0, 0), 0);
  EXPECT_EQ(DefWindowProcA(window, WM_USER + 5, 1, 2), 0);
  EXPECT_EQ(DefWindowProcA(window, WM_CHAR, 'a', 0), 0);
  EXPECT_TRUE(IsWindow(window));
}

// ---- the queue ----

TEST_F(UserWindows, PostedMessagesComeInOrderAndThreadMessagesAreNotDispatched) {
  HWND window = makeWindow();
  received.clear();
  EXPECT_TRUE(PostMessageA(window, WM_USER, 1, 10));
  EXPECT_TRUE(PostMessageA(nullptr, WM_USER + 1, 2, 20));
  EXPECT_TRUE(PostMessageA(window, WM_USER + 2, 3, 30));
  MSG msg;
  std::vector<UINT> taken;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    taken.push_back(msg.message);
    if (msg.message == WM_USER + 1) {
      EXPECT_EQ(msg.hwnd, nullptr);
      EXPECT_EQ(msg.wParam, 2u);
    }
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(taken, (std::vector<UINT>{WM_USER, WM_USER + 1, WM_USER + 2}));
  EXPECT_EQ(codes(), (std::vector<UINT>{WM_USER, WM_USER + 2}));
  EXPECT_EQ(received[0].lParam, 10);
}

TEST_F(UserWindows, SendMessageCallsTheProcedureAtOnce) {
  HWND window = makeWindow();
  answer = [](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_USER) return static_cast<LRESULT>(wParam * 2);
    return std::nullopt;
  };
  EXPECT_EQ(SendMessageA(window, WM_USER, 21, 0), 42);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(UserWindows, QuitComesOnlyOnceTheQueueIsEmpty) {
  HWND window = makeWindow();
  PostMessageA(window, WM_USER, 0, 0);
  PostQuitMessage(5);
  PostMessageA(window, WM_USER + 1, 0, 0);
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_EQ(msg.hwnd, nullptr);
  // Taken: the request is gone.
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(UserWindows, QuitPostedBeforeAnyWindowWaitsForTheLoop) {
  PostQuitMessage(0);  // as a failed start-up before the program's main does
  HWND window = shownWindow();
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(UserWindows, PeekWithoutRemovingLeavesTheMessage) {
  HWND window = makeWindow();
  PostMessageA(window, WM_USER, 1, 0);
  PostMessageA(window, WM_USER, 2, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));

  PostQuitMessage(3);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(UserWindows, WindowAndRangeFiltersPickMessages) {
  HWND first = makeWindow();
  HWND second = makeWindow();
  PostMessageA(first, WM_USER, 1, 0);
  PostMessageA(second, WM_USER, 2, 0);
  PostMessageA(second, WM_USER + 10, 3, 0);
  PostQuitMessage(9);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, second, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 5, WM_USER + 20, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
  // A quit request belongs to no window and is not in this range.
  EXPECT_FALSE(PeekMessageA(&msg, second, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER + 5, WM_USER + 20, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, first);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 9u);
}

TEST_F(UserWindows, InvalidWindowFilterFails) {
  HWND window = makeWindow();
  DestroyWindow(window);
  PostMessageA(nullptr, WM_USER, 0, 0);
  MSG msg;
  SetLastError(0);
  EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(GetMessageA(&msg, window, 0, 0), -1);
  // The message is still there for a valid filter.
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
}

// ---- keys ----

TEST_F(UserWindows, KeyMessagesCarryRepeatScanCodeAndStateBits) {
  HWND window = shownWindow();
  layer::headless::keyDown('A');
  layer::headless::keyDown('A', true);
  layer::headless::keyUp('A');
  layer::headless::keyDown(VK_DIVIDE);  // an extended key
  layer::headless::keyDown('Q', false, true);
  layer::headless::keyUp('Q', true);
  std::vector<MSG> taken;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) taken.push_back(msg);
  ASSERT_EQ(taken.size(), 6u);
  for (const MSG &m : taken) EXPECT_EQ(m.hwnd, window);
  EXPECT_EQ(taken[0].message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(taken[0].wParam, static_cast<WPARAM>('A'));
  EXPECT_EQ(taken[0].lParam, 0x001E0001);
  EXPECT_EQ(taken[1].lParam, 0x401E0001);  // previous state: down
  EXPECT_EQ(taken[2].message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(static_cast<DWORD>(taken[2].lParam), 0xC01E0001u);
  EXPECT_EQ(taken[3].lParam, 0x01350001);
  EXPECT_EQ(taken[4].message, static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_EQ(taken[4].lParam, 0x20100001);
  EXPECT_EQ(taken[5].message, static_cast<UINT>(WM_SYSKEYUP));
  EXPECT_EQ(static_cast<DWORD>(taken[5].lParam), 0xE0100001u);
}

TEST_F(UserWindows, TranslatedKeysTypeTheirCharacterNext) {
  shownWindow();
  layer::headless::pressKey('A');
  layer::headless::pressKey(VK_F1);  // types nothing
  layer::headless::pressKey('B', true);
  drain();
  std::vector<UINT> expected{WM_KEYDOWN, WM_CHAR,       WM_KEYUP,   WM_KEYDOWN,
                             WM_KEYUP,   WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP};
  EXPECT_EQ(codes(), expected);
  EXPECT_EQ(received[1].wParam, static_cast<WPARAM>('a'));
  EXPECT_EQ(received[1].lParam, received[0].lParam);
  EXPECT_EQ(received[6].wParam, static_cast<WPARAM>('b'));
}

TEST_F(UserWindows, OnlyKeysTheHostReportedTypeCharacters) {
  HWND window = shownWindow();
  layer::headless::keyDown(VK_SPACE);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  PostMessageA(window, WM_USER, 0, 0);
  EXPECT_TRUE(TranslateMessage(&msg));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));  // ahead of what was already queued
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(' '));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));

  // A key press the program posted itself carries no character.
  PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0x00390001);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(TranslateMessage(&msg));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

  msg.message = WM_USER;
  EXPECT_FALSE(TranslateMessage(&msg));
  EXPECT_FALSE(TranslateMessage(nullptr));
}

TEST_F(UserWindows, KeysWithoutAWindowAreLost) {
  layer::headless::pressKey('A');
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// ---- host events ----

TEST_F(UserWindows, FocusChangesArePostedAsActivation) {
  HWND window = shownWindow();
  layer::headless::focus(false);
  layer::headless::focus(false);  // already inactive: nothing more
  layer::headless::focus(true);
  drain();
  ASSERT_EQ(codes(), (std::vector<UINT>{WM_ACTIVATEAPP, WM_ACTIVATEAPP}));
  EXPECT_EQ(received[0].wParam, static_cast<WPARAM>(FALSE));
  EXPECT_EQ(received[1].wParam, static_cast<WPARAM>(TRUE));
  EXPECT_EQ(received[1].window, window);
  EXPECT_EQ(GetForegroundWindow(), window);
}

TEST_F(UserWindows, CloseAndQuitEvents) {
  HWND window = shownWindow();
  layer::headless::closeWindow();
  layer::HostEvent quit;
  quit.type = layer::HostEvent::Quit;
  layer::headless::pushEvent(quit);
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(msg.hwnd, window);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(UserWindows, FocusLostInExclusiveModeLosesTheSurfaces) {
  HWND window = shownWindow();
  IDirectDraw *directDraw = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &directDraw, nullptr), DD_OK);
  ASSERT_EQ(directDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = 4;
  desc.dwHeight = 4;
  IDirectDrawSurface *surface = nullptr;
  ASSERT_EQ(directDraw->CreateSurface(&desc, &surface, nullptr), DD_OK);
  EXPECT_EQ(surface->IsLost(), DD_OK);
  layer::headless::focus(false);
  drain();
  EXPECT_EQ(surface->IsLost(), DDERR_SURFACELOST);
  surface->Release();
  directDraw->Release();
}

// ---- waiting ----

TEST_F(UserWindows, WaitMessageReturnsWhenTheHostHasAnEvent) {
  shownWindow();
  int idleCalls = 0;
  layer::headless::setIdleHook([&] {
    ++idleCalls;
    layer::headless::pressKey(VK_ESCAPE);
  });
  EXPECT_TRUE(WaitMessage());
  EXPECT_EQ(idleCalls, 1);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
  // Something already waiting: no wait at all.
  EXPECT_TRUE(WaitMessage());
  EXPECT_EQ(idleCalls, 1);
}

TEST_F(UserWindows, GetMessageWaitsThroughTheIdleHook) {
  HWND window = shownWindow();
  layer::headless::setIdleHook([window] { PostMessageA(window, WM_USER, 77, 0); });
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.wParam, 77u);
}

TEST_F(UserWindows, WaitingForEventsThatNeverComeEndsTheProcess) {
  shownWindow();
  EXPECT_EXIT(WaitMessage(), ::testing::ExitedWithCode(124), "will never come");
  MSG msg;
  EXPECT_EXIT(GetMessageA(&msg, nullptr, 0, 0), ::testing::ExitedWithCode(124),
              "headless host: the program waits for an event that will never come");
}

}  // namespace

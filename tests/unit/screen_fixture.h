// What the Screen tests share: a fresh layer and a fresh Screen per test,
// a window procedure that keeps the Screen's activation as a program's
// would, and reading the call record by names.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/headless/headless_host.h"
#include "layer_test.h"
#include "screen/screen.h"

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    layer::reset();
    screen.emplace();
    current = &*screen;
    onMessage = nullptr;
  }

  void TearDown() override {
    screen.reset();
    current = nullptr;
    onMessage = nullptr;
    layer::reset();
  }

  bool createScreen(ScreenMode mode = 2) {
    return screen->create("Corvane", 640, 480, mode, windowProc, GetModuleHandleA(nullptr), nullptr, nullptr);
  }

  // Stores WM_ACTIVATEAPP's wParam as `active`, passes the message to
  // onMessage, and leaves the rest to DefWindowProcA.
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (onMessage) onMessage(message, wParam);
    if (message == WM_ACTIVATEAPP) {
      if (current) current->active = static_cast<int32_t>(wParam);
      return 0;
    }
    if (message >= WM_USER || message == WM_KEYDOWN) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
  }

  // The names of the recorded calls that are one of `names`, in order.
  static std::vector<std::string> callNames(const std::vector<std::string> &names) {
    std::vector<std::string> out;
    for (const layer::Call &call : layer::calls())
      for (const std::string &name : names)
        if (call.name == name) {
          out.push_back(call.name);
          break;
        }
    return out;
  }

  // The position of the first recorded call named `name` at or after `from`; -1 when none.
  static int callIndex(const std::string &name, int from = 0) {
    const std::vector<layer::Call> &all = layer::calls();
    for (size_t i = static_cast<size_t>(from); i < all.size(); ++i)
      if (all[i].name == name) return static_cast<int>(i);
    return -1;
  }

  std::optional<Screen> screen;
  static inline Screen *current = nullptr;
  static inline std::function<void(UINT message, WPARAM wParam)> onMessage;
};

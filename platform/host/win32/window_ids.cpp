// USER on Windows is Windows' own: the layer's DirectDraw asks it only for
// host ids of windows and to hear of focus losses.
#include <algorithm>

#include "user/user_internal.h"
#include "win32_windows.h"

namespace layer {
namespace {

std::vector<HWND> &windows() {
  static auto *list = new std::vector<HWND>;
  return *list;
}

std::vector<void (*)()> &focusLossListeners() {
  static auto *list = new std::vector<void (*)()>;
  return *list;
}

}  // namespace

namespace user {

int hostWindowId(HWND window) {
  if (!window || !IsWindow(window)) return 0;
  auto &list = windows();
  auto found = std::find(list.begin(), list.end(), window);
  if (found == list.end()) found = list.insert(list.end(), window);
  return static_cast<int>(found - list.begin()) + 1;
}

void addFocusLossListener(void (*listener)()) {
  auto &list = focusLossListeners();
  if (std::find(list.begin(), list.end(), listener) == list.end()) list.push_back(listener);
}

}  // namespace user

namespace win32 {

HWND windowFor(int id) {
  const auto &list = windows();
  if (id < 1 || id > static_cast<int>(list.size())) return nullptr;
  HWND window = list[static_cast<size_t>(id) - 1];
  return IsWindow(window) ? window : nullptr;
}

void notifyFocusLoss() {
  for (void (*listener)() : focusLossListeners()) listener();
}

}  // namespace win32
}  // namespace layer

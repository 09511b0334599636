#include "core/reset.h"

#include <vector>

namespace layer {
namespace {

std::vector<void (*)()> &resets() {
  static auto *all = new std::vector<void (*)()>;  // never destroyed: registrations come from static constructors
  return *all;
}

}  // namespace

void registerReset(void (*resetFunction)()) {
  for (auto f : resets())
    if (f == resetFunction) return;
  resets().push_back(resetFunction);
}

void runResets() {
  for (auto f : resets()) f();
}

}  // namespace layer

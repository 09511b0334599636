#include "core/wake.h"

namespace layer {
namespace {
uint64_t posts = 0;
}  // namespace

void wakeThread() { ++posts; }
uint64_t wakeCount() { return posts; }

}  // namespace layer

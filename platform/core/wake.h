// A message posted to the thread's queue wakes the thread, as on the
// platform: USER counts every post here, and a host whose wait runs code of
// its own (the headless host's idle hook) sees from the count whether that
// code gave the program something to do, without asking USER.
#pragma once

#include <cstdint>

namespace layer {

void wakeThread();
uint64_t wakeCount();

}  // namespace layer

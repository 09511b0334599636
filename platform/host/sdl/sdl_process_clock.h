// The process's own clocks, for the host's statistics and for the start-up
// floor it is measured against.
#pragma once

namespace layer::sdl {

// Seconds since this process started, from the kernel's record of it; -1
// where /proc cannot tell. The record counts in clock ticks (10 ms).
double secondsSinceProcessStart();

// CPU seconds this process has used, all threads together.
double processCpuSeconds();

}  // namespace layer::sdl

#include "host/sdl/sdl_process_clock.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace layer::sdl {

double secondsSinceProcessStart() {
  FILE *file = std::fopen("/proc/self/stat", "r");
  if (!file) return -1;
  char buffer[1024] = {};
  size_t length = std::fread(buffer, 1, sizeof buffer - 1, file);
  std::fclose(file);
  buffer[length] = 0;
  const char *p = std::strrchr(buffer, ')');  // the command name may hold spaces
  if (!p) return -1;
  // After the name: state is field 3, starttime field 22.
  unsigned long long startTicks = 0;
  int field = 2;
  for (const char *q = p + 1; *q && field < 22; ++q) {
    if (*q == ' ') {
      ++field;
      if (field == 22) startTicks = std::strtoull(q + 1, nullptr, 10);
    }
  }
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double boot = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  return boot - static_cast<double>(startTicks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double processCpuSeconds() {
  timespec used{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

}  // namespace layer::sdl

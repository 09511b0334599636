// What every benchmark measures itself against: the floors (moving the same
// bytes with memset and memcpy, which no drawing can beat) and a reporter
// that keeps each run's time so that a program can print its ratios to a
// floor measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace bench {

// memcpy of `bytes` from one buffer into another.
inline void memcpyFloor(benchmark::State &state, size_t bytes) {
  std::vector<unsigned char> from(bytes, 7), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

// memset of `bytes`, then memcpy of them: clearing a frame and presenting it.
inline void memsetMemcpyFloor(benchmark::State &state, size_t bytes) {
  std::vector<unsigned char> frame(bytes), copy(bytes);
  for (auto _ : state) {
    std::memset(frame.data(), 0, bytes);
    benchmark::ClobberMemory();
    std::memcpy(copy.data(), frame.data(), bytes);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}

// The console report, keeping each run's CPU seconds per iteration by name
// (the machine is shared: wall time is noisier).
class TimesReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration && run.iterations > 0)
        seconds_[run.benchmark_name()] = run.cpu_accumulated_time / double(run.iterations);
  }
  // 0 when the run did not happen.
  double seconds(const std::string &name) const {
    auto it = seconds_.find(name);
    return it == seconds_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace bench

// What every benchmark program of this folder shares: the spread statistics
// that bench/run.sh puts beside each median, and the way a benchmark states
// its target.
//
// A target is a counter named "target" in the benchmark's own time unit; the
// report compares the median CPU time of the repetitions with it. Benchmarks
// without a target are reported for information.
#ifndef ZL_BENCH_BENCHUTIL_H
#define ZL_BENCH_BENCHUTIL_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zl::bench {

// Adds the min and max of the repetitions to the aggregates.
inline benchmark::internal::Benchmark *WithSpread(benchmark::internal::Benchmark *b) {
  return b
      ->ComputeStatistics("min",
                          [](const std::vector<double> &v) {
                            return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
                          })
      ->ComputeStatistics("max", [](const std::vector<double> &v) {
        return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
      });
}

// Registers fn under name with the spread statistics.
template <class Fn>
benchmark::internal::Benchmark *Register(const std::string &name, Fn &&fn) {
  return WithSpread(benchmark::RegisterBenchmark(name.c_str(), std::forward<Fn>(fn)));
}

// The target of the running benchmark, in its time unit.
inline void SetTarget(benchmark::State &state, double target) {
  state.counters["target"] = benchmark::Counter(target);
}

}  // namespace zl::bench

#endif  // ZL_BENCH_BENCHUTIL_H

// Order statistics of a set of measurements, for the benchmarks' reports.
#ifndef ZL_TESTS_SUPPORT_PERFSTATS_H
#define ZL_TESTS_SUPPORT_PERFSTATS_H

#include <vector>

namespace zl::test::perf {

struct Summary {
  double Min = 0;
  double Median = 0;
  double P99 = 0;
  double Max = 0;
};

// Nearest-rank percentiles: the median and the 99th percentile are values
// that were measured (the lower middle one for an even count). All zero for
// no values.
Summary Summarise(std::vector<double> values);

// The value at or below which the given share (0..1) of values lie, by
// nearest rank.
double Percentile(std::vector<double> values, double share);

}  // namespace zl::test::perf

#endif  // ZL_TESTS_SUPPORT_PERFSTATS_H

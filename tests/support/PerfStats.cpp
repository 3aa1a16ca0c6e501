#include "support/PerfStats.h"

#include <algorithm>
#include <cmath>

namespace zl::test::perf {
namespace {

// values sorted, not empty.
double Ranked(const std::vector<double> &values, double share) {
  const double rank = std::ceil(share * static_cast<double>(values.size()));
  const std::size_t index = rank < 1 ? 0 : static_cast<std::size_t>(rank) - 1;
  return values[std::min(index, values.size() - 1)];
}

}  // namespace

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return Ranked(values, share);
}

Summary Summarise(std::vector<double> values) {
  Summary s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  s.Min = values.front();
  s.Max = values.back();
  s.Median = Ranked(values, 0.5);
  s.P99 = Ranked(values, 0.99);
  return s;
}

}  // namespace zl::test::perf

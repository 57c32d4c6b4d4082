// What the server's benchmarks share to report: the median of timed samples,
// and two medians measured side by side recorded with their ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace bench {

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// One of two medians: its counter is `<counter>_median_us`, and `results`
// keeps it under `key` for the ratios printed at the end.
struct NamedMedian {
  const char* counter;
  std::string key;
  double value;
};

// Records both medians and `ratio`, the second over the first.
inline void RecordMedians(benchmark::State& state, std::map<std::string, double>& results,
                          const NamedMedian& first, const NamedMedian& second) {
  state.counters[std::string(first.counter) + "_median_us"] = first.value;
  state.counters[std::string(second.counter) + "_median_us"] = second.value;
  state.counters["ratio"] = first.value > 0 ? second.value / first.value : 0;
  results[first.key] = first.value;
  results[second.key] = second.value;
}

}  // namespace bench

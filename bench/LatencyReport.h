#pragma once
// p50 and p99 of nanosecond latencies, reported in microseconds as the run's counters.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

inline void ReportLatencies(benchmark::State& run, std::vector<int64_t>& latencies, const std::string& prefix = "") {
  if (latencies.empty()) return;
  std::sort(latencies.begin(), latencies.end());
  run.counters[prefix + "p50_us"] = static_cast<double>(latencies[latencies.size() / 2]) / 1000.0;
  run.counters[prefix + "p99_us"] = static_cast<double>(latencies[latencies.size() * 99 / 100]) / 1000.0;
}

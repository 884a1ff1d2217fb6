// Parameter lookup by key, as the grab wait thread, row delivery and the ejector thread do it for
// every grab result, row and line. The set holds the fixed parameters plus 200 mirrored ones, as an
// opened camera does. Baselines: a std::map<std::string, ...> searched with a temporary string
// (one allocation per lookup for a key as long as "LineCounterResolution") and without one.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <string_view>

#include "parameters/CameraParameters.h"

namespace {

CameraParameters& OpenedCameraSet() {
  static CameraParameters set = [] {
    CameraParameters s;
    for (int i = 0; i < 200; ++i) {
      s.Add(std::make_unique<Param<int>>("Camera", "NodeFeature" + std::to_string(i), i, 0, 1000, 1));
    }
    return s;
  }();
  return set;
}

void BM_Lookup_GetParameter(benchmark::State& run) {
  CameraParameters& set = OpenedCameraSet();
  for (auto _ : run) benchmark::DoNotOptimize(set.GetParameter<int>("LineCounterResolution"));
}
BENCHMARK(BM_Lookup_GetParameter);

void BM_Lookup_GetValueConverted(benchmark::State& run) {
  CameraParameters& set = OpenedCameraSet();
  for (auto _ : run) benchmark::DoNotOptimize(set.GetValue<int>("LineCounterResolution"));
}
BENCHMARK(BM_Lookup_GetValueConverted);

void BM_Lookup_GetParameterTwoThreads(benchmark::State& run) {
  CameraParameters& set = OpenedCameraSet();
  for (auto _ : run) benchmark::DoNotOptimize(set.GetParameter<int>("LineCounterResolution"));
}
BENCHMARK(BM_Lookup_GetParameterTwoThreads)->Threads(2);

std::map<std::string, Param_*>& PlainMap() {
  static std::map<std::string, Param_*> map = [] {
    std::map<std::string, Param_*> m;
    for (Param_& p : OpenedCameraSet()) m.emplace(p.name, &p);
    return m;
  }();
  return map;
}

void BM_Baseline_MapFindTemporaryString(benchmark::State& run) {
  std::map<std::string, Param_*>& map = PlainMap();
  const char* key = "LineCounterResolution";
  for (auto _ : run) {
    benchmark::DoNotOptimize(key);
    benchmark::DoNotOptimize(map.find(std::string(key)));
  }
}
BENCHMARK(BM_Baseline_MapFindTemporaryString);

// The set's own search without its reader lock: what the lock adds is the difference.
void BM_Baseline_MapFindStringViewNoLock(benchmark::State& run) {
  static std::map<std::string, Param_*, std::less<>> map(PlainMap().begin(), PlainMap().end());
  const char* key = "LineCounterResolution";
  for (auto _ : run) {
    benchmark::DoNotOptimize(key);
    benchmark::DoNotOptimize(map.find(std::string_view(key)));
  }
}
BENCHMARK(BM_Baseline_MapFindStringViewNoLock);

}  // namespace

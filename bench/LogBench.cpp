// The log writer's cost: a line no sink wants must cost next to nothing, since the per-row and
// per-line paths log at levels 3 and 4. Baselines from the same run sit beside each figure.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "driver/DriverState.h"
#include "driver/Log.h"

namespace {

void BM_Baseline_IntegerCompare(benchmark::State& run) {
  int level = 4;
  int limit = 1;
  for (auto _ : run) {
    benchmark::DoNotOptimize(level);
    benchmark::DoNotOptimize(limit);
    bool wanted = level <= limit;
    benchmark::DoNotOptimize(wanted);
  }
}
BENCHMARK(BM_Baseline_IntegerCompare);

void BM_Log_DisabledLevel(benchmark::State& run) {
  DriverState& state = DriverState::Get();
  state.logLevel = 1;
  state.debugOutputLevel = 3;
  int row = 17;
  for (auto _ : run) {
    Log(4, "getCVLGrabRow: entering row=%d  grabberNo=%d  portNo=%d\n", row, 0, 1);
    benchmark::DoNotOptimize(row);
  }
}
BENCHMARK(BM_Log_DisabledLevel);

std::filesystem::path BenchDirectory() {
  std::filesystem::path directory = std::filesystem::temp_directory_path() / "korvex-bench";
  std::filesystem::create_directories(directory);
  return directory;
}

void BM_Baseline_OpenAppendClose(benchmark::State& run) {
  const std::string path = (BenchDirectory() / "baseline.log").string();
  for (auto _ : run) {
    std::FILE* file = std::fopen(path.c_str(), "a");
    std::fprintf(file, "%s%s", "08/12/06 20:05:09: ", "getCVLGrabRow: entering row=17  grabberNo=0  portNo=1\n");
    std::fclose(file);
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_Baseline_OpenAppendClose);

void BM_Log_EnabledFileLine(benchmark::State& run) {
  DriverState& state = DriverState::Get();
  const std::filesystem::path directory = BenchDirectory();
  state.SetSystemPath(directory.c_str());
  state.SetLogIntoFile(true);
  state.SetDebugMessageProc(nullptr);
  state.logLevel = 4;
  state.debugOutputLevel = 0;
  int row = 17;
  for (auto _ : run) {
    Log(4, "getCVLGrabRow: entering row=%d  grabberNo=%d  portNo=%d\n", row, 0, 1);
  }
  state.SetLogIntoFile(false);
  state.logLevel = 1;
  std::filesystem::remove(directory / "korvex.log");
}
BENCHMARK(BM_Log_EnabledFileLine);

}  // namespace



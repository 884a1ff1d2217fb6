// The ejector's per-line work: storing and consuming a line command (beside an uncontended mutex
// and a 10-byte copy, its floor), and one output port write onto the virtual card through either
// backend (beside the virtual card's own write).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <mutex>

#include "card/VirtualCard.h"
#include "ejector/DioDevice.h"
#include "ejector/EjectorBuffer.h"

namespace {

void BM_Baseline_LockedCopy10(benchmark::State& run) {
  std::mutex lock;
  EjectorCommand stored{}, out{};
  for (auto _ : run) {
    std::lock_guard<std::mutex> guard(lock);
    out = stored;
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_Baseline_LockedCopy10);

void BM_EjectorBuffer_SetThenReadCommand(benchmark::State& run) {
  EjectorBuffer buffer;
  buffer.Init(10000);
  EjectorCommand command{};
  command.bytes[0] = 0xFF;
  EjectorCommand out{};
  int line = 0;
  for (auto _ : run) {
    buffer.SetCommand(line, command);
    buffer.ReadCommand(line, &out);
    benchmark::DoNotOptimize(out);
    line = (line + 1) % 10000;
  }
}
BENCHMARK(BM_EjectorBuffer_SetThenReadCommand);

void BM_Baseline_VirtualCardWrite(benchmark::State& run) {
  daq::VirtualCard* card = daq::FindCard(0);
  uint8_t value = 0;
  for (auto _ : run) card->Write(0, value++);
}
BENCHMARK(BM_Baseline_VirtualCardWrite);

void WriteDio(benchmark::State& run, bool bioDaq) {
  DioDevice device;
  const bool opened = bioDaq ? device.OpenBioDaq(0) : device.OpenAdsapi(0);
  if (!opened) {
    run.SkipWithError("the card did not open");
    return;
  }
  uint8_t value = 0;
  for (auto _ : run) benchmark::DoNotOptimize(device.WriteDio(0, value++));
}

void BM_DioDevice_WriteDio_Adsapi(benchmark::State& run) { WriteDio(run, false); }
BENCHMARK(BM_DioDevice_WriteDio_Adsapi);

void BM_DioDevice_WriteDio_BioDaq(benchmark::State& run) {
  setenv("KORVEX_BIODAQ", KORVEX_BIODAQ_PATH, 1);
  WriteDio(run, true);
}
BENCHMARK(BM_DioDevice_WriteDio_BioDaq);

}  // namespace

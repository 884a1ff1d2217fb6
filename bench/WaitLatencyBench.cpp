// From a frame completed in the virtual camera to WaitForAny returning on another thread, as the
// grab wait thread sees it: p50 and p99 over 10,000 results. Baseline from the same run: a plain
// condition-variable wake between two threads, measured the same way.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "camera_sdk/BaslerGigECamera.h"
#include "camera_sdk/VirtualControl.h"
#include "camera_sdk/WaitObject.h"
#include "LatencyReport.h"

namespace {

constexpr int kResults = 10000;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void BM_FrameToWaitForAny(benchmark::State& run) {
  using namespace Pylon;
  ITransportLayer* tl = CTlFactory::GetInstance().CreateTl("BaslerGigE");
  DeviceInfoList_t devices;
  tl->EnumerateDevices(devices);
  {
    CBaslerGigECamera camera(tl->CreateDevice(devices[0]));
    camera.Open();
    Virtual::SetFreeRunning(0, false);
    camera.Width.SetValue(64);
    camera.Height.SetValue(1);
    CBaslerGigEStreamGrabber grabber(camera.GetStreamGrabber(0));
    grabber->Open();
    grabber.MaxBufferSize.SetValue(64);
    grabber.MaxNumBuffer.SetValue(1);
    grabber->PrepareGrab();
    std::vector<uint8_t> memory(64);
    StreamBufferHandle handle = grabber->RegisterBuffer(memory.data(), memory.size());
    camera.AcquisitionStart.Execute();

    for (auto _ : run) {
      std::vector<int64_t> latencies;
      latencies.reserve(kResults);
      std::atomic<int> handled{0};
      std::thread waiter([&] {
        WaitObjects waits;
        AlertableWaitObject terminate;
        waits.Add(terminate);
        waits.Add(grabber->GetWaitObject());
        for (int i = 0; i < kResults; ++i) {
          unsigned int index = 0;
          waits.WaitForAny(waitForever, &index);
          latencies.push_back(NowNs() - Virtual::LastCompletionNs(0));
          GrabResult result;
          grabber->RetrieveResult(result);
          handled.store(i + 1, std::memory_order_release);
        }
      });
      for (int i = 0; i < kResults; ++i) {
        grabber->QueueBuffer(handle, nullptr);
        Virtual::ProduceFrames(0, 1);
        while (handled.load(std::memory_order_acquire) <= i) std::this_thread::yield();
      }
      waiter.join();
      ReportLatencies(run, latencies);
    }
    camera.AcquisitionStop.Execute();
    grabber->DeregisterBuffer(handle);
    grabber->FinishGrab();
    grabber->Close();
  }
  CTlFactory::GetInstance().ReleaseTl(tl);
}
BENCHMARK(BM_FrameToWaitForAny)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Baseline_ConditionVariableWake(benchmark::State& run) {
  for (auto _ : run) {
    std::mutex mutex;
    std::condition_variable condition;
    int64_t signalledAt = 0;
    int sequence = 0;
    std::atomic<int> handled{0};
    std::vector<int64_t> latencies;
    latencies.reserve(kResults);
    std::thread waiter([&] {
      for (int i = 0; i < kResults; ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        condition.wait(lock, [&] { return sequence > i; });
        latencies.push_back(NowNs() - signalledAt);
        handled.store(i + 1, std::memory_order_release);
      }
    });
    for (int i = 0; i < kResults; ++i) {
      {
        std::lock_guard<std::mutex> guard(mutex);
        ++sequence;
        signalledAt = NowNs();
      }
      condition.notify_one();
      while (handled.load(std::memory_order_acquire) <= i) std::this_thread::yield();
    }
    waiter.join();
    ReportLatencies(run, latencies);
  }
}
BENCHMARK(BM_Baseline_ConditionVariableWake)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

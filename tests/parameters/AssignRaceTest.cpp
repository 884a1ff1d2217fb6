// The configuration dialog's OK replaces a camera's parameters while the grab wait thread, row
// delivery and the ejector thread read them by key. Run under ThreadSanitizer in CI.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "parameters/CameraParameters.h"

namespace {

TEST(AssignRace, ReadersByKeyNeverSeeAParameterBeingReplaced) {
  CameraParameters live;
  CameraParameters edited;
  edited.SetParameter("LineCounterResolution", 7);
  edited.Add(std::make_unique<Param<double>>("Camera", "ExposureTimeAbs", 35.0, 10.0, 1000.0, 0.0));

  std::atomic<bool> stop{false};
  std::atomic<long> reads{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        const int resolution = live.GetLineCounterResolution();
        EXPECT_TRUE(resolution == 1 || resolution == 7) << resolution;
        EXPECT_FALSE(live.GetUseBGR());
        EXPECT_GE(live.GetValue<int>("Width"), 1);
        EXPECT_GE(live.GetBufferLines(), 1);
        ++reads;
      }
    });
  }
  CameraParameters original;
  for (int i = 0; i < 300; ++i) {
    live.Assign(i % 2 == 0 ? edited : original);
    live.SetParameter("Delay", i);
  }
  while (reads.load() < 1000) std::this_thread::yield();
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(live.size(), 26u) << "the last Assign was from the plain set";
}

}  // namespace

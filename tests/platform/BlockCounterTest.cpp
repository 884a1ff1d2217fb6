// A GigE Vision device's frame IDs as the driver's block IDs: gaps stay gaps, wraps do not.

#include <gtest/gtest.h>

#include "camera_sdk/aravis/BlockCounter.h"

namespace {

using Pylon::Aravis::BlockCounter;

TEST(BlockCounter, CountsFromOneAtEachStartAndKeepsGapsAcrossBothKindsOfWrap) {
  BlockCounter blocks;
  EXPECT_EQ(blocks.Next(65401), 1u);
  EXPECT_EQ(blocks.Next(65403), 3u) << "a lost frame leaves its gap";
  // GigE Vision's 16-bit IDs skip 0 when they wrap; some devices do not.
  EXPECT_EQ(blocks.Next(65535), 135u);
  EXPECT_EQ(blocks.Next(1), 136u);
  EXPECT_EQ(blocks.Next(65535), 65534u + 136u);
  EXPECT_EQ(blocks.Next(0), 65534u + 137u);
  EXPECT_EQ(blocks.Next(1), 65534u + 138u);
  blocks.Restart();
  EXPECT_EQ(blocks.Next(70000), 1u);
  EXPECT_EQ(blocks.Next(70002), 3u) << "64-bit IDs count on without wrapping";
}

}  // namespace

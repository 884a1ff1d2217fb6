// initialize/finalize against the driver state directly, for what a host cannot set by itself.

#include <gtest/gtest.h>

#include "KorvexEjector.h"
#include "camera/CameraList.h"
#include "camera_sdk/SdkTesting.h"
#include "driver/DriverState.h"
#include "os/Path.h"

namespace {

TEST(DriverLifecycle, InhibitFlagKeepsTheSdkRunningButStillDropsTheCameraList) {
  Pylon::Testing::ResetLifecycleCounts();
  DriverState& state = DriverState::Get();
  state.inhibitPylonTerminate = true;
  ASSERT_EQ(initialize("/tmp", nullptr), 1);
  ASSERT_NE(CameraList::PeekInstance(), nullptr);
  ASSERT_EQ(finalize(), 1);
  EXPECT_EQ(CameraList::PeekInstance(), nullptr);
  EXPECT_EQ(Pylon::Testing::GetLifecycleCounts().initializeCalls, 1);
  EXPECT_EQ(Pylon::Testing::GetLifecycleCounts().terminateCalls, 0);
  EXPECT_EQ(state.referenceCount, 0);
  state.inhibitPylonTerminate = false;
}

TEST(DriverLifecycle, ConfigurationFileLiesInTheSystemPath) {
  DriverState& state = DriverState::Get();
  ASSERT_TRUE(state.SetSystemPath("/var/lib/host"));
  EXPECT_EQ(state.GetConfigFilePath(), os::JoinPath("/var/lib/host", "Korvex.ini"));
  EXPECT_FALSE(state.SetSystemPath(""));
  EXPECT_EQ(state.GetSystemPath(), "/var/lib/host") << "an empty path changes nothing";
}

}  // namespace

// The exports as a host meets them with no camera on the network.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <string>

#include "DriverLibrary.h"
#include "camera_sdk/SdkTesting.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class Exports : public ::testing::Test {
 protected:
  void SetUp() override {
    HostLog::Calls().clear();
    Pylon::Testing::ResetLifecycleCounts();
    systemPath = std::filesystem::temp_directory_path() / "korvex-api-tests";
    std::filesystem::create_directories(systemPath);
  }

  DriverLibrary driver;
  DebugOutputFile debugOutput;
  std::filesystem::path systemPath;
};

TEST_F(Exports, NestedInitializeStartsAndStopsTheSdkOnlyAtTheOutermostPair) {
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  EXPECT_EQ(Pylon::Testing::GetLifecycleCounts().initializeCalls, 1);
  EXPECT_TRUE(HostLog::Contains("initialize: Basler camera driver V1,0,1,41, refcount=1, "));
  EXPECT_TRUE(HostLog::Contains("initialize: Basler camera driver V1,0,1,41, refcount=2, "));

  ASSERT_EQ(driver.finalize(), 1);
  EXPECT_EQ(Pylon::Testing::GetLifecycleCounts().terminateCalls, 0);
  EXPECT_THAT(debugOutput.Read(), HasSubstr("finalize: leaving, refcount=1\n"));

  ASSERT_EQ(driver.finalize(), 1);
  EXPECT_EQ(Pylon::Testing::GetLifecycleCounts().terminateCalls, 1);
  EXPECT_EQ(Pylon::Testing::GetLifecycleCounts().initialized, 0);
  EXPECT_THAT(debugOutput.Read(), HasSubstr("finalize: leaving, refcount=0\n"));
}

TEST_F(Exports, UnbalancedFinalizeKeepsTheCountAtZeroSoTheNextInitializeStarts) {
  ASSERT_EQ(driver.finalize(), 1);
  ASSERT_EQ(driver.finalize(), 1);
  EXPECT_THAT(debugOutput.Read(),
              HasSubstr("finalize: WARNING: no initialize to match, the driver is not started, refcount=0\n"));
  EXPECT_EQ(Pylon::Testing::GetLifecycleCounts().terminateCalls, 0);

  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  EXPECT_EQ(Pylon::Testing::GetLifecycleCounts().initializeCalls, 1);
  EXPECT_TRUE(HostLog::Contains("refcount=1, "));
  driver.finalize();
  EXPECT_EQ(Pylon::Testing::GetLifecycleCounts().terminateCalls, 1);
}

TEST_F(Exports, FixedAnswersAndAnEmptyCameraList) {
  setenv("KORVEX_CAMERAS", (systemPath / "no-such-network.ini").string().c_str(), 1);
  EXPECT_EQ(driver.getCVLNoOfSupportedCameras(), 0) << "before initialize";
  char** before = driver.getCVLCameraConfigNames();
  ASSERT_NE(before, nullptr);
  EXPECT_EQ(before[0], nullptr);

  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  EXPECT_EQ(driver.getCVLMaxNoOfGrabbers(), 1);
  EXPECT_EQ(driver.getCVLMaxNoOfPorts(), 20);
  EXPECT_EQ(driver.getCVLNoOfSupportedCameras(), 0);
  char** names = driver.getCVLCameraConfigNames();
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(names[0], nullptr);
  EXPECT_TRUE(HostLog::Contains("CameraList::Init: WARNING: enumerateDevices shows no camera present!\n"));
  driver.finalize();
  unsetenv("KORVEX_CAMERAS");
}

TEST_F(Exports, TheDefaultNetworkListsTheTwoLineScanCamerasInOrder) {
  unsetenv("KORVEX_CAMERAS");
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  EXPECT_EQ(driver.getCVLNoOfSupportedCameras(), 2);
  char** names = driver.getCVLCameraConfigNames();
  ASSERT_NE(names, nullptr);
  EXPECT_STREQ(names[0], "Basler raL2048-48gm (21000001)");
  EXPECT_STREQ(names[1], "Basler ruL2098-10gc (21000002)");
  EXPECT_EQ(names[2], nullptr);
  EXPECT_TRUE(HostLog::Contains("CameraList::Init: WARNING: skips not supported camera: Basler acA1300-30gm#21000003\n"));
  const std::string debug = debugOutput.Read();
  EXPECT_THAT(debug, HasSubstr("CameraList::Init: b/w camera found: Basler raL2048-48gm#21000001\n"));
  EXPECT_THAT(debug, HasSubstr("CameraList::Init: color camera found: Basler ruL2098-10gc#21000002\n"));
  driver.finalize();
  EXPECT_EQ(driver.getCVLNoOfSupportedCameras(), 0) << "the list is gone with the last finalize";
}

TEST_F(Exports, UndefinedCameraNamesInAnyCaseLeaveTheImageSizeAtZero) {
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  for (const char* name : {"Undefined", "undefined", "UNDEFINED", "Udefinert", "uDEFINERT", ""}) {
    int imageSize[2] = {77, 77};
    HostLog::Calls().clear();
    EXPECT_EQ(driver.openCVLPort(0, 2, name, imageSize), 0) << name;
    EXPECT_EQ(imageSize[0], 0) << name;
    EXPECT_EQ(imageSize[1], 0) << name;
    EXPECT_TRUE(HostLog::Contains(std::string("openCVLPort: ERROR: undefined camera, grabberNo=0, portNo=2, cameraName=") +
                                  name + "\n"))
        << HostLog::Messages();
  }
  int imageSize[2] = {77, 77};
  EXPECT_EQ(driver.openCVLPort(0, 2, "Undefined camera", imageSize), 0);
  EXPECT_TRUE(HostLog::Contains("openCVLPort: ERROR: cannot find camera by name:Undefined camera\n"));
  EXPECT_EQ(imageSize[0], 0);
  driver.finalize();
}

TEST_F(Exports, EveryPortExportFailsCleanlyWithoutACamera) {
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  HostLog::Calls().clear();

  EXPECT_EQ(driver.doCVLGrab(0, 4), 0);
  EXPECT_TRUE(HostLog::Contains("CameraList::GetByPort: ERROR: could not find camera on port 4\n"));
  EXPECT_TRUE(HostLog::Contains("doCVLGrab: --EXCEPTION caught  grabberNo=0 portNo=4\n"));

  unsigned char row[16];
  EXPECT_EQ(driver.getCVLGrabRow(0, 4, row, 0, 0, 15), 0);
  EXPECT_TRUE(HostLog::Contains("getCVLGrabRow: --EXCEPTION caught \n"));

  EXPECT_EQ(driver.setCompleteCallback(0, 4, nullptr), 0);
  EXPECT_TRUE(HostLog::Contains("setCompleteCallback: --EXCEPTION caught \n"));
  EXPECT_EQ(driver.setCmdCallback(0, 4, nullptr), 0);
  EXPECT_THAT(debugOutput.Read(), HasSubstr("setCmdCallback: --EXCEPTION caught \n"));
  EXPECT_FALSE(HostLog::Contains("setCmdCallback: --EXCEPTION caught")) << "logged at level 3 only";

  int value = 5, minimum = 6, maximum = 7;
  EXPECT_EQ(driver.getProperty(0, 4, "ExposureTime", &value), 0);
  EXPECT_TRUE(HostLog::Contains("--EXCEPTION caught at getProperty\n"));
  EXPECT_EQ(driver.setProperty(0, 4, "ExposureTime", 100), 0);
  EXPECT_TRUE(HostLog::Contains("setProperty: --EXCEPTION caught \n"));
  EXPECT_EQ(driver.getPropertyRange(0, 4, "ExposureTime", &minimum, &maximum), 0);
  EXPECT_TRUE(HostLog::Contains("getPropertyRange: --EXCEPTION caught \n"));

  driver.closeCVLPort(0, 4);
  EXPECT_TRUE(HostLog::Contains("closeCVLPort: --EXCEPTION caught  grabberNo=0, portNo=4\n"));
  EXPECT_THAT(debugOutput.Read(), HasSubstr("closeCVLPort: leaving grabberNo=0, portNo=4\n"));

  EXPECT_EQ(driver.configureCamera(0, "raL2048-48gm"), 0);
  EXPECT_TRUE(HostLog::Contains("configureCamera: ERROR: cannot find camera by name: raL2048-48gm\n"));
  driver.finalize();
}

TEST_F(Exports, ExecCmdWithoutACameraAnswersErrorWithinTheCopyLimit) {
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  char result[32];
  std::memset(result, 'x', sizeof result);
  EXPECT_EQ(driver.execCmd(0, 3, "ReadOutputs", "", result, sizeof result), 0);
  EXPECT_STREQ(result, "error");
  EXPECT_TRUE(HostLog::Contains("execCmd: --EXCEPTION caught \n"));

  char small[4];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(driver.execCmd(0, 3, "ReadOutputs", "", small, 3), 0);
  EXPECT_STREQ(small, "er");
  EXPECT_EQ(small[3], 'x') << "nothing written past resultSize";

  for (int size : {0, -1, -1000}) {
    char untouched[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(driver.execCmd(0, 3, "ReadOutputs", "", untouched, size), 0);
    EXPECT_EQ(std::memcmp(untouched, "xxxx", 4), 0) << "resultSize " << size;
  }
  driver.finalize();
}

TEST_F(Exports, NullPointersAtTheBoundaryAreRefusedWithALogLine) {
  ASSERT_EQ(driver.initialize(nullptr, &HostLog::Proc), 1) << "a null system path is ignored";

  EXPECT_EQ(driver.setSystemPath(nullptr), 0);
  EXPECT_EQ(driver.setSystemPath(""), 0);
  EXPECT_TRUE(HostLog::Contains("setSystemPath: ERROR: path is null or empty\n"));

  EXPECT_EQ(driver.openCVLPort(0, 1, "raL2048-48gm", nullptr), 0);
  EXPECT_TRUE(HostLog::Contains("openCVLPort: ERROR: imageSize is null"));
  int imageSize[2] = {9, 9};
  EXPECT_EQ(driver.openCVLPort(0, 1, nullptr, imageSize), 0);
  EXPECT_TRUE(HostLog::Contains("openCVLPort: ERROR: undefined camera, grabberNo=0, portNo=1, cameraName=(null)\n"));
  EXPECT_EQ(imageSize[0], 0);

  EXPECT_EQ(driver.configureCamera(0, nullptr), 0);
  EXPECT_TRUE(HostLog::Contains("configureCamera: ERROR: cannot find camera by name: (null)\n"));

  char result[8] = "xxxxxxx";
  EXPECT_EQ(driver.execCmd(0, 1, nullptr, "", result, sizeof result), 0);
  EXPECT_STREQ(result, "error");
  EXPECT_EQ(driver.execCmd(0, 1, "ReadOutputs", nullptr, result, sizeof result), 0);
  EXPECT_EQ(driver.execCmd(0, 1, "ReadOutputs", "", nullptr, 8), 0);
  EXPECT_TRUE(HostLog::Contains("execCmd: ERROR: invalid arguments"));

  int value = 0;
  EXPECT_EQ(driver.getProperty(0, 1, "Gain", nullptr), 0);
  EXPECT_EQ(driver.getProperty(0, 1, nullptr, &value), 0);
  EXPECT_TRUE(HostLog::Contains("getProperty: ERROR: property name or value pointer is null, portNo=1\n"));
  EXPECT_EQ(driver.setProperty(0, 1, nullptr, 5), 0);
  EXPECT_TRUE(HostLog::Contains("setProperty: ERROR: property name is null, portNo=1\n"));
  EXPECT_EQ(driver.getPropertyRange(0, 1, "Gain", nullptr, &value), 0);
  EXPECT_EQ(driver.getPropertyRange(0, 1, "Gain", &value, nullptr), 0);
  EXPECT_TRUE(HostLog::Contains("getPropertyRange: ERROR: property name or range pointer is null, portNo=1\n"));

  EXPECT_EQ(driver.getCVLGrabRow(0, 1, nullptr, 0, 0, 10), 0);
  unsigned char row[4];
  EXPECT_EQ(driver.getCVLGrabRow(0, 1, row, 0, -1, 3), 0);
  EXPECT_EQ(driver.getCVLGrabRow(0, 1, row, 0, 3, 2), 0);
  EXPECT_TRUE(HostLog::Contains("getCVLGrabRow: ERROR: invalid destination or columns"));
  driver.finalize();
}

TEST_F(Exports, HostProcedureGetsStampThenMessageAndCanBeSwitchedOff) {
  ASSERT_EQ(driver.initialize(systemPath.string().c_str(), &HostLog::Proc), 1);
  const std::vector<std::string>& calls = HostLog::Calls();
  ASSERT_EQ(calls.size() % 2, 0u);
  ASSERT_GE(calls.size(), 2u);
  // std::regex: GoogleTest's own on Windows knows only a few classes.
  EXPECT_TRUE(std::regex_match(calls[0], std::regex("[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}: ")))
      << calls[0];
  EXPECT_THAT(calls.back(), HasSubstr("initialize: Basler camera driver V1,0,1,41, refcount=1, "));
  EXPECT_THAT(debugOutput.Read(), HasSubstr("===============\ninitialize: \n")) << "level 2 goes to the debug output";
  EXPECT_THAT(HostLog::Messages(), Not(HasSubstr("===============")));

  driver.setDebugMsgProc(nullptr);
  const std::size_t before = calls.size();
  driver.setSystemPath(nullptr);
  EXPECT_EQ(calls.size(), before);
  driver.finalize();
}

}  // namespace

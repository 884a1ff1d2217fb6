// Parameters mirrored from the virtual cameras' node maps: which features become parameters, with
// which options, and how values travel between the set, the .ini file and the camera.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "camera_sdk/BaslerGigECamera.h"
#include "camera_sdk/VirtualControl.h"
#include "driver/DriverState.h"
#include "parameters/CameraParameters.h"

namespace {

using namespace Pylon;

std::vector<std::string> gLog;
void Record(const char* text) { gLog.emplace_back(text); }

class NodeMapParameters : public ::testing::Test {
 protected:
  void SetUp() override {
    tl = CTlFactory::GetInstance().CreateTl("BaslerGigE");
    tl->EnumerateDevices(devices);
    mono = std::make_unique<CBaslerGigECamera>(tl->CreateDevice(devices[0]));
    mono->Open();
    map = mono->GetNodeMap();
    descriptor.kindFlags = 1 | 16;
    descriptor.name = devices[0].GetFriendlyName().c_str();
    gLog.clear();
  }
  void TearDown() override {
    DriverState::Get().SetDebugMessageProc(nullptr);
    DriverState::Get().logLevel = 1;
    mono.reset();
    CTlFactory::GetInstance().ReleaseTl(tl);
  }
  std::string Log() const {
    std::string all;
    for (const std::string& line : gLog) all += line;
    return all;
  }

  ITransportLayer* tl = nullptr;
  DeviceInfoList_t devices;
  std::unique_ptr<CBaslerGigECamera> mono;
  GenApi::INodeMap* map = nullptr;
  CameraDescriptor descriptor;
};

TEST_F(NodeMapParameters, CategoriesAndNamesAreFilteredAndSelectorsExpanded) {
  CameraParameters set(descriptor);
  set.CreateParametersFromNodes(*map);

  for (const char* key : {"All_GainRaw", "Tap1_GainRaw", "Tap2_GainRaw", "All_BlackLevelRaw", "GammaEnable", "Gamma",
                          "DigitalShift", "SpatialCorrection", "AcquisitionLineRateAbs", "ExposureTimeAbs",
                          "FrameStart_TriggerMode", "LineStart_TriggerSource", "LineStatusAll", "UserOutputValueAll",
                          "DeviceUserID", "GevMACAddress", "ExpertFeature1_ExpertFeatureEnable", "AcquisitionMode",
                          "PayloadSize", "Line1_LineInverter"}) {
    EXPECT_TRUE(set.Has(key)) << key;
  }
  for (const char* key : {"GainRaw", "GainSelector", "PixelFormat", "TLParamsLocked", "OffsetY", "ExposureTimeRaw",
                          "NetworkInterface0_GevPersistentIPAddress", "ExpertFeature1_ExpertFeatureAccessKey",
                          "ExpertFeature2_ExpertFeatureEnable", "GevDeviceModeRegister", "ChunkModeActive",
                          "LUTEnable", "Luminance_LUTEnable", "Default_UserSetLoad", "DeviceReset",
                          "ExposureEnd_EventNotification", "Red_GainRaw"}) {
    EXPECT_FALSE(set.Has(key)) << key;
  }

  Param_& tap1 = set.Get("Tap1_GainRaw");
  EXPECT_EQ(tap1.group, "AnalogControls");
  EXPECT_EQ(tap1.kind(), Param_::Kind::Int64);
  EXPECT_STREQ(tap1.get_option<GenICam::gcstring>("NodeName").c_str(), "GainRaw");
  EXPECT_EQ(tap1.get_option<std::string>("SelectorName"), "GainSelector");
  EXPECT_EQ(tap1.get_option<int64_t>("SelectorValue"), 1);
  EXPECT_EQ(tap1.description, "Raw gain");
  EXPECT_STREQ(mono->GetNodeMap()->GetNode("GainSelector") != nullptr
                   ? dynamic_cast<GenApi::IEnumeration*>(map->GetNode("GainSelector"))->ToString().c_str()
                   : "",
               "Tap2")
      << "the selector is left at its last entry";

  EXPECT_EQ(set.Get("ExposureTimeAbs").get_option<std::string>("Format"), "%.4f us");
  EXPECT_EQ(set.Get("GevMACAddress").get_option<std::string>("Format"), "%X");
  EXPECT_FALSE(set.Get("DigitalShift").has_option("Format"));
  EXPECT_GT(set.GetValue<int64_t>("GevMACAddress"), int64_t{0xFFFFFFFF});

  EXPECT_FALSE(set.Get("LineStatusAll").enabled) << "read-only";
  EXPECT_FALSE(set.Get("PayloadSize").enabled);
  auto& source = dynamic_cast<ParamEnum&>(set.Get("FrameStart_TriggerSource"));
  EXPECT_EQ(source.entries, (std::vector<std::string>{"Line1", "Line2", "ShaftEncoderModuleOut", "SoftwareTrigger"}))
      << "an entry that is not readable is left out";
  EXPECT_EQ(source.value, "Line1");

  const std::size_t size = set.size();
  set.CreateParametersFromNodes(*map);
  EXPECT_EQ(set.size(), size) << "a second creation adds nothing";
}

TEST_F(NodeMapParameters, ApplyWritesOnlyWhatDiffersAndUpdateReadsBack) {
  DriverState::Get().SetDebugMessageProc(&Record);
  DriverState::Get().logLevel = 3;
  CameraParameters set(descriptor);
  set.CreateParametersFromNodes(*map);

  set.ApplyParameter(*map, "Tap1_GainRaw");
  EXPECT_EQ(Virtual::NodeWrites(0, "GainRaw"), 0);
  EXPECT_THAT(Log(), ::testing::HasSubstr("CameraParameters::ApplyParameter: Set parameter: Tap1_GainRaw=256\n"));

  set.SetParameter("Tap1_GainRaw", int64_t{300});
  set.SetParameter("Gamma", 1.5);
  set.ApplyParameters(*map);
  EXPECT_EQ(Virtual::NodeWrites(0, "GainRaw"), 1);
  EXPECT_EQ(Virtual::NodeMapInvalidations(0), 1);
  auto* selector = dynamic_cast<GenApi::IEnumeration*>(map->GetNode("GainSelector"));
  auto* gain = dynamic_cast<GenApi::IInteger*>(map->GetNode("GainRaw"));
  selector->FromString("Tap1");
  EXPECT_EQ(gain->GetValue(), 300);
  selector->FromString("Tap2");
  EXPECT_EQ(gain->GetValue(), 256) << "the other tap kept its gain";

  auto& triggerSource = dynamic_cast<ParamEnum&>(set.Get("LineStart_TriggerSource"));
  triggerSource.value = "NoSuchLine";  // names no entry: its integer value 0 is written
  auto* triggerSelector = dynamic_cast<GenApi::IEnumeration*>(map->GetNode("TriggerSelector"));
  triggerSelector->FromString("LineStart");
  dynamic_cast<GenApi::IEnumeration*>(map->GetNode("TriggerSource"))->FromString("Line2");
  set.ApplyParameter(*map, "LineStart_TriggerSource");
  EXPECT_STREQ(dynamic_cast<GenApi::IEnumeration*>(map->GetNode("TriggerSource"))->ToString().c_str(), "Line1");

  gLog.clear();
  set.ApplyParameter(*map, "LineStatusAll");
  EXPECT_THAT(Log(), ::testing::HasSubstr("CameraParameters::ApplyParameter: Skipped 'LineStatusAll' read-only parameter\n"));
  set.ApplyParameter(*map, "Width");
  EXPECT_THAT(Log(), ::testing::HasSubstr("CameraParameters::ApplyParameter: Parameter 'Width' doesn't have node name, skipped\n"));

  Virtual::SetNodeFailure(0, "Gamma", "gamma unit broken");
  set.ApplyParameter(*map, "Gamma");
  EXPECT_THAT(Log(), ::testing::HasSubstr(
                         "CameraParameters::ApplyParameter: Skipped 'Gamma' due to error: gamma unit broken\n"));
  Virtual::SetNodeFailure(0, "Gamma", nullptr);

  gain->SetValue(700);  // Tap2, where the selector stands now
  selector->FromString("All");
  set.UpdateParameters(*map);
  EXPECT_EQ(set.GetValue<int64_t>("Tap2_GainRaw"), 700);
  EXPECT_EQ(set.GetValue<int64_t>("Tap1_GainRaw"), 300);
  EXPECT_EQ(set.Get("Tap2_GainRaw").maxval<int64_t>(), 1023);
}

TEST_F(NodeMapParameters, MirroredValuesRoundTripThroughTheIniFile) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "korvex-nodemap-roundtrip.ini";
  std::filesystem::remove(file);
  {
    CameraParameters set(descriptor);
    set.CreateParametersFromNodes(*map);
    set.SetParameter("ExposureTimeAbs", 123.25);
    set.SetValue("DeviceUserID", std::string("line 4 left"));
    set.SetValue("FrameStart_TriggerMode", std::string("On"));
    set.Save(file.string());
  }
  CameraParameters reopened(descriptor);
  reopened.Load(file.string());  // before the mirrored parameters exist: only the fixed ones
  reopened.CreateParametersFromNodes(*map);
  reopened.Load(file.string());
  EXPECT_EQ(reopened.GetValue<double>("ExposureTimeAbs"), 123.25);
  reopened.ApplyParameters(*map);
  EXPECT_EQ(dynamic_cast<GenApi::IFloat*>(map->GetNode("ExposureTimeAbs"))->GetValue(), 123.25);
  EXPECT_STREQ(dynamic_cast<GenApi::IString*>(map->GetNode("DeviceUserID"))->GetValue().c_str(), "line 4 left");
  auto* selector = dynamic_cast<GenApi::IEnumeration*>(map->GetNode("TriggerSelector"));
  selector->FromString("FrameStart");
  EXPECT_STREQ(dynamic_cast<GenApi::IEnumeration*>(map->GetNode("TriggerMode"))->ToString().c_str(), "On");
  std::filesystem::remove(file);
}

TEST_F(NodeMapParameters, BoundsComeFromTheCamera) {
  CameraParameters set(descriptor);
  set.SetBoundaryValues(mono->Width.Node(), mono->Height.Node(), mono->OffsetX.Node());
  EXPECT_EQ(set.Get("Width").maxval<int>(), 2048);
  EXPECT_EQ(set.Get("Height").maxval<int>(), 8191) << "the camera's maximum minus 1";
  EXPECT_EQ(set.Get("OffsetX").maxval<int>(), 0) << "the sensor is taken by the full width";
}

}  // namespace

// Geometry validation: the camera's limits, the line-counter rules and each message with its numbers.

#include <gtest/gtest.h>

#include "parameters/CameraParameters.h"

namespace {

// The three integer features the validation reads from a camera.
class FakeInteger : public GenApi::IInteger {
 public:
  FakeInteger(int64_t min, int64_t max) : mMin(min), mMax(max) {}
  int64_t GetValue(bool, bool) override { return mMin; }
  void SetValue(int64_t, bool) override {}
  int64_t GetMin() override { return mMin; }
  int64_t GetMax() override { return mMax; }
  int64_t GetInc() override { return 1; }
  GenApi::ERepresentation GetRepresentation() override { return GenApi::Linear; }
  GenICam::gcstring GetName(bool) const override { return "Fake"; }
  GenICam::gcstring GetDescription() const override { return ""; }
  GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }
  GenICam::gcstring ToString(bool, bool) override { return ""; }
  void FromString(const GenICam::gcstring&, bool) override {}

 private:
  int64_t mMin, mMax;
};

CameraDescriptor Camera(int kind) {
  CameraDescriptor descriptor;
  descriptor.kindFlags = kind | CameraDescriptor::kListed;
  descriptor.name = "raL4096-24gm";
  return descriptor;
}

class Validation : public ::testing::Test {
 protected:
  Validation() : set(Camera(CameraDescriptor::kMonochrome)) {}
  void Bound(int64_t widthMax = 4096, int64_t heightMax = 4096, int64_t offsetMax = 4080) {
    FakeInteger width(16, widthMax), height(1, heightMax), offset(0, offsetMax);
    set.SetBoundaryValues(width, height, offset);
  }
  void LineMode(int height, int resolution, int overlap) {
    set.SetParameter("LineGrabbingMode", true);
    set.SetParameter("Height", height);
    set.SetParameter("LineCounterResolution", resolution);
    set.SetParameter("OverlappedLines", overlap);
  }
  std::string Message() {
    std::string message = "untouched";
    valid = set.Validate(message);
    return message;
  }

  CameraParameters set;
  bool valid = false;
};

TEST_F(Validation, FrameModeDefaultsAreValidAndSwitchLineCounterParametersOff) {
  Bound();
  EXPECT_EQ(set.Get("Height").maxval<int>(), 4095) << "camera maximum minus 1";
  EXPECT_EQ(set.Get("Width").minval<int>(), 16);
  EXPECT_EQ(Message(), "untouched");
  EXPECT_TRUE(valid);
  for (const char* key : {"LineCounterResolution", "ConveyorTimeout", "Delay", "EjectorControl", "EjectorInverted",
                          "EjectorSetAll", "EjectorStaticMode", "EjectorStaticCommand", "LUTtable", "LUTtableRow",
                          "Decimation"}) {
    EXPECT_FALSE(set.Get(key).enabled) << key;
  }
  EXPECT_TRUE(set.Get("EjectorDeviceNumber").enabled);
  EXPECT_EQ(set.Get("OverlappedLines").maxval<int>(), 512);
  EXPECT_EQ(set.Get("Delay").description, "chunks (1 lines each)");
}

TEST_F(Validation, LinesPerTriggerMustDivideHeightAndOverlap) {
  Bound();
  LineMode(1000, 100, 50);
  EXPECT_EQ(Message(), "General: Lines per Trigger: must be a multiple of: height+overlap=1050");
  EXPECT_FALSE(valid);

  LineMode(1000, 300, 200);
  EXPECT_EQ(Message(), "General: Lines per Trigger: must be a multiple of both height=1000 and overlap=200");

  LineMode(1000, 0, 0);
  EXPECT_EQ(Message(), "General: Lines per Trigger: must be a multiple of: height+overlap=1000") << "N below 1";
}

TEST_F(Validation, LineModeDerivesResolutionAndDelayBounds) {
  set.SetParameter("Width", 2048);
  Bound();
  LineMode(1000, 200, 200);
  EXPECT_EQ(Message(), "untouched");
  EXPECT_TRUE(valid);
  EXPECT_EQ(set.Get("LineCounterResolution").minval<int>(), 1);
  EXPECT_EQ(set.Get("LineCounterResolution").maxval<int>(), 1000);
  EXPECT_EQ(set.GetMaxLines(), 92285);
  EXPECT_EQ(set.Get("Delay").maxval<int>(), 461);
  EXPECT_EQ(set.Get("Delay").description, "chunks (200 lines each)");
  EXPECT_TRUE(set.Get("EjectorControl").enabled);

  LineMode(25000, 1000, 0);
  Message();
  EXPECT_EQ(set.Get("LineCounterResolution").minval<int>(), 2);
}

TEST_F(Validation, HeightIsTestedAgainstTheLargestImage) {
  CameraParameters colour(Camera(CameraDescriptor::kColour));
  FakeInteger width(16, 8192), height(1, 100000), offset(0, 8000);
  colour.SetBoundaryValues(width, height, offset);
  colour.SetParameter("Width", 4096);
  colour.SetParameter("LineGrabbingMode", true);
  colour.SetParameter("Height", 16000);
  colour.SetParameter("LineCounterResolution", 100);
  EXPECT_EQ(colour.GetMaxLines(), 15380);
  std::string message;
  EXPECT_FALSE(colour.Validate(message));
  EXPECT_EQ(message, "General: Height is out of range [0..15380]");

  Bound();
  set.SetParameter("Height", 4096);  // frame mode: above the bound set from the camera
  EXPECT_EQ(Message(), "General: Height is out of range [0..4095]");
  set.SetParameter("Height", 0);
  EXPECT_EQ(Message(), "General: Height is out of range [0..4095]");
}

TEST_F(Validation, OutOfRangeNamesTheLabelAndTheRange) {
  Bound();
  set.SetParameter("Width", 5000);
  EXPECT_EQ(Message(), "General: Width: out of range [16..4096]");

  set.SetParameter("Width", 512);
  set.SetParameter("OffsetX", 5000);
  EXPECT_EQ(Message(), "General: Offset: out of range [0..4080]") << "the friendly name is the label";

  set.SetParameter("OffsetX", 0);
  set.SetParameter("Decimation", 99);  // disabled while decimation is off: not reported
  EXPECT_EQ(Message(), "untouched");
  set.SetParameter("UseDecimation", true);
  EXPECT_EQ(Message(), "General: Decimation value: out of range [0..10]");

  set.SetParameter("Decimation", 0);
  set.Add(std::make_unique<Param<int>>("Camera", "GainRaw", 4, 1, 100, 2));
  EXPECT_EQ(Message(), "Camera: GainRaw: must be multiple of 2") << "a parameter without a friendly name";
}

}  // namespace

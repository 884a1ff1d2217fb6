// The driver's fixed parameter set, typed access by key, and the .ini file it is stored in.

#include "parameters/CameraParameters.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "os/PrivateProfile.h"

namespace {

std::string Ini(const std::filesystem::path& file, const char* section, const char* key) {
  char buffer[256];
  os::GetPrivateProfileString(section, key, "<missing>", buffer, sizeof buffer, file.string().c_str());
  return buffer;
}

CameraDescriptor Descriptor(const char* name, int flags = CameraDescriptor::kMonochrome | CameraDescriptor::kListed) {
  CameraDescriptor descriptor;
  descriptor.kindFlags = flags;
  descriptor.name = name;
  return descriptor;
}

class CameraParametersFile : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                (std::string("korvex-params-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    file = directory / "Korvex.ini";
  }
  void TearDown() override { std::filesystem::remove_all(directory); }

  std::filesystem::path directory;
  std::filesystem::path file;
};

TEST(CameraParametersSet, HoldsTheTwentySixFixedParametersInOrder) {
  const CameraParameters set;
  std::vector<std::string> keys;
  for (const Param_& p : set) keys.push_back(p.name);
  EXPECT_EQ(keys, (std::vector<std::string>{
                      "Width", "Height", "OffsetX", "OverlappedLines", "UseDecimation", "Decimation", "UseBGR",
                      "Use LUTtable", "LUTtable", "LUTtableRow", "LogLevel", "LogIntoFile", "DebugViewOutput",
                      "EmbedTimeStamp", "InhibitPylonTerminate", "AdvantechLibrary", "LineGrabbingMode",
                      "LineCounterResolution", "ConveyorTimeout", "Delay", "EjectorControl", "EjectorInverted",
                      "EjectorSetAll", "EjectorStaticMode", "EjectorStaticCommand", "EjectorDeviceNumber"}));
}

TEST(CameraParametersSet, FixedParametersCarryTheirTypesBoundsAndFlags) {
  CameraParameters set;
  auto& height = dynamic_cast<Param<int>&>(set.Get("Height"));
  EXPECT_EQ(height.value, 512);
  EXPECT_EQ(height.min, 1);
  EXPECT_EQ(height.max, 4095);
  EXPECT_EQ(height.increment, 0);
  EXPECT_EQ(height.group, "General");
  EXPECT_EQ(set.Get("OffsetX").get_option<std::string>("FriendlyName"), "Offset");
  EXPECT_EQ(set.Get("LogLevel").description, "Set logging message intensity [0..3]");
  EXPECT_TRUE(set.Get("LogLevel").global);

  const Param_& logIntoFile = set.Get("LogIntoFile");
  EXPECT_TRUE(logIntoFile.global);
  EXPECT_FALSE(logIntoFile.persistent);
  const Param_& debugView = set.Get("DebugViewOutput");
  EXPECT_TRUE(debugView.global && debugView.persistent && !debugView.visible);
  EXPECT_FALSE(debugView.has_option("FriendlyName"));
  const Param_& stamp = set.Get("EmbedTimeStamp");
  EXPECT_TRUE(stamp.global && !stamp.persistent && !stamp.visible);
  EXPECT_TRUE(set.GetInhibitPylonTerminate());

  auto& library = dynamic_cast<ParamEnum&>(set.Get("AdvantechLibrary"));
  EXPECT_EQ(library.value, "Adsapi");
  EXPECT_EQ(library.entries, (std::vector<std::string>{"Adsapi", "BioDAQ"}));
  EXPECT_EQ(library.entry_values, (std::vector<int64_t>{0, 1}));
  EXPECT_EQ(library.description, "Select Advantech library, which one do you want to use.");

  auto& resolution = dynamic_cast<Param<int>&>(set.Get("LineCounterResolution"));
  EXPECT_EQ(resolution.group, "Line Counter");
  EXPECT_EQ(resolution.get_option<std::string>("FriendlyName"), "Lines per trigger");
  EXPECT_EQ(set.Get("EjectorStaticCommand").val<std::string>(), "FFFFFFFF");
  EXPECT_TRUE(set.Get("EjectorSetAll").val<bool>());
  EXPECT_EQ(set.Get("EjectorDeviceNumber").maxval<int>(), 7);
  EXPECT_EQ(set.GetConveyorTimeout(), 100);
}

TEST(CameraParametersSet, LookupsByKeyReportWhatIsWrong) {
  CameraParameters set;
  try {
    set.Get("EjectorLine");
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "CameraParameters::Get: Parameter 'EjectorLine' does not exist");
  }
  try {
    set.GetParam("width");
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "CameraParameters::GetParam: Parameter 'width' does not exist") << "keys are case-sensitive";
  }
  try {
    set.GetParameter<int>("UseBGR");
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Camera::GetParameter: Parameter 'UseBGR' accessed by wrong type");
  }
  try {
    set.GetParameter<int>("Nothing");
    FAIL();
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "Camera::GetParameter: Parameter 'Nothing' does not exist");
  }
  try {
    set.SetParameter("Nothing", 1);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Camera::SetParameter: Parameter 'Nothing' not found");
  }
  try {
    set.SetParameter("Width", 1.5);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Camera::SetParameter: Parameter 'Width' accessed by wrong type");
  }
  EXPECT_THROW(set.Get(static_cast<const char*>(nullptr)), std::runtime_error);

  set.SetParameter("Height", 5000);
  EXPECT_EQ(set.GetValue<int>("Height"), 5000) << "no clamping";
  set.SetParameter("LineGrabbingMode", true);
  set.SetParameter("LineCounterResolution", 50);
  EXPECT_EQ(set.GetBufferLines(), 50);
  set.SetParameter("LineGrabbingMode", false);
  EXPECT_EQ(set.GetBufferLines(), 5000);
}

TEST(CameraParametersSet, AddKeepsTheFirstOfANameAndAssignReplacesEverything) {
  CameraParameters target(Descriptor("raL2048-48gm"));
  EXPECT_FALSE(target.Add(std::make_unique<Param<int>>("General", "Width", 99, 0, 100, 0)));
  EXPECT_EQ(target.GetValue<int>("Width"), 512);
  EXPECT_TRUE(target.Add(std::make_unique<Param<double>>("Camera", "ExposureTimeAbs", 35.0, 10.0, 1000.0, 0.0)));
  EXPECT_EQ(target.size(), 27u);

  CameraParameters source(Descriptor("ruL1024-57gc", CameraDescriptor::kColour | CameraDescriptor::kListed));
  source.SetParameter("Width", 1024);
  source.Add(std::make_unique<Param<int>>("Camera", "GainRaw", 3, 0, 10, 1));
  target.Assign(source);
  EXPECT_FALSE(target.Has("ExposureTimeAbs")) << "a parameter only the target had is gone";
  EXPECT_TRUE(target.Has("GainRaw"));
  EXPECT_EQ(target.GetValue<int>("Width"), 1024);
  EXPECT_EQ(target.GetDescriptor().name, "ruL1024-57gc");
  EXPECT_EQ(target.GetDescriptor().kindFlags, CameraDescriptor::kColour | CameraDescriptor::kListed);
  source.SetParameter("Width", 7);
  EXPECT_EQ(target.GetValue<int>("Width"), 1024) << "clones, not shared objects";

  const CameraParameters copy(target);
  EXPECT_EQ(copy.size(), 27u);
  EXPECT_EQ(copy.GetValue<int>("GainRaw"), 3);
  auto it = copy.begin();
  std::advance(it, 26);
  EXPECT_EQ(it->name, "GainRaw") << "the source's order";
}

TEST_F(CameraParametersFile, SaveWritesEachKeyToItsSection) {
  CameraParameters set(Descriptor("raL2048-48gm"));
  EXPECT_TRUE(set.Load(file.string())) << "no file: defaults stay";
  EXPECT_EQ(set.GetValue<int>("Width"), 512);
  ASSERT_TRUE(set.Save(file.string()));

  EXPECT_EQ(Ini(file, "raL2048-48gm", "Width"), "512");
  EXPECT_EQ(Ini(file, "raL2048-48gm", "Use LUTtable"), "0");
  EXPECT_EQ(Ini(file, "raL2048-48gm", "EjectorStaticCommand"), "FFFFFFFF");
  EXPECT_EQ(Ini(file, "General", "LogLevel"), "1");
  EXPECT_EQ(Ini(file, "General", "DebugViewOutput"), "0");
  EXPECT_EQ(Ini(file, "General", "InhibitPylonTerminate"), "1");
  EXPECT_EQ(Ini(file, "General", "AdvantechLibrary"), "Adsapi");
  for (const char* never : {"LogIntoFile", "EmbedTimeStamp"}) {
    EXPECT_EQ(Ini(file, "General", never), "<missing>") << never;
    EXPECT_EQ(Ini(file, "raL2048-48gm", never), "<missing>") << never;
  }
  EXPECT_EQ(Ini(file, "raL2048-48gm", "LogLevel"), "<missing>") << "driver-wide keys live in General only";
}

TEST_F(CameraParametersFile, LoadTakesStoredTextsAsTheyParse) {
  std::ofstream(file) << "[raL2048-48gm]\nWidth=abc\nHeight=1000\nUseBGR=1\nLUTtable=" << std::string(300, 'x')
                      << "\nUnknownKey=5\n[General]\nAdvantechLibrary=BioDAQ\nLogIntoFile=1\n";
  CameraParameters set(Descriptor("raL2048-48gm"));
  set.Load(file.string());
  EXPECT_EQ(set.GetValue<int>("Width"), 0);
  EXPECT_EQ(set.GetValue<int>("Height"), 1000);
  EXPECT_TRUE(set.GetUseBGR());
  EXPECT_EQ(set.GetValue<std::string>("LUTtable").size(), 255u) << "values are cut to 255 characters";
  EXPECT_EQ(set.GetValue<int>("AdvantechLibrary"), 1);
  EXPECT_FALSE(set.GetLogIntoFile()) << "not persistent: never read";

  std::ofstream(file) << "[General]\nAdvantechLibrary=Comedi\n";
  set.Load(file.string());
  EXPECT_EQ(set.GetValue<std::string>("AdvantechLibrary"), "Comedi");
  EXPECT_FALSE(set.Get("AdvantechLibrary").in_range());
  EXPECT_EQ(set.GetValue<int>("AdvantechLibrary"), 0);
}

TEST_F(CameraParametersFile, DisabledParametersAreNeitherLoadedNorSaved) {
  std::ofstream(file) << "[raL2048-48gm]\nLUTtable=old.csv\nDecimation=3\n";
  CameraParameters set(Descriptor("raL2048-48gm"));
  set.Get("LUTtable").enabled = false;
  set.Get("Decimation").enabled = false;
  set.Load(file.string());
  EXPECT_EQ(set.GetValue<std::string>("LUTtable"), "");
  EXPECT_EQ(set.GetValue<int>("Decimation"), 0);
  set.SetValue("LUTtable", std::string("new.csv"));
  set.Save(file.string());
  EXPECT_EQ(Ini(file, "raL2048-48gm", "LUTtable"), "old.csv") << "the file keeps its old entry";
  EXPECT_EQ(Ini(file, "raL2048-48gm", "Decimation"), "3");
}

TEST_F(CameraParametersFile, TwoCamerasShareTheDriverWideSection) {
  CameraParameters first(Descriptor("raL2048-48gm"));
  CameraParameters second(Descriptor("ruL1024-57gc"));
  first.SetParameter("Width", 2000);
  second.SetParameter("Width", 1000);
  first.Save(file.string());
  second.SetParameter("LogLevel", 3);
  second.Save(file.string());

  EXPECT_EQ(Ini(file, "raL2048-48gm", "Width"), "2000");
  EXPECT_EQ(Ini(file, "ruL1024-57gc", "Width"), "1000");
  EXPECT_EQ(Ini(file, "General", "LogLevel"), "3");
  CameraParameters reloaded(Descriptor("raL2048-48gm"));
  reloaded.Load(file.string());
  EXPECT_EQ(reloaded.GetValue<int>("LogLevel"), 3) << "the second camera's save set it for both";
  EXPECT_EQ(reloaded.GetValue<int>("Width"), 2000);
}

}  // namespace

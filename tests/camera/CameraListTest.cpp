// The camera list: which devices become cameras, in which order, and how they are found.

#include "camera/CameraList.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "camera/Camera.h"
#include "driver/DriverState.h"

namespace {

std::vector<std::string> gLog;
void Record(const char* text) { gLog.emplace_back(text); }

std::string Logged() {
  std::string all;
  for (const std::string& line : gLog) all += line;
  return all;
}

TEST(CameraList, KeepsOnlyRecognisedLineScanModelsInEnumerationOrder) {
  const std::string file = ::testing::TempDir() + "korvex-list-network.ini";
  std::ofstream(file) << "[a]\nFullName=Basler acA1300-30gm#4\nFriendlyName=Area\n"
                      << "[b]\nFullName=Basler ruL2098-10gc#2\nFriendlyName=Colour camera\nColor=1\n"
                      << "[c]\nFullName=Basler raL2048-gm48gm#5\nFriendlyName=Odd\n"
                      << "[d]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono camera\n"
                      << "[e]\nFullName=Basler raL2048-48xx#3\nFriendlyName=Partial\n"
                      << "[f]\nFullName=basler raL2048-48gm#6\nFriendlyName=Lower case maker\n";
  setenv("KORVEX_CAMERAS", file.c_str(), 1);
  DriverState::Get().SetDebugMessageProc(&Record);

  CameraList* list = CameraList::GetInstance();
  ASSERT_TRUE(list->Init());
  ASSERT_EQ(list->GetCount(), 2);
  EXPECT_EQ((*list)[0]->GetName(), "Colour camera");
  EXPECT_EQ((*list)[0]->GetDescriptor().kindFlags, 2 | 16);
  EXPECT_EQ((*list)[0]->GetBitsPerPixel(), 24);
  EXPECT_EQ((*list)[1]->GetName(), "Mono camera");
  EXPECT_EQ((*list)[1]->GetDescriptor().kindFlags, 1 | 16);
  EXPECT_EQ((*list)[1]->GetParameters().GetDescriptor().name, "Mono camera") << "the camera's .ini section";

  const std::string log = Logged();
  EXPECT_THAT(log, ::testing::HasSubstr("CameraList::Init: WARNING: skips not supported camera: Basler acA1300-30gm#4\n"));
  EXPECT_THAT(log, ::testing::HasSubstr(
                       "CameraList::Init: Error: skipping partially recognized camera name: Basler raL2048-gm48gm#5\n"));
  EXPECT_THAT(log, ::testing::HasSubstr(
                       "CameraList::Init: Error: skipping partially recognized camera name: Basler raL2048-48xx#3\n"));
  EXPECT_THAT(log, ::testing::HasSubstr("CameraList::Init: WARNING: skips not supported camera: basler raL2048-48gm#6\n"));

  EXPECT_TRUE(list->IsCameraAvailable("Mono camera"));
  EXPECT_FALSE(list->IsCameraAvailable("mono camera")) << "names match exactly";
  EXPECT_FALSE(list->IsCameraAvailable(nullptr));
  EXPECT_EQ(list->GetByName("Mono camera"), (*list)[1]);
  EXPECT_THROW(list->GetByName("Nothing"), const char*);
  EXPECT_THROW(list->GetByPort(0), const char*) << "no camera holds a port before it is opened";
  EXPECT_THROW((*list)[2], const char*);

  // Enumerating again (an initialize after one that failed) lists every camera once.
  ASSERT_TRUE(list->Init());
  EXPECT_EQ(list->GetCount(), 2);

  char** first = list->GetNameArray();
  char** second = list->GetNameArray();
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second[0], "Colour camera");
  EXPECT_STREQ(second[1], "Mono camera");
  EXPECT_EQ(second[2], nullptr);
  EXPECT_EQ(first, second) << "one array for the list's life: a host thread may still walk the first";

  CameraList::DestroyInstance();
  EXPECT_EQ(CameraList::PeekInstance(), nullptr);
  EXPECT_EQ(CameraList::GetInstance()->GetCount(), 0) << "a new, empty list";
  CameraList::DestroyInstance();
  DriverState::Get().SetDebugMessageProc(nullptr);
  unsetenv("KORVEX_CAMERAS");
}

}  // namespace

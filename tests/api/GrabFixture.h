#pragma once
// A host with the driver loaded and two virtual cameras with the ramp pattern, so that pixel values
// prove which line arrived where: "Mono" (2048 pixels) and "Colour" (2098 pixels, RGB). Both make
// frames only on request unless a test rewrites the network.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "DriverLibrary.h"

class GrabFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Completed() = 0;
    HostLog::Calls().clear();
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("korvex-grab-") + test->test_suite_name() + "-" + test->name();
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    systemPath = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(systemPath);
    std::filesystem::create_directories(systemPath);
    Network("FreeRunning=0\n", "FreeRunning=0\n");
    setenv("KORVEX_CAMERAS", (systemPath / "network.ini").string().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("KORVEX_CAMERAS");
    std::filesystem::remove_all(systemPath);
  }
  // The virtual network, with extra keys for each camera; read at initialize.
  void Network(const std::string& mono, const std::string& colour) {
    std::ofstream(systemPath / "network.ini")
        << "[mono]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono\nPattern=ramp\n" << mono
        << "[colour]\nFullName=Basler ruL2098-10gc#2\nFriendlyName=Colour\nColor=1\nSensorWidth=2098\nPattern=ramp\n"
        << colour;
  }
  // Settings for a camera section of Korvex.ini, written before initialize.
  void Settings(const std::string& section, const std::string& lines) {
    std::ofstream(systemPath / "Korvex.ini", std::ios::app) << "[" << section << "]\n" << lines;
  }

  DriverLibrary driver;
  DebugOutputFile debugOutput;
  std::filesystem::path systemPath;

 public:
  // Completion callbacks seen since SetUp, on any port.
  static std::atomic<int>& Completed() {
    static std::atomic<int> count{0};
    return count;
  }
  static void OnComplete(int, int) { ++Completed(); }
  static bool WaitFor(const std::atomic<int>& count, int atLeast, int ms = 2000) {
    for (int i = 0; i < ms / 5 && count < atLeast; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return count >= atLeast;
  }
  static bool WaitForCallbacks(int count) { return WaitFor(Completed(), count); }
};

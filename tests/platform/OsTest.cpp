// The kernel services the driver's threads rely on.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "os/AutoResetEvent.h"
#include "os/CriticalSection.h"
#include "os/DebugOutput.h"
#include "os/DynamicLibrary.h"
#include "os/Thread.h"
#include "os/Time.h"

namespace {

TEST(AutoResetEvent, ASetWithNobodyWaitingIsKeptForOneWait) {
  os::AutoResetEvent event;
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  event.Set();  // setting twice is still one wake
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(10)) << "reset itself after releasing one wait";
  event.Set();
  event.Reset();
  EXPECT_FALSE(event.Wait(0));
}

TEST(AutoResetEvent, ReleasesOneWaiterPerSet) {
  os::AutoResetEvent event;
  std::atomic<int> woken{0};
  os::Thread first, second;
  auto waiter = [&] {
    if (event.Wait(2000)) ++woken;
  };
  ASSERT_TRUE(first.Start("first", waiter));
  ASSERT_TRUE(second.Start("second", waiter));
  event.Set();
  for (int i = 0; i < 200 && woken < 1; ++i) os::Sleep(5);
  EXPECT_EQ(woken, 1);
  event.Set();
  first.Join();
  second.Join();
  EXPECT_EQ(woken, 2);
}

TEST(AutoResetEvent, WaitTimesOutAfterRoughlyItsTime) {
  os::AutoResetEvent event;
  const int64_t start = os::ClockMs();
  EXPECT_FALSE(event.Wait(50));
  EXPECT_GE(os::ClockMs() - start, 50);
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
  os::CriticalSection section;
  os::Lock outer(section);
  {
    os::Lock inner(section);  // the same thread may take it again
  }
  std::atomic<bool> otherGotIt{true};
  std::thread other([&] { otherGotIt = section.TryLock(); });
  other.join();
  EXPECT_FALSE(otherGotIt);
}

TEST(Thread, StartsOnceAndJoins) {
  os::Thread thread;
  std::atomic<int> runs{0};
  ASSERT_TRUE(thread.Start("body", [&] {
    ++runs;
    os::Sleep(20);
  }));
  EXPECT_FALSE(thread.Start("again", [&] { ++runs; })) << "one body at a time";
  thread.Join();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(runs, 1);
}

TEST(Clock, CountsWallTimeNotProcessorTime) {
  const int64_t start = os::ClockMs();
  os::Sleep(60);  // a sleeping process uses no processor time, yet the clock must move
  EXPECT_GE(os::ClockMs() - start, 60);
}

TEST(LocalTime, GivesACalendarDate) {
  const os::CalendarTime now = os::LocalTime();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
}

TEST(DebugOutput, GoesWhereTheEnvironmentSaysOrNowhere) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "korvex-os-debug-output.txt";
  std::filesystem::remove(file);
  unsetenv("KORVEX_DEBUG_OUTPUT");
  os::OutputDebugString("dropped\n");
  setenv("KORVEX_DEBUG_OUTPUT", file.string().c_str(), 1);
  os::OutputDebugString("kept ");
  os::OutputDebugString("and appended\n");
  os::OutputDebugString(nullptr);
  // Whether it goes anywhere is read when asked to, not on every log line's question.
  os::ReadDebugOutputTarget();
  EXPECT_TRUE(os::DebugOutputAttached());
  unsetenv("KORVEX_DEBUG_OUTPUT");
  EXPECT_TRUE(os::DebugOutputAttached());
  os::ReadDebugOutputTarget();
  EXPECT_FALSE(os::DebugOutputAttached());
  std::stringstream text;
  text << std::ifstream(file).rdbuf();
  EXPECT_EQ(text.str(), "kept and appended\n");
  std::filesystem::remove(file);
}

TEST(DynamicLibrary, LoadsResolvesAndReportsWhatIsMissing) {
  os::DynamicLibrary library;
  EXPECT_FALSE(library.Open("/nonexistent/libnothing.so"));
  EXPECT_FALSE(library.Error().empty());
  EXPECT_EQ(library.Symbol("anything"), nullptr);

  ASSERT_TRUE(library.Open(KORVEX_CAMERA_SDK_PATH)) << library.Error();
  EXPECT_NE(library.Symbol("_ZN5Pylon15PylonInitializeEv"), nullptr);
  EXPECT_EQ(library.Symbol("NoSuchSymbol"), nullptr);
  EXPECT_TRUE(std::filesystem::equivalent(os::ModuleDirectory(library.Symbol("_ZN5Pylon15PylonInitializeEv")),
                                          std::filesystem::path(KORVEX_CAMERA_SDK_PATH).parent_path()));
}

}  // namespace

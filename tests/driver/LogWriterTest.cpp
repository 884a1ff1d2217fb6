// The log writer: its three sinks and their gates, the line-feed rule, the time stamp and the
// lines kept back until the log file has a directory.

#include "driver/Log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/DriverState.h"

namespace {

std::atomic<int> gClockReads{0};
os::CalendarTime gFixedTime{2026, 12, 8, 20, 5, 9};

os::CalendarTime CountingClock() {
  ++gClockReads;
  return gFixedTime;
}

std::vector<std::string> gProcCalls;  // only touched by the thread holding the log lock
void RecordingProc(const char* text) { gProcCalls.emplace_back(text); }

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class LogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DriverState& state = DriverState::Get();
    state.logLevel = 1;
    state.debugOutputLevel = 3;
    state.SetLogIntoFile(false);
    state.SetDebugMessageProc(&RecordingProc);
    {
      os::Lock guard(state.logLock);
      state.systemPath.clear();
    }
    gProcCalls.clear();
    gClockReads = 0;
    gFixedTime = os::CalendarTime{2026, 12, 8, 20, 5, 9};
    LogWriter::SetTimeSource(&CountingClock);

    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    directory = std::filesystem::temp_directory_path() / (std::string("korvex-log-") + test->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    debugFile = directory / "debug.txt";
    setenv("KORVEX_DEBUG_OUTPUT", debugFile.string().c_str(), 1);
    os::ReadDebugOutputTarget();
  }

  void TearDown() override {
    unsetenv("KORVEX_DEBUG_OUTPUT");
    os::ReadDebugOutputTarget();
    LogWriter::SetTimeSource(nullptr);
    DriverState::Get().SetDebugMessageProc(nullptr);
    DriverState::Get().SetLogIntoFile(false);
    std::filesystem::remove_all(directory);
  }

  std::string LogFile() const { return ReadFile(directory / "korvex.log"); }

  std::filesystem::path directory;
  std::filesystem::path debugFile;
};

TEST_F(LogWriterTest, EachSinkHasItsOwnGate) {
  DriverState& state = DriverState::Get();
  state.SetSystemPath(directory.string().c_str());
  state.SetLogIntoFile(true);

  Log(2, "two\n");  // log level 1, debug output level 3: debug output only
  EXPECT_EQ(ReadFile(debugFile), "two\n");
  EXPECT_TRUE(gProcCalls.empty());
  EXPECT_EQ(LogFile(), "");
  EXPECT_EQ(gClockReads, 0) << "the time stamp is only made for the file and host sinks";

  Log(1, "one\n");
  EXPECT_EQ(ReadFile(debugFile), "two\none\n");
  EXPECT_EQ(gProcCalls, (std::vector<std::string>{"08/12/06 20:05:09: ", "one\n"}));
  EXPECT_EQ(LogFile(), "08/12/06 20:05:09: one\n");

  state.logLevel = 4;
  state.debugOutputLevel = 1;
  Log(4, "four\n");
  EXPECT_EQ(ReadFile(debugFile), "two\none\n");
  EXPECT_EQ(LogFile(), "08/12/06 20:05:09: one\n08/12/06 20:05:09: four\n");
  Log(5, "five\n");
  EXPECT_EQ(gProcCalls.size(), 4u);
}

TEST_F(LogWriterTest, SilencedSinksFormatNothingAndReadNoClock) {
  DriverState& state = DriverState::Get();
  state.logLevel = 0;
  state.debugOutputLevel = 0;
  state.SetLogIntoFile(true);
  Log(1, "%s\n", "never");
  EXPECT_EQ(gClockReads, 0);
  EXPECT_TRUE(gProcCalls.empty());
  EXPECT_FALSE(std::filesystem::exists(debugFile));
  EXPECT_EQ(LogWriter::PendingLineCount(), 0u);
}

TEST_F(LogWriterTest, LineFeedIsAddedOnlyWhereTheBufferLeavesRoom) {
  auto messageOf = [](std::size_t length, char last) {
    gProcCalls.clear();
    std::string text(length - 1, 'a');
    text += last;
    Log(1, "%s", text.c_str());
    return gProcCalls.at(1);
  };
  EXPECT_EQ(messageOf(1, 'z'), "z\n");
  EXPECT_EQ(messageOf(5, '\n'), "aaaa\n") << "not doubled";
  EXPECT_EQ(messageOf(1021, 'z').size(), 1022u);
  EXPECT_EQ(messageOf(1021, 'z').back(), '\n');
  EXPECT_EQ(messageOf(1022, 'z'), std::string(1021, 'a') + "z") << "no room left for a line feed";
  EXPECT_EQ(messageOf(1023, 'z'), std::string(1022, 'a') + "z");

  gProcCalls.clear();
  Log(1, "%s", "");
  EXPECT_EQ(gProcCalls.at(1), "") << "an empty message stays empty";
}

TEST_F(LogWriterTest, OverlongMessagesAreCutToTheBufferAndStillEndTheLine) {
  const std::string huge(5000, 'q');
  Log(1, "%s tail", huge.c_str());
  const std::string& message = gProcCalls.at(1);
  ASSERT_EQ(message.size(), LogWriter::kMessageBufferSize - 1);
  EXPECT_EQ(message.back(), '\n');
  EXPECT_EQ(message.substr(0, 1022), std::string(1022, 'q'));
}

TEST_F(LogWriterTest, TimeStampCarriesTheLastDigitOfTheYear) {
  gFixedTime = os::CalendarTime{2010, 1, 2, 3, 4, 5};
  Log(1, "x\n");
  gFixedTime = os::CalendarTime{2013, 11, 30, 23, 59, 58};
  Log(1, "y\n");
  ASSERT_EQ(gProcCalls.size(), 4u);
  EXPECT_EQ(gProcCalls[0], "02/01/00 03:04:05: ");
  EXPECT_EQ(gProcCalls[2], "30/11/03 23:59:58: ");
}

TEST_F(LogWriterTest, LinesWaitForASystemPathAndThenGoOutOldestFirst) {
  DriverState& state = DriverState::Get();
  state.SetLogIntoFile(true);
  Log(1, "first\n");
  Log(1, "second\n");
  EXPECT_EQ(LogWriter::PendingLineCount(), 2u);

  const std::filesystem::path missing = directory / "no" / "such" / "dir";
  state.SetSystemPath(missing.string().c_str());
  Log(1, "lost\n");
  EXPECT_EQ(LogWriter::PendingLineCount(), 2u) << "a file that cannot be opened keeps the pending lines";

  state.SetSystemPath(directory.string().c_str());
  Log(1, "third\n");
  EXPECT_EQ(LogWriter::PendingLineCount(), 0u);
  EXPECT_EQ(LogFile(), "08/12/06 20:05:09: first\n08/12/06 20:05:09: second\n08/12/06 20:05:09: third\n");
}

TEST_F(LogWriterTest, LinesFromManyThreadsNeverInterleave) {
  DriverState& state = DriverState::Get();
  state.SetSystemPath(directory.string().c_str());
  state.SetLogIntoFile(true);
  state.logLevel = 4;
  constexpr int kThreads = 4;
  constexpr int kLines = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) Log(3, "thread %d line %d %s", t, i, "with some text to widen the window");
    });
  }
  for (std::thread& thread : threads) thread.join();

  const std::regex fileLine(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: thread (\d) line (\d+) with some text to widen the window)");
  std::istringstream file(LogFile());
  std::vector<int> next(kThreads, 0);
  std::string line;
  int count = 0;
  while (std::getline(file, line)) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, fileLine)) << line;
    const int thread = std::stoi(match[1]);
    EXPECT_EQ(std::stoi(match[2]), next[thread]++) << "each thread's lines in its own order";
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);

  ASSERT_EQ(gProcCalls.size(), 2u * kThreads * kLines);
  for (std::size_t i = 0; i < gProcCalls.size(); i += 2) {
    EXPECT_EQ(gProcCalls[i], "08/12/06 20:05:09: ");
    EXPECT_THAT(gProcCalls[i + 1], ::testing::StartsWith("thread "));
  }
}

TEST_F(LogWriterTest, HostProcedureMayLogFromInsideItsOwnCall) {
  static int depth = 0;
  DriverState::Get().SetDebugMessageProc([](const char* text) {
    gProcCalls.emplace_back(text);
    if (depth++ == 0) Log(1, "inner\n");
  });
  Log(1, "outer\n");
  depth = 0;
  ASSERT_EQ(gProcCalls.size(), 4u);
  EXPECT_EQ(gProcCalls[1], "08/12/06 20:05:09: ");
  EXPECT_EQ(gProcCalls[2], "inner\n");
  EXPECT_EQ(gProcCalls[3], "outer\n") << "the outer line is not overwritten by the inner one";
}

}  // namespace

// The driver's grab wait thread and ejector thread under real-time scheduling, the host's own
// threads untouched, and a system that refuses it: one warning, and the ejector works on.

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "GrabFixture.h"
#include "camera_sdk/VirtualControl.h"
#include "card/VirtualCard.h"

namespace {

// Whether this thread may raise a thread of its own to real time.
bool MayUseRealTime() {
  int error = 0;
  std::thread probe([&] {
    sched_param parameter{};
    parameter.sched_priority = 1;
    error = sched_setscheduler(0, SCHED_FIFO, &parameter) == 0 ? 0 : errno;
  });
  probe.join();
  return error == 0;
}

// CAP_SYS_NICE in the calling thread's effective set; the threads it starts inherit that.
bool SetSysNice(bool on) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  if (on) {
    data[0].effective |= 1u << CAP_SYS_NICE;
  } else {
    data[0].effective &= ~(1u << CAP_SYS_NICE);
  }
  return syscall(SYS_capset, &header, data) == 0;
}

class RealTimeThreads : public GrabFixture {
 protected:
  void SetUp() override {
    GrabFixture::SetUp();
    unsetenv("KORVEX_DAQ");
    daq::ResetCards();
    Settings("Mono", "Width=16\nHeight=2\nLineGrabbingMode=1\nLineCounterResolution=2\nEjectorControl=1\n");
  }
  // Opens the ejector's camera and runs two counter steps, so that both threads have woken.
  void OpenAndStep() {
    int size[2] = {0, 0};
    ASSERT_EQ(driver.openCVLPort(0, 0, "Mono", size), 1) << HostLog::Messages();
    driver.setCompleteCallback(0, 0, &GrabFixture::OnComplete);
    driver.setProperty(0, 0, "continuous", 1);
    const int before = Completed();
    std::vector<unsigned char> row(16);
    for (int chunk = 0; chunk < 2; ++chunk) {
      ASSERT_EQ(Pylon::Virtual::ProduceFrames(0, 1), 1);
      ASSERT_TRUE(WaitForCallbacks(before + chunk + 1));
      for (int r = 0; r < size[1]; ++r) driver.getCVLGrabRow(0, 0, row.data(), r, 0, 15);
    }
    daq::VirtualCard* card = daq::FindCard(0);
    for (int i = 0; i < 400 && card->History().size() < 8; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(card->History().size(), 8u) << "the ejector wrote both lines";
  }
  // The system ids of the driver's two threads, from their first scheduling lines: the wait
  // thread's, then the ejector's.
  static std::vector<pid_t> DriverThreads() {
    std::vector<pid_t> ids;
    const std::string log = HostLog::Messages();
    for (const char* thread : {"CameraWaitThread::ThreadMain", "Ejector::ThreadMain"}) {
      const std::regex scheduled(std::string(thread) + ": scheduling: [^\n]*, thread (\\d+)");
      std::smatch found;
      if (std::regex_search(log, found, scheduled)) ids.push_back(static_cast<pid_t>(std::stol(found[1])));
    }
    return ids;
  }
  static int PriorityOf(pid_t thread) {
    if ((sched_getscheduler(thread) & ~SCHED_RESET_ON_FORK) != SCHED_FIFO) return 0;
    sched_param parameter{};
    sched_getparam(thread, &parameter);
    return parameter.sched_priority;
  }
};

TEST_F(RealTimeThreads, TheEjectorOutranksTheWaitThreadTheHostIsUntouchedAndTheSettingTurnsItOff) {
  if (!MayUseRealTime()) GTEST_SKIP() << "the system grants no real-time scheduling here";
  Settings("General", "LogLevel=2\n");
  ASSERT_EQ(driver.initialize(systemPath.c_str(), &HostLog::Proc), 1);
  OpenAndStep();
  const std::vector<pid_t> threads = DriverThreads();
  ASSERT_EQ(threads.size(), 2u) << HostLog::Messages();
  EXPECT_GT(PriorityOf(threads[0]), 0) << "the wait thread";
  EXPECT_GT(PriorityOf(threads[1]), PriorityOf(threads[0])) << "the ejector above the wait thread";
  EXPECT_EQ(sched_getscheduler(0), SCHED_OTHER) << "the host's thread";
  EXPECT_TRUE(HostLog::Contains("Ejector::Init: thread created:" + std::to_string(threads[1]) + "\n"))
      << "the thread's system id, as debuggers show it";
  driver.closeCVLPort(0, 0);

  // Off in the file: both threads are back to normal after the next open.
  {
    std::ifstream in(systemPath / "Korvex.ini");
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    file.replace(file.find("LogLevel=2\n"), 11, "LogLevel=2\nRealTimeThreads=0\n");
    std::ofstream(systemPath / "Korvex.ini") << file;
  }
  OpenAndStep();
  EXPECT_EQ(PriorityOf(threads[0]), 0);
  EXPECT_EQ(PriorityOf(threads[1]), 0);
  driver.closeCVLPort(0, 0);
  driver.finalize();
}

TEST_F(RealTimeThreads, ASystemThatRefusesItGetsOneWarningAndTheEjectorWorksOn) {
  // Without the privilege: no capability and no real-time allowance for this thread.
  rlimit rtprio{};
  ASSERT_EQ(getrlimit(RLIMIT_RTPRIO, &rtprio), 0);
  const rlimit none{0, rtprio.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_RTPRIO, &none), 0);
  const bool dropped = SetSysNice(false);
  ASSERT_EQ(driver.initialize(systemPath.c_str(), &HostLog::Proc), 1);
  OpenAndStep();
  const std::string warning = ": WARNING: the system refuses real-time scheduling (Operation not permitted); the "
                              "driver's threads run at normal priority.";
  const std::string log = HostLog::Messages();
  std::size_t count = 0;
  for (std::size_t at = log.find(warning); at != std::string::npos; at = log.find(warning, at + 1)) ++count;
  EXPECT_EQ(count, 1u) << log;
  driver.closeCVLPort(0, 0);
  driver.finalize();
  if (dropped) SetSysNice(true);
  setrlimit(RLIMIT_RTPRIO, &rtprio);
}

}  // namespace

// The liveness probe against a device stand-in on loopback: a socket on the GVCP port that
// answers reads (or stops answering), and a frame count standing for the stream.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "camera_sdk/aravis/LivenessProbe.h"

namespace {

using Pylon::Aravis::LivenessProbe;
using Clock = std::chrono::steady_clock;

// Loopback addresses of their own, one a test (ctest runs them side by side): no camera listens there.
const char* const kIdleDevice = "127.3.9.56";
const char* const kStreamingDevice = "127.3.9.57";

// Counts the reads it gets and answers them while `answering`.
class DeviceStandIn {
 public:
  explicit DeviceStandIn(const char* at) {
    mSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(3956);
    inet_pton(AF_INET, at, &address.sin_addr);
    bound = bind(mSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    timeval tick{0, 20000};
    setsockopt(mSocket, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick);
    mThread = std::thread([this] {
      while (!mStop) {
        unsigned char request[64];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = recvfrom(mSocket, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 12) continue;
        ++reads;
        const unsigned char ack[12] = {0, 0, 0, 0x81, 0, 4, request[6], request[7], 0, 0, 0, 0};
        if (answering) sendto(mSocket, ack, sizeof ack, 0, reinterpret_cast<const sockaddr*>(&from), length);
      }
    });
  }
  ~DeviceStandIn() {
    mStop = true;
    mThread.join();
    close(mSocket);
  }

  bool bound = false;
  std::atomic<bool> answering{true};
  std::atomic<int> reads{0};

 private:
  int mSocket = -1;
  std::atomic<bool> mStop{false};
  std::thread mThread;
};

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

bool WaitFor(const std::atomic<bool>& flag, double seconds) {
  const auto start = Clock::now();
  while (!flag && SecondsSince(start) < seconds) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return flag;
}

TEST(LivenessProbe, AnIdleDeviceIsAskedAndKeptWhileItAnswersAndGoneAfterThreeUnansweredReads) {
  DeviceStandIn device(kIdleDevice);
  ASSERT_TRUE(device.bound);
  std::atomic<uint64_t> frames{0};
  std::atomic<bool> gone{false};
  LivenessProbe probe(kIdleDevice, frames, [&] { gone = true; });
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_FALSE(gone);
  EXPECT_GE(device.reads, 3) << "about four reads a second";
  device.answering = false;
  const auto silent = Clock::now();
  ASSERT_TRUE(WaitFor(gone, 2.0));
  EXPECT_GT(SecondsSince(silent), 0.5);
  EXPECT_LT(SecondsSince(silent), 1.3);
}

TEST(LivenessProbe, AStreamingDeviceIsNotAskedAndOneSilentMidStreamIsGoneWithinASecond) {
  DeviceStandIn device(kStreamingDevice);
  ASSERT_TRUE(device.bound);
  device.answering = false;  // only the frames show it alive
  std::atomic<uint64_t> frames{0};
  std::atomic<bool> gone{false};
  LivenessProbe probe(kStreamingDevice, frames, [&] { gone = true; });
  const auto streaming = Clock::now();
  while (SecondsSince(streaming) < 1.2) {
    ++frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(gone);
  EXPECT_EQ(device.reads, 0) << "frames are the answer; nothing is sent while they come";
  const auto unplugged = Clock::now();
  ASSERT_TRUE(WaitFor(gone, 2.0));
  EXPECT_LT(SecondsSince(unplugged), 1.3) << "within a second, and some slack for a loaded machine";
}

}  // namespace

#include "LivenessProbe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

namespace Pylon {
namespace Aravis {

namespace {

constexpr uint16_t kGvcpPort = 3956;
constexpr uint32_t kControlChannelPrivilege = 0x0A00;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

LivenessProbe::LivenessProbe(const std::string& address, std::function<void()> onGone) : mOnGone(std::move(onGone)) {
  sockaddr_in device{};
  device.sin_family = AF_INET;
  device.sin_port = htons(kGvcpPort);
  mWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  mSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  // Without a socket or an address there is nothing to probe; Aravis's own heartbeat still watches.
  if (mWake < 0 || mSocket < 0 || inet_pton(AF_INET, address.c_str(), &device.sin_addr) != 1 ||
      connect(mSocket, reinterpret_cast<const sockaddr*>(&device), sizeof device) != 0) {
    return;
  }
  mThread = std::thread(&LivenessProbe::Run, this);
}

LivenessProbe::~LivenessProbe() {
  mStop = true;
  if (mWake >= 0) {
    const uint64_t one = 1;
    (void)!write(mWake, &one, sizeof one);
  }
  if (mThread.joinable()) mThread.join();
  if (mSocket >= 0) close(mSocket);
  if (mWake >= 0) close(mWake);
}

void LivenessProbe::Run() {
  int misses = 0;
  unsigned short requestId = 0;
  while (!mStop) {
    requestId = static_cast<unsigned short>(requestId == 0xFFFF ? 1 : requestId + 1);
    if (Answers(requestId)) {
      misses = 0;
    } else if (!mStop && ++misses >= kMisses) {
      mOnGone();
      return;
    }
  }
}

bool LivenessProbe::Answers(unsigned short requestId) {
  const int64_t deadline = NowMs() + kPeriodMs;
  // A READREG command asking for an acknowledgement: key 0x42, flags, command, length, request id, address.
  const uint8_t command[12] = {0x42, 0x01, 0x00, 0x80, 0x00, 0x04,
                               static_cast<uint8_t>(requestId >> 8), static_cast<uint8_t>(requestId & 0xFF),
                               static_cast<uint8_t>(kControlChannelPrivilege >> 24),
                               static_cast<uint8_t>(kControlChannelPrivilege >> 16),
                               static_cast<uint8_t>(kControlChannelPrivilege >> 8),
                               static_cast<uint8_t>(kControlChannelPrivilege & 0xFF)};
  const bool sent = send(mSocket, command, sizeof command, 0) == static_cast<ssize_t>(sizeof command);
  bool answered = false;
  for (int64_t left = deadline - NowMs(); left > 0 && !mStop; left = deadline - NowMs()) {
    pollfd waits[2] = {{mSocket, POLLIN, 0}, {mWake, POLLIN, 0}};
    if (poll(waits, 2, static_cast<int>(left)) <= 0) continue;
    if (waits[1].revents != 0) return false;
    uint8_t reply[64];
    // A refused port (the device's process or stack is gone) reads as an error: no answer.
    const ssize_t got = recv(mSocket, reply, sizeof reply, 0);
    if (got >= 8 && sent) answered = true;
    // The rest of the period is waited out either way, so that a refusal does not spin.
  }
  return answered;
}

}  // namespace Aravis
}  // namespace Pylon

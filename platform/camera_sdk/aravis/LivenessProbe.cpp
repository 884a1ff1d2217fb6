#include "LivenessProbe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace Pylon {
namespace Aravis {

namespace {

constexpr uint16_t kGvcpPort = 3956;
constexpr uint32_t kControlChannelPrivilege = 0x0A00;

}  // namespace

LivenessProbe::LivenessProbe(const std::string& address, const std::atomic<uint64_t>& frames,
                             std::function<void()> onGone)
    : mFrames(frames), mOnGone(std::move(onGone)) {
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
  mThread.Start("korvex-probe", [this] { Run(); });
}

LivenessProbe::~LivenessProbe() {
  mStop = true;
  if (mWake >= 0) {
    const uint64_t one = 1;
    (void)!write(mWake, &one, sizeof one);
  }
  mThread.Join();
  if (mSocket >= 0) close(mSocket);
  if (mWake >= 0) close(mWake);
}

void LivenessProbe::Run() {
  // One wake-up a period: the answer to the read sent at the last one is looked for now, without
  // waking for it when it came.
  int misses = 0;
  unsigned short requestId = 0;
  bool sent = false;
  bool streamed = false;
  uint64_t framesSeen = mFrames.load(std::memory_order_relaxed);
  while (WaitOnePeriod()) {
    const uint64_t frames = mFrames.load(std::memory_order_relaxed);
    const bool streamedNow = frames != framesSeen;
    framesSeen = frames;
    if (streamedNow) {
      misses = 0;  // the frames are the answer
    } else {
      // Looked at also when nothing was asked, so that a late answer never counts for a later read.
      const bool answered = Answered();
      if (sent && answered) {
        misses = 0;
      } else if ((sent || streamed) && ++misses >= kMisses) {
        mOnGone();
        return;
      }
    }
    streamed = streamedNow;
    sent = false;
    if (streamedNow) continue;
    requestId = static_cast<unsigned short>(requestId == 0xFFFF ? 1 : requestId + 1);
    sent = Send(requestId);
  }
}

bool LivenessProbe::WaitOnePeriod() {
  pollfd wake = {mWake, POLLIN, 0};
  return poll(&wake, 1, kPeriodMs) == 0 && !mStop;
}

bool LivenessProbe::Send(unsigned short requestId) {
  // A READREG command asking for an acknowledgement: key 0x42, flags, command, length, request id, address.
  const uint8_t command[12] = {0x42, 0x01, 0x00, 0x80, 0x00, 0x04,
                               static_cast<uint8_t>(requestId >> 8), static_cast<uint8_t>(requestId & 0xFF),
                               static_cast<uint8_t>(kControlChannelPrivilege >> 24),
                               static_cast<uint8_t>(kControlChannelPrivilege >> 16),
                               static_cast<uint8_t>(kControlChannelPrivilege >> 8),
                               static_cast<uint8_t>(kControlChannelPrivilege & 0xFF)};
  return send(mSocket, command, sizeof command, 0) == static_cast<ssize_t>(sizeof command);
}

bool LivenessProbe::Answered() {
  // Every datagram waiting counts; a refused port (the device's process or stack is gone) reads
  // as an error, not an answer.
  bool answered = false;
  uint8_t reply[64];
  for (ssize_t got; (got = recv(mSocket, reply, sizeof reply, MSG_DONTWAIT)) >= 0 || errno == ECONNREFUSED;) {
    if (got >= 8) answered = true;
  }
  return answered;
}

}  // namespace Aravis
}  // namespace Pylon

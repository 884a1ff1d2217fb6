#pragma once
// Tells within a second that a GigE Vision device has gone: Aravis notices only after its
// heartbeat has failed for seconds, and every call meanwhile waits out its retries. The probe
// reads the device's control channel privilege register over a socket of its own, four times a
// second; a device that answers none of three reads running is gone. Any answer counts, an
// error acknowledgement too (a device held exclusively by another host still answers). While
// frames arrive they are the answer and nothing is sent (a streaming camera costs the host no
// probing); a stream that falls silent counts as the first unanswered read, so that a camera
// unplugged mid-grab is noticed as soon as one that was idle.
//
// Threads: the owner starts and stops it; its own thread probes and calls `onGone` once.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "os/Thread.h"

namespace Pylon {
namespace Aravis {

class LivenessProbe {
 public:
  // `address`: the device's IPv4 address in dotted form; `frames`: a count that rises with every
  // complete frame from the device, outliving the probe.
  LivenessProbe(const std::string& address, const std::atomic<uint64_t>& frames, std::function<void()> onGone);
  ~LivenessProbe();  // stops the probing and waits for its thread
  LivenessProbe(const LivenessProbe&) = delete;
  LivenessProbe& operator=(const LivenessProbe&) = delete;

  static constexpr int kPeriodMs = 250;
  static constexpr int kMisses = 3;

 private:
  void Run();
  bool WaitOnePeriod();  // false when asked to stop
  bool Send(unsigned short requestId);
  bool Answered();  // whether anything came back since the last look

  const std::atomic<uint64_t>& mFrames;
  std::function<void()> mOnGone;
  int mSocket = -1;
  int mWake = -1;  // an eventfd that ends a wait at once
  std::atomic<bool> mStop{false};
  os::Thread mThread;
};

}  // namespace Aravis
}  // namespace Pylon

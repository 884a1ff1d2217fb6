#pragma once
// An event that releases one waiter and then resets itself, as a Windows auto-reset event does.
// A Set with nobody waiting stays set until the next Wait takes it.
// Any thread may call any member.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace os {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

class AutoResetEvent {
 public:
  explicit AutoResetEvent(bool initiallySet = false) : mSet(initiallySet) {}
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  void Set();
  void Reset();
  // True when the event was set (and is now reset again), false on time-out.
  bool Wait(uint32_t timeoutMs = kInfinite);
  bool IsSet() const;

 private:
  mutable std::mutex mMutex;  // guards mSet
  std::condition_variable mCondition;
  bool mSet;
};

}  // namespace os

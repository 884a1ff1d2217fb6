#pragma once
// An event that releases one waiter and then resets itself, as a Windows auto-reset event does.
// A Set with nobody waiting stays set until the next Wait takes it.
// Any thread may call any member.

#include <cstdint>
#if !defined(_WIN32)
#include <condition_variable>
#include <mutex>
#endif

namespace os {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

class AutoResetEvent {
 public:
  explicit AutoResetEvent(bool initiallySet = false);
  ~AutoResetEvent();
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  void Set();
  void Reset();
  // True when the event was set (and is now reset again), false on time-out.
  bool Wait(uint32_t timeoutMs = kInfinite);
  bool IsSet() const;

 private:
#if defined(_WIN32)
  void* mEvent;  // the system's auto-reset event
#else
  mutable std::mutex mMutex;  // guards mSet
  std::condition_variable mCondition;
  bool mSet;
#endif
};

}  // namespace os

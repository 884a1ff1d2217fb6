#include "../AutoResetEvent.h"

#include <chrono>

namespace os {

AutoResetEvent::AutoResetEvent(bool initiallySet) : mSet(initiallySet) {}

AutoResetEvent::~AutoResetEvent() = default;

void AutoResetEvent::Set() {
  {
    std::lock_guard<std::mutex> guard(mMutex);
    mSet = true;
  }
  mCondition.notify_one();
}

void AutoResetEvent::Reset() {
  std::lock_guard<std::mutex> guard(mMutex);
  mSet = false;
}

bool AutoResetEvent::Wait(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> guard(mMutex);
  if (timeoutMs == kInfinite) {
    mCondition.wait(guard, [this] { return mSet; });
  } else if (!mCondition.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return mSet; })) {
    return false;
  }
  mSet = false;
  return true;
}

bool AutoResetEvent::IsSet() const {
  std::lock_guard<std::mutex> guard(mMutex);
  return mSet;
}

}  // namespace os

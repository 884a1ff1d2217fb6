#include "WaitObject.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <algorithm>
#include <vector>

namespace Pylon {
namespace detail {

// One mutex for every event and every waiter keeps multi-object waits free of lock ordering:
// a signal and a wait registration can never interleave.
std::mutex& WaitMutex() {
  static std::mutex mutex;
  return mutex;
}

struct Waiter {
  std::condition_variable condition;
};

struct EventCore {
  bool signalled = false;  // guarded by WaitMutex()
  // Guarded by WaitMutex(). A vector keeps its capacity when waiters leave, so that waiting in a
  // loop allocates nothing once every waiter has been seen.
  std::vector<std::shared_ptr<Waiter>> waiters;
};

// The calling thread's waiter, made once: a signaller holds it while it notifies outside the lock,
// so a waiter that has gone on meanwhile leaves nothing dangling.
const std::shared_ptr<Waiter>& ThisThreadsWaiter() {
  thread_local const std::shared_ptr<Waiter> waiter = std::make_shared<Waiter>();
  return waiter;
}

}  // namespace detail

namespace {

using Clock = std::chrono::steady_clock;

template <typename Ready>
bool WaitUntilReady(std::unique_lock<std::mutex>& lock, detail::Waiter& waiter, unsigned int timeoutMs, Ready ready) {
  if (timeoutMs == waitForever) {
    waiter.condition.wait(lock, ready);
    return true;
  }
  return waiter.condition.wait_until(lock, Clock::now() + std::chrono::milliseconds(timeoutMs), ready);
}

// Waits for the first signalled of `count` events (null ones never are); *index tells which.
bool WaitForFirst(const std::shared_ptr<detail::EventCore>* cores, std::size_t count, unsigned int timeoutMs,
                  unsigned int* index) {
  const std::shared_ptr<detail::Waiter>& waiter = detail::ThisThreadsWaiter();
  std::unique_lock<std::mutex> lock(detail::WaitMutex());
  unsigned int found = 0;
  auto ready = [&] {
    for (std::size_t i = 0; i < count; ++i) {
      if (cores[i] != nullptr && cores[i]->signalled) {
        found = static_cast<unsigned int>(i);
        return true;
      }
    }
    return false;
  };
  bool signalled = ready();
  if (!signalled) {
    for (std::size_t i = 0; i < count; ++i) {
      if (cores[i] != nullptr) cores[i]->waiters.push_back(waiter);
    }
    signalled = WaitUntilReady(lock, *waiter, timeoutMs, ready);
    for (std::size_t i = 0; i < count; ++i) {
      if (cores[i] == nullptr) continue;
      std::vector<std::shared_ptr<detail::Waiter>>& waiters = cores[i]->waiters;
      waiters.erase(std::find(waiters.begin(), waiters.end(), waiter));
    }
  }
  if (signalled && index != nullptr) *index = found;
  return signalled;
}

}  // namespace

WaitObject::WaitObject() = default;

bool WaitObject::Wait(unsigned int timeoutMs) const {
  if (mCore == nullptr) return false;
  return WaitForFirst(&mCore, 1, timeoutMs, nullptr);
}

WaitObjectEx WaitObjectEx::Create(bool initiallySignalled) {
  auto core = std::make_shared<detail::EventCore>();
  core->signalled = initiallySignalled;
  return WaitObjectEx(core);
}

void WaitObjectEx::Signal() {
  if (mCore == nullptr) return;
  // Woken after the lock is let go: a waiter woken under it (at a higher priority, say) would only
  // run into the lock and sleep again. Waiters beyond the few held here are woken under it.
  constexpr std::size_t kHeld = 4;
  std::shared_ptr<detail::Waiter> held[kHeld];
  std::size_t count = 0;
  {
    std::lock_guard<std::mutex> guard(detail::WaitMutex());
    mCore->signalled = true;
    for (const std::shared_ptr<detail::Waiter>& waiter : mCore->waiters) {
      if (count < kHeld) {
        held[count++] = waiter;
      } else {
        waiter->condition.notify_all();
      }
    }
  }
  for (std::size_t i = 0; i < count; ++i) held[i]->condition.notify_all();
}

void WaitObjectEx::Reset() {
  if (mCore == nullptr) return;
  std::lock_guard<std::mutex> guard(detail::WaitMutex());
  mCore->signalled = false;
}

AlertableWaitObject::AlertableWaitObject(bool initiallySignalled, bool /*alertable*/)
    : WaitObjectEx(WaitObjectEx::Create(initiallySignalled)) {}

unsigned int WaitObjects::Add(const WaitObject& object) {
  mObjects.push_back(object.mCore);
  return static_cast<unsigned int>(mObjects.size() - 1);
}

bool WaitObjects::WaitForAny(unsigned int timeoutMs, unsigned int* index) const {
  return WaitForFirst(mObjects.data(), mObjects.size(), timeoutMs, index);
}

}  // namespace Pylon

#pragma once
// A recursive lock, as a Windows critical section is: the thread that holds it may take it again.

#include <mutex>

namespace os {

class CriticalSection {
 public:
  CriticalSection() = default;
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Lock() { mMutex.lock(); }
  void Unlock() { mMutex.unlock(); }
  bool TryLock() { return mMutex.try_lock(); }

  // BasicLockable, so that std::lock_guard and std::unique_lock work with it.
  void lock() { Lock(); }
  void unlock() { Unlock(); }

 private:
  std::recursive_mutex mMutex;
};

// Holds a critical section for the lifetime of the scope, also when an exception passes.
class Lock {
 public:
  explicit Lock(CriticalSection& section) : mSection(section) { mSection.Lock(); }
  ~Lock() { mSection.Unlock(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CriticalSection& mSection;
};

}  // namespace os

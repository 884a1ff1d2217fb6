#pragma once
// A recursive lock, as a Windows critical section is: the thread that holds it may take it again.

#if !defined(_WIN32)
#include <mutex>
#endif

namespace os {

class CriticalSection {
 public:
#if defined(_WIN32)
  CriticalSection();
  ~CriticalSection();
  void Lock();
  void Unlock();
  bool TryLock();
#else
  CriticalSection() = default;
  void Lock() { mMutex.lock(); }
  void Unlock() { mMutex.unlock(); }
  bool TryLock() { return mMutex.try_lock(); }
#endif
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  // BasicLockable, so that std::lock_guard and std::unique_lock work with it.
  void lock() { Lock(); }
  void unlock() { Unlock(); }

 private:
#if defined(_WIN32)
  alignas(8) unsigned char mSection[48];  // the system's CRITICAL_SECTION, whose header the driver does not see
#else
  std::recursive_mutex mMutex;
#endif
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

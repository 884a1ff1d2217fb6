#pragma once
// The lock of a port's row reads, which only a close of that port contends for: one atomic
// exchange takes it and a plain release store lets it go, where a mutex pays for an atomic
// operation on each side (per row, that was a third of the copy's cost). A thread that finds it
// taken checks a while and then sleeps briefly between tries, never spins on: a real-time reader
// spinning against a holder it keeps from running on the same processor would never get it.
//
// Threads: any; the holder may be any thread (a host's reader, the wait thread in a callback, a
// close).

#include <atomic>
#include <chrono>
#include <thread>

class RowLock {
 public:
  RowLock() = default;
  RowLock(const RowLock&) = delete;
  RowLock& operator=(const RowLock&) = delete;

  void lock() {
    while (mHeld.exchange(true, std::memory_order_acquire)) WaitWhileHeld();
  }
  bool try_lock() { return !mHeld.exchange(true, std::memory_order_acquire); }
  void unlock() { mHeld.store(false, std::memory_order_release); }

 private:
  void WaitWhileHeld() const {
    // A row's copy ends within a microsecond; a close's buffer teardown can take milliseconds.
    for (int check = 0; check < 64; ++check) {
      if (!mHeld.load(std::memory_order_relaxed)) return;
    }
    while (mHeld.load(std::memory_order_relaxed)) std::this_thread::sleep_for(std::chrono::microseconds(50));
  }

  std::atomic<bool> mHeld{false};
};

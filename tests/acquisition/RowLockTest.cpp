// The lock of a port's row reads: exclusion, and a taker that waits out a long holder (a close
// freeing the buffers) instead of getting in.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "acquisition/RowLock.h"

namespace {

TEST(RowLock, ATakerWaitsUntilALongHolderLetsGo) {
  RowLock lock;
  std::atomic<bool> held{false}, letGo{false};
  std::thread closer([&] {
    lock.lock();
    held = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // past the checking, into the sleeps
    letGo = true;
    lock.unlock();
  });
  while (!held) std::this_thread::yield();
  EXPECT_FALSE(lock.try_lock());
  lock.lock();
  EXPECT_TRUE(letGo) << "taken while the holder still had it";
  lock.unlock();
  closer.join();
  EXPECT_TRUE(lock.try_lock());
  lock.unlock();
}

TEST(RowLock, TwoThreadsNeverHoldItAtOnce) {
  RowLock lock;
  long counted = 0;  // unguarded but for the lock
  const auto count = [&] {
    for (int i = 0; i < 100000; ++i) {
      lock.lock();
      ++counted;
      lock.unlock();
    }
  };
  std::thread other(count);
  count();
  other.join();
  EXPECT_EQ(counted, 200000);
}

}  // namespace

#include "Thread.h"

#include "System.h"

#include <condition_variable>
#include <mutex>
#include <system_error>

namespace os {

namespace {
thread_local bool tStarted = false;
}  // namespace

Thread::~Thread() { Join(); }

bool Thread::OnStartedThread() { return tStarted; }

bool Thread::Start(const char* name, std::function<void()> body) {
  if (mThread.joinable()) return false;
  // The new thread publishes its id before its body runs; Start waits for that.
  std::mutex started;
  std::condition_variable told;
  mSystemId = 0;
  try {
    mThread = std::thread([this, &started, &told, name, body = std::move(body)] {
      tStarted = true;
      NameCurrentThread(name);
      {
        // Told under the lock: Start's locals are gone once it sees the id.
        std::lock_guard<std::mutex> guard(started);
        mSystemId = CurrentSystemId();
        told.notify_one();
      }
      body();
    });
  } catch (const std::system_error&) {
    return false;
  }
  std::unique_lock<std::mutex> wait(started);
  told.wait(wait, [this] { return mSystemId != 0; });
  return true;
}

void Thread::Join() {
  if (mThread.joinable() && mThread.get_id() != std::this_thread::get_id()) mThread.join();
}

}  // namespace os

#include "Thread.h"

#include <system_error>

namespace os {

namespace {
thread_local bool tStarted = false;
}  // namespace

Thread::~Thread() { Join(); }

bool Thread::OnStartedThread() { return tStarted; }

bool Thread::Start(std::function<void()> body) {
  if (mThread.joinable()) return false;
  try {
    mThread = std::thread([body = std::move(body)] {
      tStarted = true;
      body();
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void Thread::Join() {
  if (mThread.joinable() && mThread.get_id() != std::this_thread::get_id()) mThread.join();
}

}  // namespace os

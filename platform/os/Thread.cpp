#include "Thread.h"

#include <system_error>

namespace os {

Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> body) {
  if (mThread.joinable()) return false;
  try {
    mThread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void Thread::Join() {
  if (mThread.joinable() && mThread.get_id() != std::this_thread::get_id()) mThread.join();
}

}  // namespace os

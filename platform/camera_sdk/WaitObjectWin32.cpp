// Wait objects over the Windows kernel's manual-reset events; a multi-object wait is one
// WaitForMultipleObjects, which takes at most MAXIMUM_WAIT_OBJECTS (64) handles.
#include <windows.h>

#include "WaitObject.h"

namespace Pylon {
namespace detail {

struct EventCore {
  explicit EventCore(bool signalled) : event(CreateEventA(nullptr, TRUE, signalled, nullptr)) {}
  ~EventCore() {
    if (event != nullptr) CloseHandle(event);
  }
  EventCore(const EventCore&) = delete;
  EventCore& operator=(const EventCore&) = delete;
  HANDLE event;
};

}  // namespace detail

namespace {

DWORD Milliseconds(unsigned int timeoutMs) { return timeoutMs == waitForever ? INFINITE : timeoutMs; }

}  // namespace

WaitObject::WaitObject() = default;

bool WaitObject::Wait(unsigned int timeoutMs) const {
  if (mCore == nullptr || mCore->event == nullptr) return false;
  return WaitForSingleObject(mCore->event, Milliseconds(timeoutMs)) == WAIT_OBJECT_0;
}

WaitObjectEx WaitObjectEx::Create(bool initiallySignalled) {
  return WaitObjectEx(std::make_shared<detail::EventCore>(initiallySignalled));
}

void WaitObjectEx::Signal() {
  if (mCore != nullptr) SetEvent(mCore->event);
}

void WaitObjectEx::Reset() {
  if (mCore != nullptr) ResetEvent(mCore->event);
}

AlertableWaitObject::AlertableWaitObject(bool initiallySignalled, bool /*alertable*/)
    : WaitObjectEx(WaitObjectEx::Create(initiallySignalled)) {}

unsigned int WaitObjects::Add(const WaitObject& object) {
  mObjects.push_back(object.mCore);
  return static_cast<unsigned int>(mObjects.size() - 1);
}

bool WaitObjects::WaitForAny(unsigned int timeoutMs, unsigned int* index) const {
  // Objects without an event are never signalled: left out, and the system's answer mapped back.
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  unsigned int indices[MAXIMUM_WAIT_OBJECTS];
  DWORD count = 0;
  for (std::size_t i = 0; i < mObjects.size() && count < MAXIMUM_WAIT_OBJECTS; ++i) {
    if (mObjects[i] == nullptr || mObjects[i]->event == nullptr) continue;
    handles[count] = mObjects[i]->event;
    indices[count++] = static_cast<unsigned int>(i);
  }
  if (count == 0) {
    if (timeoutMs != waitForever) Sleep(timeoutMs);
    return false;
  }
  const DWORD result = WaitForMultipleObjects(count, handles, FALSE, Milliseconds(timeoutMs));
  if (result >= WAIT_OBJECT_0 + count) return false;
  if (index != nullptr) *index = indices[result - WAIT_OBJECT_0];
  return true;
}

}  // namespace Pylon

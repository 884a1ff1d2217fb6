// The critical section and the auto-reset event over the Windows kernel's own.
#include <windows.h>

#include "../AutoResetEvent.h"
#include "../CriticalSection.h"

namespace os {

static_assert(sizeof(CRITICAL_SECTION) <= 48, "CriticalSection's storage holds a CRITICAL_SECTION");

namespace {
CRITICAL_SECTION* Section(unsigned char* storage) { return reinterpret_cast<CRITICAL_SECTION*>(storage); }
}  // namespace

CriticalSection::CriticalSection() { InitializeCriticalSection(Section(mSection)); }
CriticalSection::~CriticalSection() { DeleteCriticalSection(Section(mSection)); }
void CriticalSection::Lock() { EnterCriticalSection(Section(mSection)); }
void CriticalSection::Unlock() { LeaveCriticalSection(Section(mSection)); }
bool CriticalSection::TryLock() { return TryEnterCriticalSection(Section(mSection)) != FALSE; }

AutoResetEvent::AutoResetEvent(bool initiallySet) : mEvent(CreateEventA(nullptr, FALSE, initiallySet, nullptr)) {}

AutoResetEvent::~AutoResetEvent() {
  if (mEvent != nullptr) CloseHandle(mEvent);
}

void AutoResetEvent::Set() { SetEvent(mEvent); }

void AutoResetEvent::Reset() { ResetEvent(mEvent); }

bool AutoResetEvent::Wait(uint32_t timeoutMs) {
  return WaitForSingleObject(mEvent, timeoutMs == kInfinite ? INFINITE : timeoutMs) == WAIT_OBJECT_0;
}

bool AutoResetEvent::IsSet() const {
  // A look that takes the event has to give it back; a Set in between is one Set all the same.
  if (WaitForSingleObject(mEvent, 0) != WAIT_OBJECT_0) return false;
  SetEvent(mEvent);
  return true;
}

}  // namespace os

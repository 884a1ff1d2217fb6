#pragma once
// Wait objects: events that threads block on in the kernel (here: a condition variable), one at a
// time or several at once. Copies of a wait object are handles to the same event. Any thread may
// signal, reset or wait.

#include <cstdint>
#include <memory>
#include <vector>

#include "SdkExport.h"

namespace Pylon {

constexpr unsigned int waitForever = 0xFFFFFFFFu;

namespace detail {
struct EventCore;
}

class KORVEX_SDK_API WaitObject {
 public:
  WaitObject();
  // True when the object is signalled or becomes signalled within the time-out.
  bool Wait(unsigned int timeoutMs) const;
  bool IsValid() const { return mCore != nullptr; }

 protected:
  explicit WaitObject(std::shared_ptr<detail::EventCore> core) : mCore(std::move(core)) {}
  std::shared_ptr<detail::EventCore> mCore;
  friend class WaitObjects;
};

// A wait object its owner signals and resets by hand (manual reset: it stays signalled until Reset).
class KORVEX_SDK_API WaitObjectEx : public WaitObject {
 public:
  static WaitObjectEx Create(bool initiallySignalled = false);
  void Signal();
  void Reset();

 protected:
  using WaitObject::WaitObject;
};

// A wait object the driver's own threads signal; the alertable flag has no meaning here.
class KORVEX_SDK_API AlertableWaitObject : public WaitObjectEx {
 public:
  AlertableWaitObject(bool initiallySignalled = false, bool alertable = false);
};

class KORVEX_SDK_API WaitObjects {
 public:
  // The index of an object is the order of adding, from 0.
  unsigned int Add(const WaitObject& object);
  void RemoveAll() { mObjects.clear(); }
  unsigned int GetSize() const { return static_cast<unsigned int>(mObjects.size()); }
  // True when one of the objects is signalled within the time-out; *index tells the first signalled one.
  bool WaitForAny(unsigned int timeoutMs, unsigned int* index = nullptr) const;

 private:
  std::vector<std::shared_ptr<detail::EventCore>> mObjects;
};

}  // namespace Pylon

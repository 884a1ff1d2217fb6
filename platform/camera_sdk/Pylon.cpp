#include "Pylon.h"

#include <atomic>

#include "SdkTesting.h"

namespace Pylon {

namespace {
std::atomic<int> gInitializeCalls{0};
std::atomic<int> gTerminateCalls{0};
std::atomic<int> gInitialized{0};
}  // namespace

void PylonInitialize() {
  ++gInitializeCalls;
  ++gInitialized;
}

void PylonTerminate(bool /*shutDownLogging*/) {
  ++gTerminateCalls;
  if (gInitialized > 0) --gInitialized;
}

namespace Testing {

LifecycleCounts GetLifecycleCounts() { return LifecycleCounts{gInitializeCalls, gTerminateCalls, gInitialized}; }

void ResetLifecycleCounts() {
  gInitializeCalls = 0;
  gTerminateCalls = 0;
  gInitialized = 0;
}

}  // namespace Testing
}  // namespace Pylon

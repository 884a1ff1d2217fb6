#pragma once
// Test control of the camera SDK stand-in: what tests and tools in the same process may see of it.

#include "SdkExport.h"

namespace Pylon {
namespace Testing {

struct KORVEX_SDK_API LifecycleCounts {
  int initializeCalls;
  int terminateCalls;
  int initialized;  // PylonInitialize calls not yet matched by PylonTerminate
};

KORVEX_SDK_API LifecycleCounts GetLifecycleCounts();
KORVEX_SDK_API void ResetLifecycleCounts();

}  // namespace Testing
}  // namespace Pylon

#pragma once
// Start and stop of the camera SDK.

#include "SdkExport.h"

namespace Pylon {

KORVEX_SDK_API void PylonInitialize();
KORVEX_SDK_API void PylonTerminate(bool shutDownLogging = true);

}  // namespace Pylon

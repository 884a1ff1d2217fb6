#pragma once
// Test control of the virtual camera network, for tests and tools in the same process as the driver.
// Cameras are numbered in enumeration order from 0. Every call on a number with no camera (or while
// no transport layer exists) does nothing and returns 0 or false.

#include <cstdint>

#include "SdkExport.h"

namespace Pylon {
namespace Virtual {

// Cameras in the current network; 0 while no transport layer exists.
KORVEX_SDK_API int CameraCount();
// Off: frames come only from ProduceFrames, so a test decides when lines arrive.
KORVEX_SDK_API bool SetFreeRunning(int camera, bool on);
// Makes up to `count` frames at once while acquisition runs; returns how many were made.
KORVEX_SDK_API int ProduceFrames(int camera, int count);
// The next `count` frames that find a buffer come back as failed results.
KORVEX_SDK_API bool InjectFailedResults(int camera, int count);
// Every call on the node raises a GenICam::RuntimeException with the description; null clears it.
KORVEX_SDK_API bool SetNodeFailure(int camera, const char* node, const char* description);
// Every further call on the camera, its nodes and its stream grabber raises a GenICam::RuntimeException.
KORVEX_SDK_API bool Unplug(int camera);
KORVEX_SDK_API bool IsAcquiring(int camera);
KORVEX_SDK_API int64_t DroppedFrames(int camera);
// Lines that passed under the camera since its device was opened, dropped frames included.
KORVEX_SDK_API int64_t LinesAcquired(int camera);
// Steady-clock nanoseconds of the last completed frame.
KORVEX_SDK_API int64_t LastCompletionNs(int camera);
// Successful writes to the node since the network was built.
KORVEX_SDK_API int NodeWrites(int camera, const char* node);
// How often the driver invalidated the camera's node map.
KORVEX_SDK_API int NodeMapInvalidations(int camera);

}  // namespace Virtual
}  // namespace Pylon

#pragma once
// A camera's line counter in line-counter mode: one step per chunk of "LineCounterResolution" lines,
// 0 to 9999 and round again.
//
// Threads: the grab wait thread advances it; Camera::Open resets it; the host (the "ConveyorStopped"
// property) and the ejector thread read it. Each field is atomic on its own; readers need no
// consistent set of them.

#include <atomic>
#include <cstdint>

struct LineCounterState {
  std::atomic<int> counter{0};          // current line counter, 0 to 9999
  std::atomic<int> remainder{0};        // lines counted towards the next step
  std::atomic<int> lastSeen{-1};        // the counter before the last line
  std::atomic<int> conveyorTimeout{0};  // "ConveyorTimeout", milliseconds
  std::atomic<int> resolution{1};       // "LineCounterResolution"
  std::atomic<int64_t> clockStamp{0};   // os::ClockMs() of the last line received
  // Counter steps since the open, never wrapping: lets the ejector tell a lap it missed.
  std::atomic<int64_t> steps{0};
};

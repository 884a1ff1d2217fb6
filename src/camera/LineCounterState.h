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
  // The block ID of the last chunk received since the acquisition started (0: none yet), and the
  // chunks the camera made that never arrived, since the open ("LostChunks").
  std::atomic<uint64_t> lastBlock{0};
  std::atomic<int64_t> lostChunks{0};

  // Counts `lines` more lines: a step for every "LineCounterResolution" of them. Wait thread only.
  void Advance(int64_t lines) {
    const int per = resolution.load(std::memory_order_relaxed);
    const int current = counter.load(std::memory_order_relaxed);
    const int64_t total = remainder.load(std::memory_order_relaxed) + lines;
    lastSeen.store(current, std::memory_order_relaxed);
    // Per line: a division only when the counter steps.
    if (total < per) {
      remainder.store(static_cast<int>(total), std::memory_order_relaxed);
      return;
    }
    const int64_t made = total / per;
    steps.fetch_add(made, std::memory_order_relaxed);
    counter.store(static_cast<int>((current + made % kModulus) % kModulus), std::memory_order_relaxed);
    remainder.store(static_cast<int>(total % per), std::memory_order_relaxed);
  }

  static constexpr int kModulus = 10000;  // the counter runs 0 to 9999
};

#pragma once
// The log writer. Any thread may log; each call is written whole to up to three sinks (the debugger
// output, the host's debug message procedure, the log file "korvex.log" in the system path), each
// gated by its level limit in the driver state. A level that no sink wants costs one comparison:
// nothing is formatted, no lock is taken and no clock is read.
//
// The writer holds the driver state's log lock for the whole call; it takes no other lock, so a
// caller may log while holding its own.

#include <cstddef>

#include "os/Time.h"

// Levels: 1 errors, warnings and milestones; 2 entry, exit and state changes; 3 detail per call and
// per buffer; 4 per-line and per-row tracing.
void Log(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// An object's address for a "%x" argument, as the log lines print buffers and handles.
inline unsigned LogAddress(const void* address) {
  return static_cast<unsigned>(reinterpret_cast<unsigned long>(address));
}

// For a "%s" argument that may be null.
inline const char* SafeText(const char* text) { return text != nullptr ? text : "(null)"; }

namespace LogWriter {

constexpr std::size_t kMessageBufferSize = 1024;
constexpr std::size_t kTimeStampBufferSize = 128;

// Where the time stamp's local time comes from; null restores the system's local time.
using TimeSource = os::CalendarTime (*)();
void SetTimeSource(TimeSource source);

// Lines kept for the log file while no system path is set.
std::size_t PendingLineCount();

}  // namespace LogWriter

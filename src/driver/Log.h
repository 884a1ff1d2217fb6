#pragma once
// The log writer. Any thread may log; each call is written whole to up to three sinks (the debugger
// output, the host's debug message procedure, the log file "korvex.log" in the system path), each
// gated by its level limit in the driver state. A level that no sink wants costs one comparison:
// nothing is formatted, no lock is taken and no clock is read.
//
// The writer holds the driver state's log lock for the whole call; it takes no other lock, so a
// caller may log while holding its own.

#include <cstddef>
#include <cstdint>

#include "driver/DriverState.h"
#include "os/DebugOutput.h"
#include "os/Time.h"

namespace LogWriter {

// Whether any sink wants a line of this level. Nothing listening to the debugger output counts as
// that sink being off, so an unwatched level costs no formatting either.
inline __attribute__((always_inline)) bool Wanted(int level) {
  DriverState& state = DriverState::Get();
  if (level <= state.logLevel.load(std::memory_order_relaxed)) return true;
  return level <= state.debugOutputLevel.load(std::memory_order_relaxed) && os::DebugOutputAttached();
}

// Formats and writes one line; callers go through Log.
void Write(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace LogWriter

// Levels: 1 errors, warnings and milestones; 2 entry, exit and state changes; 3 detail per call and
// per buffer; 4 per-line and per-row tracing. With GCC always inlined, so that on the per-row paths
// a level nobody wants costs two comparisons and no call; compilers without argument-pack
// forwarding (clang, for the fuzz targets) get the same gate behind a call.
#if defined(__clang__)
void Log(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
#else
extern inline __attribute__((always_inline, gnu_inline, format(printf, 2, 3))) void Log(int level,
                                                                                        const char* format, ...) {
  if (LogWriter::Wanted(level)) LogWriter::Write(level, format, __builtin_va_arg_pack());
}
#endif

// An object's address for a "%x" argument, as the log lines print buffers and handles.
inline unsigned LogAddress(const void* address) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(address));
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

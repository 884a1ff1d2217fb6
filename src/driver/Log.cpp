#include "Log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DriverState.h"
#include "os/DebugOutput.h"
#include "os/Path.h"

namespace {

std::atomic<LogWriter::TimeSource> gTimeSource{&os::LocalTime};

// Guarded by the log lock.
std::vector<std::string>& PendingLines() {
  static std::vector<std::string> lines;
  return lines;
}

void AppendToLogFile(DriverState& state, const char* stamp, const char* message) {
  if (state.systemPath.empty()) {
    PendingLines().push_back(std::string(stamp) + message);
    return;
  }
  std::FILE* file = std::fopen(os::JoinPath(state.systemPath, "korvex.log").c_str(), "a");
  if (file == nullptr) return;  // the line is lost; pending lines wait for the next one
  std::vector<std::string>& pending = PendingLines();
  for (const std::string& line : pending) std::fprintf(file, "%s", line.c_str());
  pending.clear();
  std::fprintf(file, "%s%s", stamp, message);
  std::fclose(file);
}

void WriteLine(DriverState& state, int level, const char* format, std::va_list args) {
  os::Lock guard(state.logLock);

  // Buffers on the stack rather than shared: a host procedure that logs from inside its own
  // call (the lock is recursive) must not overwrite the line being delivered.
  char message[LogWriter::kMessageBufferSize];
  const int formatted = format != nullptr ? std::vsnprintf(message, sizeof message, format, args) : -1;
  if (formatted < 0) message[0] = '\0';
  std::size_t n = std::strlen(message);
  if (formatted >= static_cast<int>(sizeof message)) {
    // Too long for the buffer: cut it, but keep it a line of its own.
    n = sizeof message - 1;
    message[n - 1] = '\n';
  } else if (n >= 1 && n <= sizeof message - 3 && message[n - 1] != '\n') {
    message[n] = '\n';
    message[n + 1] = '\0';
  }

  if (level <= state.debugOutputLevel.load(std::memory_order_relaxed)) os::OutputDebugString(message);

  if (level <= state.logLevel.load(std::memory_order_relaxed)) {
    const os::CalendarTime now = gTimeSource.load()();
    char stamp[LogWriter::kTimeStampBufferSize];
    std::snprintf(stamp, sizeof stamp, "%.2d/%.2d/%.2d %.2d:%.2d:%.2d: ", now.day, now.month, now.year % 10,
                  now.hour, now.minute, now.second);
    if (DebugMessageProc proc = state.debugMessageProc) {
      proc(stamp);
      proc(message);
    }
    if (state.logIntoFile) AppendToLogFile(state, stamp, message);
  }
}

}  // namespace

namespace LogWriter {

void Write(int level, const char* format, ...) {
  DriverState& state = DriverState::Get();
  std::va_list args;
  va_start(args, format);
  WriteLine(state, level, format, args);
  va_end(args);
}

}  // namespace LogWriter

#if defined(__clang__)
void Log(int level, const char* format, ...) {
  if (!LogWriter::Wanted(level)) return;
  std::va_list args;
  va_start(args, format);
  WriteLine(DriverState::Get(), level, format, args);
  va_end(args);
}
#endif

namespace LogWriter {

void SetTimeSource(TimeSource source) { gTimeSource = source != nullptr ? source : &os::LocalTime; }

std::size_t PendingLineCount() {
  DriverState& state = DriverState::Get();
  os::Lock guard(state.logLock);
  return PendingLines().size();
}

}  // namespace LogWriter

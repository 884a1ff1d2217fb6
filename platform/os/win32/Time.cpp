#include <windows.h>

#include "../Time.h"

namespace os {

namespace {

// The performance counter, not the tick count: that one moves in steps of a timer tick (about
// 16 ms), coarser than the driver's time-outs.
int64_t CounterNow() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

int64_t CounterFrequency() {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

const int64_t gFrequency = CounterFrequency();
const int64_t gProcessStart = CounterNow();

}  // namespace

void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

int64_t ClockMs() {
  const int64_t ticks = CounterNow() - gProcessStart;
  return ticks / gFrequency * 1000 + ticks % gFrequency * 1000 / gFrequency;
}

CalendarTime LocalTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return CalendarTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace os

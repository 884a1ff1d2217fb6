#pragma once
// Sleeping, the millisecond clock and local calendar time.

#include <cstdint>

namespace os {

void Sleep(uint32_t milliseconds);

// Milliseconds of wall time since the process started, from a monotonic clock. This stands in for
// the C run-time clock() of the original platform, which counts wall time there; on Linux clock()
// counts processor time and would stall while the driver waits.
int64_t ClockMs();

struct CalendarTime {
  int year;    // full year, e.g. 2026
  int month;   // 1-12
  int day;     // 1-31
  int hour;    // 0-23
  int minute;  // 0-59
  int second;  // 0-60
};

CalendarTime LocalTime();

}  // namespace os

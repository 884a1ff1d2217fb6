#include "../Time.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace os {

namespace {
const std::chrono::steady_clock::time_point gProcessStart = std::chrono::steady_clock::now();
}

void Sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

int64_t ClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - gProcessStart)
      .count();
}

CalendarTime LocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return CalendarTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                      parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

}  // namespace os

#include "DebugOutput.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "System.h"

namespace os {

namespace {

const char* Target() {
  const char* target = std::getenv("KORVEX_DEBUG_OUTPUT");
  return target != nullptr && *target != '\0' ? target : nullptr;
}

std::atomic<bool>& TargetSet() {
  static std::atomic<bool> set{Target() != nullptr};
  return set;
}

}  // namespace

bool DebugOutputAttached() { return SystemDebuggerAttached() || TargetSet().load(std::memory_order_relaxed); }

void ReadDebugOutputTarget() { TargetSet().store(Target() != nullptr, std::memory_order_relaxed); }

void OutputDebugString(const char* text) {
  if (text == nullptr) return;
  SystemDebugOutput(text);
  const char* target = Target();
  if (target == nullptr) return;
  if (std::strcmp(target, "stderr") == 0) {
    std::fputs(text, stderr);
    std::fflush(stderr);
    return;
  }
  if (std::FILE* file = std::fopen(target, "a")) {
    std::fputs(text, file);
    std::fclose(file);
  }
}

}  // namespace os

#include "DebugOutput.h"

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

}  // namespace

bool DebugOutputAttached() { return SystemDebuggerAttached() || Target() != nullptr; }

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

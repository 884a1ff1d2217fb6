#pragma once
// Small text helpers shared by the subsystems.

#include <cctype>

// ASCII comparison without regard to case; a null text equals nothing.
inline bool EqualsIgnoringCase(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return false;
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  }
  return *a == *b;
}

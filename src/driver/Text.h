#pragma once
// Small text helpers shared by the subsystems.

#include <cctype>
#include <cstring>

// ASCII comparison without regard to case; a null text equals nothing.
inline bool EqualsIgnoringCase(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return false;
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  }
  return *a == *b;
}

// Whether the text begins with the prefix, ASCII case ignored.
inline bool StartsWithIgnoringCase(const char* text, const char* prefix) {
  if (text == nullptr || prefix == nullptr) return false;
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (std::tolower(static_cast<unsigned char>(*text)) != std::tolower(static_cast<unsigned char>(*prefix))) {
      return false;  // also at the text's end, where *text is 0 and the prefix goes on
    }
  }
  return true;
}

// Copies at most limit - 1 characters of the text and a terminator into the host's buffer;
// nothing at all when limit < 1 or the buffer is null.
inline void CopyLimited(char* out, const char* text, int limit) {
  if (out == nullptr || text == nullptr || limit < 1) return;
  std::size_t count = std::strlen(text);
  if (count > static_cast<std::size_t>(limit - 1)) count = static_cast<std::size_t>(limit - 1);
  std::memcpy(out, text, count);
  out[count] = '\0';
}

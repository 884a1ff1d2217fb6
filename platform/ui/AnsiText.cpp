#include "AnsiText.h"

#include <cstdint>

namespace ui {

namespace {

// 0x80 to 0x9F of Windows-1252; 0 where the code page leaves the byte undefined (kept as is).
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t FromAnsi(unsigned char c) {
  if (c >= 0x80 && c < 0xA0 && kHigh[c - 0x80] != 0) return kHigh[c - 0x80];
  return c;
}

char ToAnsi(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == c) return static_cast<char>(0x80 + i);
  }
  if (c >= 0x80 && c < 0xA0) return static_cast<char>(c);  // an undefined byte that came through as is
  return '?';
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

std::u16string AnsiToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (unsigned char c : text) out += FromAnsi(c);
  return out;
}

std::string Utf16ToAnsi(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out += ToAnsi(c);
  return out;
}

std::string AnsiToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) AppendUtf8(out, FromAnsi(c));
  return out;
}

std::string Utf8ToAnsi(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    char32_t code = '?';
    std::size_t length = 1;
    if (c < 0x80) {
      code = c;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
      code = ((c & 0x1F) << 6) | (text[i + 1] & 0x3F);
      length = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < text.size()) {
      code = ((c & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F);
      length = 3;
    } else if ((c & 0xF8) == 0xF0 && i + 3 < text.size()) {
      length = 4;  // outside the code page
    }
    out += ToAnsi(code);
    i += length;
  }
  return out;
}

std::string FileNameToAnsi(const std::string& name) { return IsUtf8(name) ? Utf8ToAnsi(name) : name; }

}  // namespace ui

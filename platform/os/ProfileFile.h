#pragma once
// The file-system side of the .ini reader and writer, one implementation per operating system;
// the parsing and editing above it is the same on both.

#include <cctype>
#include <string>

namespace os {

// The whole file; false when it is missing, is no regular file or cannot be read.
bool ReadWholeFile(const char* fileName, std::string& content);
bool FileExists(const char* fileName);
// Replaces the file's content as one step: written to a temporary file beside it, flushed to the
// disk and renamed over it, so that a reader sees the old file or the new one, never a part.
bool WriteReplacing(const char* fileName, const std::string& content);

// "<file>.XXXXXX", six letters or digits after the file's name: a temporary file of ours for `base`.
inline bool IsTemporaryOf(const std::string& name, const std::string& base) {
  if (name.size() != base.size() + 7 || name.compare(0, base.size(), base) != 0 || name[base.size()] != '.') {
    return false;
  }
  for (std::size_t i = base.size() + 1; i < name.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

}  // namespace os

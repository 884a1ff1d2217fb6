#pragma once
// File paths: joined with '\' on Windows, with '/' elsewhere (where a backslash would end up
// inside a file name).

#include <string>

namespace os {

#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// directory + separator + name, used unchanged otherwise (a directory ending in a separator gets a second one,
// which the file system ignores).
inline std::string JoinPath(const std::string& directory, const std::string& name) {
  return directory + kPathSeparator + name;
}

}  // namespace os

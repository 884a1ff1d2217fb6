#pragma once
// File paths. The original platform joins directories with '\'; here it is '/', or the backslash
// would end up inside a file name.

#include <string>

namespace os {

constexpr char kPathSeparator = '/';

// directory + separator + name, used unchanged otherwise (a directory ending in a separator gets a second one,
// which the file system ignores).
inline std::string JoinPath(const std::string& directory, const std::string& name) {
  return directory + kPathSeparator + name;
}

}  // namespace os

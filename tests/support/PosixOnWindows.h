#pragma once
// The few POSIX calls the tests share with Linux, for their Windows build (included into every
// test source there by the build).
#if defined(_WIN32)
#include <cstdlib>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name) != nullptr) return 0;
  return _putenv_s(name, value);
}
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
#endif

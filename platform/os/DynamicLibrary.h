#pragma once
// Run-time library loading. Owned and used by one thread at a time.

#include <string>

// A library's file name on this system: "libName.so" on Linux, "Name.dll" on Windows.
#if defined(_WIN32)
#define KORVEX_LIBRARY_FILE(name) name ".dll"
#else
#define KORVEX_LIBRARY_FILE(name) "lib" name ".so"
#endif

namespace os {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();  // unloads
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the file; false (with Error() telling why) when it cannot be loaded. A library kept
  // loaded stays in the process when it is closed.
  bool Open(const std::string& path, bool keepLoaded = false);
  void Close();
  bool IsOpen() const { return mHandle != nullptr; }
  // Null when the library has no such symbol.
  void* Symbol(const char* name) const;
  const std::string& Error() const { return mError; }

 private:
  void* mHandle = nullptr;
  std::string mError;
};

// The directory of the shared object that holds `address` (code or data in it), or "" if unknown.
std::string ModuleDirectory(const void* address);

}  // namespace os

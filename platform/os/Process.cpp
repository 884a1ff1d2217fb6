#include "Process.h"

#include <cstdlib>

#if !defined(_WIN32)
// The C++ ABI's registration with the library that calls it: the function runs when that library
// is unloaded, or at exit. Plain atexit would do the same, but a sanitizer's interceptor of it
// registers for the exit only.
extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dso);
extern "C" void* __dso_handle;
#endif

namespace os {

#if defined(_WIN32)

// In a DLL, atexit registers with the DLL: its functions run when it is unloaded, or at exit.
bool AtExit(void (*function)()) { return function != nullptr && std::atexit(function) == 0; }

#else

namespace {
void CallPlain(void* function) { reinterpret_cast<void (*)()>(function)(); }
}  // namespace

// This file is linked into the driver itself, so __dso_handle is the driver's.
bool AtExit(void (*function)()) {
  return function != nullptr && __cxa_atexit(&CallPlain, reinterpret_cast<void*>(function), &__dso_handle) == 0;
}

#endif

}  // namespace os

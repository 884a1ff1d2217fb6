#include "Process.h"

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
// The C++ ABI's registration with the library that calls it: the function runs when that library
// is unloaded, or at exit. Plain atexit would do the same, but a sanitizer's interceptor of it
// registers for the exit only.
extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dso);
extern "C" void* __dso_handle;
#endif

namespace os {

#if defined(_WIN32)

// A DLL cannot stop its threads while it is unloaded (a thread ends only under the loader's lock,
// which the unloading holds), and at exit the system ends every other thread before a DLL's exit
// functions run. So the DLL that holds `function` stays loaded for good, and nothing is left to
// stop at exit: the function is not registered.
bool AtExit(void (*function)()) {
  HMODULE module = nullptr;
  return function != nullptr &&
         GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCSTR>(reinterpret_cast<void*>(function)), &module) != FALSE;
}

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

#include "Process.h"

#include <cstdlib>

namespace os {

// std::atexit registers with the library that calls it (its __dso_handle), so that an unload runs
// the function too. This file is linked into the driver itself.
bool AtExit(void (*function)()) { return function != nullptr && std::atexit(function) == 0; }

}  // namespace os

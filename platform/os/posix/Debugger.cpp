#include "../System.h"

namespace os {

void SystemDebugOutput(const char*) {}

bool SystemDebuggerAttached() { return false; }

}  // namespace os

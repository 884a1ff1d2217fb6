#include <windows.h>

#include "../System.h"

namespace os {

void SystemDebugOutput(const char* text) { OutputDebugStringA(text); }

bool SystemDebuggerAttached() { return IsDebuggerPresent() != FALSE; }

}  // namespace os

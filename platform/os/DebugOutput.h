#pragma once
// The debugger output: on Windows the system's (OutputDebugStringA). Linux has no system-wide debug
// channel, so on both the environment variable KORVEX_DEBUG_OUTPUT chooses where (a copy of) the
// text goes: a file path (appended to), "stderr", or, when unset or empty, nowhere. It is read on
// every call, so a process may redirect it at any time.

namespace os {

void OutputDebugString(const char* text);

// Whether text given to OutputDebugString goes anywhere at the moment.
bool DebugOutputAttached();

}  // namespace os

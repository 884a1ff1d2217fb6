#pragma once
// The debugger output: on Windows the system's (OutputDebugStringA). Linux has no system-wide debug
// channel, so on both the environment variable KORVEX_DEBUG_OUTPUT chooses where (a copy of) the
// text goes: a file path (appended to), "stderr", or, when unset or empty, nowhere. A write reads
// it afresh, so a process may redirect it at any time.

namespace os {

void OutputDebugString(const char* text);

// Whether text given to OutputDebugString goes anywhere: a debugger, or KORVEX_DEBUG_OUTPUT as it
// stood at the first question or at the last ReadDebugOutputTarget (the driver's initialize calls
// it). Asked before every log line that is otherwise off, so it reads no environment: looking a
// variable up walks the whole environment, and races a host thread that sets one.
bool DebugOutputAttached();
void ReadDebugOutputTarget();

}  // namespace os

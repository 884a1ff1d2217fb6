#pragma once
// What the portable parts of this layer need of the operating system, one implementation per system.

namespace os {

// Gives the calling thread the name debuggers and process viewers show.
void NameCurrentThread(const char* name);

// The system's own debugger channel: where there is one, text goes to it, and whether a debugger
// listens. Linux has none.
void SystemDebugOutput(const char* text);
bool SystemDebuggerAttached();

}  // namespace os

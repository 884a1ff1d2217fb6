#pragma once
// The process around the driver.

namespace os {

// Runs `function` when the process exits or, for a function of a library loaded at run time, when
// that library is unloaded; functions run in the reverse order of their registration, interleaved
// with the destructors of static objects made before and after them. False when the system refuses.
// On Windows the library that holds `function` is kept loaded instead, and nothing runs at exit
// (the system has ended the other threads by then).
bool AtExit(void (*function)());

}  // namespace os

#pragma once
// The camera SDK is a shared library of its own; its interface is exported, everything else hidden.
// The Windows DLL exports what its own objects define (the linker leaves out the static libraries
// it holds), so the interface needs no import markings there.
#if defined(_WIN32)
#define KORVEX_SDK_API
#else
#define KORVEX_SDK_API __attribute__((visibility("default")))
#endif

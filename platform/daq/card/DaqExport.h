#pragma once
// The card libraries are shared libraries of their own; their C interfaces are exported, all else hidden.
#if defined(_WIN32)
#define KORVEX_DAQ_API extern "C" __declspec(dllexport)
#else
#define KORVEX_DAQ_API extern "C" __attribute__((visibility("default")))
#endif

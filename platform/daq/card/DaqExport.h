#pragma once
// The card libraries are shared libraries of their own; their C interfaces are exported, all else hidden.
#define KORVEX_DAQ_API extern "C" __attribute__((visibility("default")))

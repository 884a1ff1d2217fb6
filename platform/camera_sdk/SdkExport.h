#pragma once
// The camera SDK is a shared library of its own; its interface is exported, everything else hidden.
#define KORVEX_SDK_API __attribute__((visibility("default")))

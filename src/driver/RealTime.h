#pragma once
// Real-time scheduling of the driver's own threads. A late ejector output is a reject at the wrong
// place on the belt, and a late grab result delays it; on a machine busy with other work both
// threads would otherwise wait behind ordinary threads for their turn. "RealTimeThreads" in the
// configuration file's "General" section (1 when missing) asks for it; it is read at each open.
//
// Threads: each driver thread calls FollowRealTimeSetting for itself after every wake; the wish is
// an atomic of the driver state, set by host threads in Camera::Open.

#include <string>

// The ejector outranks the wait thread: the wait thread's work only feeds it.
constexpr int kWaitThreadPriority = 20;
constexpr int kEjectorThreadPriority = 21;

// Puts the calling thread under the scheduling the driver state asks for, at `priority` when it
// asks for real time. Costs a comparison while nothing changes. A refusal (no privilege) is logged
// once per driver start, with `thread` naming the caller, and the thread runs on at normal priority.
void FollowRealTimeSetting(const char* thread, int priority);

// The wish as the configuration file at `configFile` states it: "RealTimeThreads" in "General",
// on unless it reads 0.
bool ReadRealTimeSetting(const std::string& configFile);

#pragma once
// The one process-wide record of the driver: the host's log procedure, the system path, the
// initialize/finalize reference count and the log settings.
//
// Threads: host threads call the exports; every thread logs.
// - debugMessageProc, systemPath and logIntoFile are read and written under logLock, so a host that
//   changes them while another thread logs never sees half a value.
// - logLevel and debugOutputLevel are atomics: the log writer reads them without the lock before it
//   decides whether a line is wanted at all.
// - referenceCount, inhibitPylonTerminate and exitHook belong to initialize/finalize, which run one
//   at a time under lifecycleLock; referenceCount is an atomic so that a refusal can print it.

#include <atomic>
#include <string>

#include "KorvexEjector.h"
#include "os/CriticalSection.h"

class DriverState {
 public:
  // Asked before every log line, per row and per line included: one load once the state exists.
  static DriverState& Get() {
    DriverState* state = sState.load(std::memory_order_acquire);
    return state != nullptr ? *state : Make();
  }

  // False (and nothing changed) for a null or empty path.
  bool SetSystemPath(const char* path);
  std::string GetSystemPath();
  void SetDebugMessageProc(DebugMessageProc proc);
  void SetLogIntoFile(bool on);
  bool GetLogIntoFile();

  // The configuration file: system path, separator, "Korvex", ".ini".
  std::string GetConfigFilePath();

  DebugMessageProc debugMessageProc = nullptr;
  std::string systemPath;
  std::atomic<int> referenceCount{0};
  std::atomic<int> logLevel{1};
  bool logIntoFile = false;
  std::atomic<int> debugOutputLevel{3};
  std::atomic<bool> inhibitPylonTerminate{false};
  // The driver's threads under real-time scheduling ("RealTimeThreads" in "General"); whether the
  // system refused it since the driver started (logged once).
  std::atomic<bool> realTimeThreads{true};
  std::atomic<bool> realTimeRefused{false};
  os::CriticalSection logLock;

  // Serialises initialize and finalize; never taken inside logLock.
  os::CriticalSection lifecycleLock;

  // Stops a driver still started when the process exits or unloads the driver (set by initialize).
  std::atomic<void (*)()> exitHook{nullptr};
  // Registers exitHook again: a registration runs before the statics made before it are destroyed,
  // so it is renewed whenever the driver starts using another library's objects (the card's).
  void ArmExitHook();

 private:
  DriverState() = default;
  // Made on first use, thread-safely, and destroyed at exit as a function's static.
  static DriverState& Make();
  static std::atomic<DriverState*> sState;  // constant-initialized: null before any constructor runs
};

#include "DriverState.h"

#include "os/Path.h"
#include "os/Process.h"

namespace {
// The library's load-time initialiser: the driver state exists before any export is called.
struct DriverStateAtLoad {
  DriverStateAtLoad() { DriverState::Get(); }
} gDriverStateAtLoad;
}  // namespace

std::atomic<DriverState*> DriverState::sState{nullptr};

DriverState& DriverState::Make() {
  static DriverState state;
  sState.store(&state, std::memory_order_release);
  return state;
}

bool DriverState::SetSystemPath(const char* path) {
  if (path == nullptr || *path == '\0') return false;
  os::Lock guard(logLock);
  systemPath = path;
  return true;
}

std::string DriverState::GetSystemPath() {
  os::Lock guard(logLock);
  return systemPath;
}

void DriverState::SetDebugMessageProc(DebugMessageProc proc) {
  os::Lock guard(logLock);
  debugMessageProc = proc;
}

void DriverState::SetLogIntoFile(bool on) {
  os::Lock guard(logLock);
  logIntoFile = on;
}

bool DriverState::GetLogIntoFile() {
  os::Lock guard(logLock);
  return logIntoFile;
}

std::string DriverState::GetConfigFilePath() { return os::JoinPath(GetSystemPath(), std::string("Korvex") + ".ini"); }

void DriverState::ArmExitHook() {
  if (void (*hook)() = exitHook.load()) os::AtExit(hook);
}

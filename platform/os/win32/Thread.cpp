#include <windows.h>

#include <string>

#include "../System.h"
#include "../Thread.h"

namespace os {

void NameCurrentThread(const char* name) {
  // SetThreadDescription exists from Windows 10 on: looked up, so that older systems load the DLL.
  using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto describe = reinterpret_cast<Describe>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetThreadDescription")));
  if (describe == nullptr || name == nullptr) return;
  const std::wstring wide(name, name + std::char_traits<char>::length(name));
  describe(GetCurrentThread(), wide.c_str());
}

long Thread::CurrentSystemId() { return static_cast<long>(GetCurrentThreadId()); }

int Thread::SetCurrentRealTime(int priority, int cpu) {
  // The processors before the first pinning, for the way back.
  thread_local DWORD_PTR tAllowed = 0;
  const int level = priority > 0 ? THREAD_PRIORITY_TIME_CRITICAL : THREAD_PRIORITY_NORMAL;
  if (!SetThreadPriority(GetCurrentThread(), level)) return static_cast<int>(GetLastError());
  if (priority > 0 && cpu >= 0 && cpu < static_cast<int>(8 * sizeof(DWORD_PTR))) {
    const DWORD_PTR before = SetThreadAffinityMask(GetCurrentThread(), DWORD_PTR{1} << cpu);
    if (tAllowed == 0) tAllowed = before;
  } else if (priority == 0 && tAllowed != 0) {
    SetThreadAffinityMask(GetCurrentThread(), tAllowed);
    tAllowed = 0;
  }
  return 0;
}

int Thread::LastAllowedCpu() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return -1;
  for (int cpu = static_cast<int>(8 * sizeof(DWORD_PTR)) - 1; cpu >= 0; --cpu) {
    if (process & (DWORD_PTR{1} << cpu)) return cpu;
  }
  return -1;
}

}  // namespace os

#pragma once
// Other work on the machine: child processes that spin on the processors until they are stopped,
// as a machine busy beside the driver has them.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

class BusyProcesses {
 public:
  explicit BusyProcesses(int count) {
    for (int i = 0; i < count; ++i) {
      const pid_t child = fork();
      if (child == 0) {
        for (volatile unsigned long spin = 0;; spin = spin + 1) {
        }
      }
      if (child > 0) mChildren.push_back(child);
    }
  }
  ~BusyProcesses() {
    for (const pid_t child : mChildren) kill(child, SIGKILL);
    for (const pid_t child : mChildren) waitpid(child, nullptr, 0);
  }
  BusyProcesses(const BusyProcesses&) = delete;
  BusyProcesses& operator=(const BusyProcesses&) = delete;

 private:
  std::vector<pid_t> mChildren;
};

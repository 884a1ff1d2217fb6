#pragma once
// Collects the messages the driver logs in this process (unit tests link the driver's objects):
// the host procedure sink is pointed here for the life of the object, at the given log level.

#include <mutex>
#include <string>
#include <vector>

#include "driver/DriverState.h"

class LogCapture {
 public:
  explicit LogCapture(int level = 4) {
    Messages().clear();
    DriverState::Get().logLevel = level;
    DriverState::Get().SetDebugMessageProc(&Proc);
  }
  ~LogCapture() {
    DriverState::Get().SetDebugMessageProc(nullptr);
    DriverState::Get().logLevel = 1;
  }
  std::string Text() const {
    std::lock_guard<std::mutex> guard(Lock());
    std::string joined;
    for (const std::string& message : Messages()) joined += message;
    return joined;
  }
  bool Contains(const std::string& text) const { return Text().find(text) != std::string::npos; }
  void Clear() {
    std::lock_guard<std::mutex> guard(Lock());
    Messages().clear();
  }

 private:
  // The writer calls the procedure twice per line: the time stamp, then the message.
  static void Proc(const char* text) {
    std::lock_guard<std::mutex> guard(Lock());
    if (Calls()++ % 2 == 1) Messages().push_back(text);
  }
  static std::mutex& Lock() {
    static std::mutex lock;
    return lock;
  }
  static int& Calls() {
    static int calls = 0;
    return calls;
  }
  static std::vector<std::string>& Messages() {
    static std::vector<std::string> messages;
    return messages;
  }
};

// The host's text commands to the ejector's I/O card, and the two callbacks.

#include <cstdio>
#include <cstring>
#include <shared_mutex>
#include <string>

#include "camera/Camera.h"
#include "driver/Log.h"
#include "driver/Text.h"
#include "ejector/Ejector.h"

namespace {

bool IsPort(int port) { return port >= 0 && port <= 0xFFFF; }
bool IsBit(int bit) { return bit >= 0 && bit <= 7; }
// A read may name bits 8 to 15 of the port's byte too: they read 0.
bool IsReadBit(int bit) { return bit >= 0 && bit <= 15; }

// Registers one callback with the assembled log line the host's support reads.
template <typename Callback>
void StoreCallback(std::atomic<Callback>& stored, Callback cb, const char* head, const char* already,
                   const char* same, const char* reset) {
  const Callback previous = stored.load();
  std::string line = head;
  if (previous != nullptr) {
    line += already;
    if (cb == previous) line += same;
  }
  if (cb == nullptr) line += reset;
  line += "\n";
  Log(2, "%s", line.c_str());
  stored = cb;
}

}  // namespace

bool Camera::ExecCmd(const char* command, const char* arguments, char* result, int resultSize) {
  // 1. Held to the end: a close on another thread destroys the ejector only after letting go of it.
  std::shared_lock<std::shared_mutex> use(mEjectorLock);
  Ejector* ejector = mEjector.load();
  if (ejector == nullptr) {
    Log(1, "Camera::ExecCmd: ERROR: ejector not available, port=%d", mPort.load());
    return false;
  }
  Log(3, "Camera::ExecCmd entering");
  // Every answer: at most resultSize - 1 characters and a terminator, as the header promises.
  CopyLimited(result, "unknowncmd", resultSize);
  // 3. Ports and bits outside what a card and a byte have are bad arguments, never passed on.
  DioDevice& device = ejector->Device();
  const char* answer = "unknowncmd";
  int port = 0, bit = 0, value = 0;
  uint8_t byte = 0;
  bool read = false;
  if (EqualsIgnoringCase(command, "writebyte")) {
    answer = std::sscanf(arguments, "dio%d=%d", &port, &value) == 2 && IsPort(port) && value >= 0 && value <= 255 &&
                     device.WriteDio(port, static_cast<uint8_t>(value))
                 ? "ok"
                 : "fail";
  } else if (EqualsIgnoringCase(command, "writebit")) {
    answer = "fail";
    if (std::sscanf(arguments, "dio%d.%d=%d", &port, &bit, &value) == 3 && IsPort(port) && IsBit(bit) &&
        device.ReadDio(port, byte)) {
      const uint8_t mask = static_cast<uint8_t>(1u << bit);
      byte = static_cast<uint8_t>(value) != 0 ? static_cast<uint8_t>(byte | mask) : static_cast<uint8_t>(byte & ~mask);
      if (device.WriteDio(port, byte)) answer = "ok";
    }
  } else if (EqualsIgnoringCase(command, "readbyte")) {
    answer = "invalidargs";
    if (std::sscanf(arguments, "di%d", &port) == 1 && IsPort(port)) {
      read = device.Read(port, byte);
      answer = "fail";
    } else if (std::sscanf(arguments, "dio%d", &port) == 1 && IsPort(port)) {
      read = device.ReadDio(port, byte);
      answer = "fail";
    }
    value = byte;
  } else if (EqualsIgnoringCase(command, "readbit")) {
    answer = "invalidargs";
    if (std::sscanf(arguments, "di%d.%d", &port, &bit) == 2 && IsPort(port) && IsReadBit(bit)) {
      read = device.Read(port, byte);
      answer = "fail";
    } else if (std::sscanf(arguments, "dio%d.%d", &port, &bit) == 2 && IsPort(port) && IsReadBit(bit)) {
      read = device.ReadDio(port, byte);
      answer = "fail";
    }
    if (read) value = (byte >> bit) & 1;  // only then is bit known to lie in the byte
  }
  // A read answers the value.
  if (read) {
    if (resultSize > 0) std::snprintf(result, static_cast<std::size_t>(resultSize), "%d", value);
    Log(3, "Camera::ExecCmd exiting");
    return true;
  }
  // The answer, cut to the host's buffer.
  CopyLimited(result, answer, resultSize);
  Log(3, "Camera::ExecCmd exiting");
  return true;
}

void Camera::SetCompleteCB(CompleteCallback cb) {
  StoreCallback(mCompleteCB, cb, "Camera::SetCompleteCB: ", "CB was already assigned. ",
                "The new CB is the same function. ", "Resetting CB to null. ");
}

void Camera::SetCmdCompleteCB(CommandCallback cb) {
  StoreCallback(mCmdCompleteCB, cb, "Camera::SetCmdCompleteCB: ", "CmdCB was already assigned. ",
                "The new CmdCB is the same function. ", "Resetting CmdCB to null. ");
}

void Camera::CmdCallback(const char* name, const char* value) {
  if (CommandCallback callback = mCmdCompleteCB.load()) {
    callback(0, mPort.load(), name, value);
  } else {
    Log(1, "Camera::CmdCallback: UNASSIGNED callback %s %s", SafeText(name), SafeText(value));
  }
}

#include "EjectorBuffer.h"

#include <cstring>
#include <new>

#include "driver/Log.h"

bool EjectorBuffer::Init(int size) {
  if (size < 1) {
    Log(1, "EjectorBuffer::Init: ERROR: size==0\n");
    return false;
  }
  std::lock_guard<std::mutex> guard(mLock);
  if (size == mSize && mCommands != nullptr) {
    std::memset(mCommands.get(), 0, sizeof(EjectorCommand) * static_cast<std::size_t>(mSize));
    return true;
  }
  mCommands.reset();
  mSize = 0;
  mCommands.reset(new (std::nothrow) EjectorCommand[static_cast<std::size_t>(size)]());
  if (mCommands == nullptr) {
    Log(1, "EjectorBuffer::Init: ERROR: mCommands not allocated\n");
    return false;
  }
  mSize = size;
  return true;
}

void EjectorBuffer::Clear() {
  std::lock_guard<std::mutex> guard(mLock);
  if (mCommands != nullptr) {
    std::memset(mCommands.get(), 0, sizeof(EjectorCommand) * static_cast<std::size_t>(mSize));
  }
}

void EjectorBuffer::Free() {
  std::lock_guard<std::mutex> guard(mLock);
  mCommands.reset();
  mSize = 0;
}

bool EjectorBuffer::IsAssigned(int line) {
  if (mCommands == nullptr) {
    Log(1, "EjectorBuffer::IsAssigned: ERROR: mCommands not allocated\n");
    return false;
  }
  if (line < 0 || line >= mSize) {
    Log(1, "EjectorBuffer::IsAssigned: ERROR: line(%d) out of scope, size= %d\n", line, mSize);
    return false;
  }
  return true;
}

bool EjectorBuffer::ReadCommand(int line, EjectorCommand* out) {
  std::lock_guard<std::mutex> guard(mLock);
  if (mCommands == nullptr) {
    Log(1, "EjectorBuffer::ReadCommand: ERROR: mCommands not allocated\n");
    return false;
  }
  if (line < 0 || line >= mSize || out == nullptr) {
    Log(1, "EjectorBuffer::ReadCommand: ERROR: line(%d) out of scope, size= %d\n", line, mSize);
    return false;
  }
  EjectorCommand& stored = mCommands[static_cast<std::size_t>(line)];
  *out = stored;
  stored = EjectorCommand{};
  return true;
}

bool EjectorBuffer::SetCommand(int line, const EjectorCommand& command) {
  std::lock_guard<std::mutex> guard(mLock);
  if (mCommands == nullptr) {
    Log(1, "EjectorBuffer::SetCommand: ERROR: mCommands not allocated\n");
    return false;
  }
  if (line < 0 || line >= mSize) {
    Log(1, "EjectorBuffer::SetCommand: ERROR: line(%d) out of scope, size= %d\n", line, mSize);
    return false;
  }
  EjectorCommand& stored = mCommands[static_cast<std::size_t>(line)];
  stored.callback |= command.callback;
  for (int i = 0; i < 4; ++i) {
    stored.bytes[i] |= command.bytes[i];
    stored.mask[i] |= command.mask[i];
  }
  stored.assigned = 1;
  return true;
}

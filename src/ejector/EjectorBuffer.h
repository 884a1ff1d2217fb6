#pragma once
// One command record per line-counter value, kept until the ejector thread consumes it.
//
// Threads: host threads store commands (SetCommand, from setProperty) and clear or size the buffer
// when the ejector is activated or initialised; the ejector thread consumes (ReadCommand). mLock
// makes each merge and each copy-and-clear whole. mSize is read without the lock by the range
// checks; it changes only in Init and Free, which run while the ejector thread does not read.

#include <memory>
#include <mutex>

#include "ejector/EjectorCommand.h"

class EjectorBuffer {
 public:
  EjectorBuffer() = default;
  ~EjectorBuffer() { Free(); }
  EjectorBuffer(const EjectorBuffer&) = delete;
  EjectorBuffer& operator=(const EjectorBuffer&) = delete;

  bool Init(int size);
  void Clear();
  void Free();
  bool IsAssigned(int line);
  // Copies the record of `line` to `out` and empties it: each command is consumed once.
  bool ReadCommand(int line, EjectorCommand* out);
  // ORs `command` into the record of `line` and marks it assigned.
  bool SetCommand(int line, const EjectorCommand& command);

  int Size() const { return mSize; }

 private:
  std::unique_ptr<EjectorCommand[]> mCommands;  // guarded by mLock
  int mSize = 0;
  std::mutex mLock;
};

#pragma once
// The ejector: drives up to four 8-bit output ports of the I/O card in step with the line counter
// of the camera that controls it. This part holds the command side: line commands and the static
// command parsed from the host's property names into the line buffer and the static bytes.
//
// Threads: SetLine and SetStaticCommand run on host threads (inside setProperty); the ejector
// thread consumes the buffer and reads the static bytes and writes mCurrentLine. mCurrentLine and
// the static bytes are atomics, so neither side ever sees half a value; the buffer has its own lock.

#include <atomic>
#include <cstdint>

#include "ejector/EjectorBuffer.h"
#include "ejector/EjectorCommand.h"

class Ejector {
 public:
  static constexpr int kLines = 10000;  // one record per line-counter value

  Ejector() = default;
  Ejector(const Ejector&) = delete;
  Ejector& operator=(const Ejector&) = delete;

  // "EjectorLine <line> <command>": stores the command for the line.
  void SetLine(const char* text);
  // "EjectorStaticCommand <8 hex digits>": the output bytes of static mode.
  void SetStaticCommand(const char* text);
  // Parses a command of 8, 10 or 19 characters into `ejectorCmd` (fields stored stay on failure).
  static bool ParseCommand(const char* command, EjectorCommand* ejectorCmd);

  // The static record: its output bytes (0xFF on every port until set), callback and masks 0.
  EjectorCommand GetStaticCommand() const;
  int GetCurrentLine() const { return mCurrentLine.load(std::memory_order_relaxed); }
  void SetCurrentLineValue(int line) { mCurrentLine.store(line, std::memory_order_relaxed); }
  EjectorBuffer& Buffer() { return mBuffer; }

 private:
  std::atomic<int> mCurrentLine{0};  // the last line processed, 0 to 9999
  EjectorBuffer mBuffer;
  // The static record's four output bytes, port 0 in the low byte: one word, so that the ejector
  // thread reads a whole update or none of it.
  std::atomic<uint32_t> mStaticCommand{0xFFFFFFFFu};
};

#pragma once
// The ejector: drives up to four 8-bit output ports of the I/O card in step with the line counter
// of the camera that controls it. Line commands and the static command arrive as the host's
// property names; the worker thread, woken once per counter step, writes each line's bytes.
//
// Threads: host threads create, initialise, activate, suspend and destroy it (Camera::Open and
// Close), store commands (SetLine, SetStaticCommand) and use the card (execCmd); the grab wait
// thread only calls Signal; the worker thread runs ThreadMain and the line processing.
// mStateLock guards every write of mState; mState, mCurrentLine and the static bytes are atomics
// read without it; the buffer has its own lock. The card is shared without a lock (its backends
// allow that). The singleton's creation, initialisation, linking to a camera, unlinking and
// destruction happen under LifecycleLock, one at a time; the pointer itself has a mutex of its own.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "camera/LineCounterState.h"
#include "ejector/DioDevice.h"
#include "ejector/EjectorBuffer.h"
#include "ejector/EjectorCommand.h"
#include "os/AutoResetEvent.h"
#include "os/Thread.h"

class Camera;

enum EjectorState : int { eSuspended = 0, eActive_JustStarted = 1, eActive = 2, eClosing = 3 };

class Ejector {
 public:
  static constexpr int kLines = LineCounterState::kModulus;  // one record per line-counter value

  // The singleton, made on first use; DestroyInstance runs the destructor and forgets it. Both
  // under LifecycleLock. DestroyInstance refuses, with a log line, on the ejector's own thread.
  static Ejector* GetInstance();
  static bool DestroyInstance();
  // Held while the ejector is made, initialised, linked, unlinked or destroyed.
  static std::mutex& LifecycleLock();
  // Whether the caller runs on an ejector's worker thread (inside the host's command callback).
  static bool OnWorkerThread();
  // Takes a lock that some lifecycle holds; on the ejector's thread only tries, since the thread
  // holding it may be waiting for the ejector's thread to end.
  template <typename Lock, typename Mutex>
  static Lock TakeLifecycle(Mutex& mutex) {
    return OnWorkerThread() ? Lock(mutex, std::try_to_lock) : Lock(mutex);
  }

  Ejector() = default;
  ~Ejector();
  Ejector(const Ejector&) = delete;
  Ejector& operator=(const Ejector&) = delete;

  // Opens the card (library 0: ADSAPI, else BioDAQ), makes the wake event and the thread, sizes
  // the buffer. False, with a log line, when already initialised or the card does not open.
  bool Init(int deviceNumber, int library);
  void ClearBuffer() { mBuffer.Clear(); }
  // The last processed line becomes the camera's current line-counter value.
  void SetCurrentLine(Camera* camera);
  bool State_Activate();
  bool State_Suspend();
  // From the grab wait thread: the counter moved.
  void Signal();
  bool SetState(EjectorState state);
  // Ends the thread, then closes the card and the event.
  void Destroy();
  bool IsInitialized() const { return mInitialized; }
  EjectorState GetState() const { return static_cast<EjectorState>(mState.load()); }
  bool IsActive() const {
    const int state = mState.load();
    return state == eActive_JustStarted || state == eActive;
  }
  DioDevice& Device() { return mDevice; }

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
  void ThreadMain();
  void ProcessLine(Camera* camera);
  void ProcessSingleLine(Camera* camera, int line);

  os::Thread mThread;
  bool mInitialized = false;
  std::atomic<int> mState{eSuspended};
  std::mutex mStateLock;
  std::unique_ptr<os::AutoResetEvent> mWakeEvent;  // made by Init; kept until Destroy
  DioDevice mDevice;
  // The counter's running step total when the last line was processed: a pass that finds 10000 or
  // more steps since can tell that lines were lost. Set at activation, then the worker thread's.
  std::atomic<int64_t> mStepsProcessed{0};
  std::atomic<int> mCurrentLine{0};  // the last line processed, 0 to 9999
  EjectorBuffer mBuffer;
  // The static record's four output bytes, port 0 in the low byte: one word, so that the ejector
  // thread reads a whole update or none of it.
  std::atomic<uint32_t> mStaticCommand{0xFFFFFFFFu};
};

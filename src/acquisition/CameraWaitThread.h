#pragma once
// The one thread that waits for the grab results of every grabbing camera, hands them to the
// cameras' buffer sets, stamps line counters, calls the host's completion callback and stops single
// grabs.
//
// Threads: host threads (and the wait thread itself, when a single grab ends) call StoreWaitCamera
// and RemoveWaitCamera, host threads LetGoOf; the rest runs on the wait thread. mLock guards
// mWaitList, mDraining, mHandling, mHandledCount and mBusy.
// "Handling" a camera is the wait thread's own work on its result and buffers; it ends before the
// host's completion callback is called. A stopped camera stays listed while it drains (BeginDrain),
// without anybody waiting for it.
// RemoveWaitCamera and LetGoOf called from another thread return once the wait thread is not
// handling that camera, so its buffers can be freed right after; they never wait for a callback.

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "camera_sdk/WaitObject.h"
#include "os/Thread.h"

class Camera;

class CameraWaitThread {
 public:
  CameraWaitThread();
  ~CameraWaitThread();
  CameraWaitThread(const CameraWaitThread&) = delete;
  CameraWaitThread& operator=(const CameraWaitThread&) = delete;

  void StoreWaitCamera(Camera* camera);
  void RemoveWaitCamera(Camera* camera);
  // A stopped camera stays listed until `deadlineMs` (os::ClockMs), so that results still arriving
  // go back to its stream grabber; the thread serves every other camera meanwhile.
  void BeginDrain(Camera* camera, int64_t deadlineMs);
  // A grab started again while the camera drains: true when it is still listed.
  bool CancelDrain(Camera* camera);
  // From a host thread: returns once a result of `camera` being handled now is done with, so
  // that the buffers that handling uses can go.
  void LetGoOf(Camera* camera);
  // From a host thread, once no camera grabs: returns when the thread has finished the result it
  // is on, callback included, so that no camera it may still touch is deleted under it.
  void WaitIdle();

  static int FailureCount() { return sFailureCount; }

 private:
  int ThreadMain();
  // Adds the wait objects of the listed cameras and records which camera each index stands for.
  void AddWaitCameras(Pylon::WaitObjects& waitSet, std::vector<Camera*>& cameraOfIndex);
  Camera* GetWaitCamera(const std::vector<Camera*>& cameraOfIndex, int index);
  // Lets go of the cameras whose drain time is over; the earliest deadline left, or 0.
  int64_t ExpireDrains();
  // Ends the handling of the current camera (before a callback, and after every result); with
  // `resultDone` the thread is also done with the result, callback included.
  void EndHandling(bool resultDone = false);
  void HandleCameraEvent_FrameMode(Camera* camera);
  void HandleCameraEvent_LineCounterMode(Camera* camera);

  os::Thread mThread;
  Pylon::AlertableWaitObject mTerminateEvent{false, false};
  Pylon::AlertableWaitObject mNewCameraEvent{false, false};
  std::vector<Camera*> mWaitList;  // guarded by mLock; not owned
  std::vector<std::pair<Camera*, int64_t>> mDraining;  // guarded by mLock: listed, stopped, until when
  Camera* mHandling = nullptr;     // guarded by mLock: the camera whose result is being handled
  uint64_t mHandledCount = 0;      // guarded by mLock: results handled, so a waiter sees one end
  bool mBusy = false;              // guarded by mLock: on a result, from its lookup to its callback's end
  std::mutex mLock;
  std::condition_variable mHandled;
  static std::atomic<int> sFailureCount;
};

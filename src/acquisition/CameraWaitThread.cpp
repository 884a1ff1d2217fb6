#include "CameraWaitThread.h"

#include <algorithm>
#include <ctime>
#include <limits>

#include "acquisition/ImageBuffer.h"
#include "acquisition/RowDelivery.h"
#include "camera/Camera.h"
#include "driver/Log.h"
#include "driver/RealTime.h"
#include "ejector/Ejector.h"
#include "os/Time.h"

std::atomic<int> CameraWaitThread::sFailureCount{0};

CameraWaitThread::CameraWaitThread() {
  mWaitList.reserve(20);
  mThread.Start("korvex-wait", [this] { ThreadMain(); });
  Log(2, "CameraWaitThread::CameraWaitThread: thread created:%d\n", static_cast<int>(mThread.SystemId()));
}

CameraWaitThread::~CameraWaitThread() {
  Log(2, "CameraWaitThread::~CameraWaitThread: entering\n");
  Log(2, "CameraWaitThread::Terminate");
  mTerminateEvent.Signal();
  mThread.Join();
  Log(2, "CameraWaitThread::~CameraWaitThread: leaving\n");
}

void CameraWaitThread::StoreWaitCamera(Camera* camera) {
  Log(3, "CameraWaitThread::StoreWaitCamera: entering, port=%d\n", camera->GetPort());
  {
    std::lock_guard<std::mutex> guard(mLock);
    if (std::find(mWaitList.begin(), mWaitList.end(), camera) != mWaitList.end()) {
      Log(1, "CameraWaitThread::StoreWaitCamera: WARNING: wait camera already stored, port=%d\n", camera->GetPort());
      return;
    }
    mWaitList.push_back(camera);
  }
  mNewCameraEvent.Signal();
  Log(3, "CameraWaitThread::StoreWaitCamera: leaving, port=%d\n", camera->GetPort());
}

void CameraWaitThread::RemoveWaitCamera(Camera* camera) {
  Log(3, "CameraWaitThread::RemoveWaitCamera: entering, port=%d\n", camera->GetPort());
  {
    std::unique_lock<std::mutex> guard(mLock);
    mWaitList.erase(std::remove(mWaitList.begin(), mWaitList.end(), camera), mWaitList.end());
    mDraining.erase(std::remove_if(mDraining.begin(), mDraining.end(),
                                   [camera](const std::pair<Camera*, int64_t>& d) { return d.first == camera; }),
                    mDraining.end());
    mNewCameraEvent.Signal();
  }
  LetGoOf(camera);
  Log(3, "CameraWaitThread::RemoveWaitCamera: leaving, port=%d\n", camera->GetPort());
}

void CameraWaitThread::LetGoOf(Camera* camera) {
  if (os::Thread::IsCurrent(mThread)) return;  // the wait thread holds nothing while it asks
  std::unique_lock<std::mutex> guard(mLock);
  if (mHandling != camera) return;
  // The handling under way ends; a later one of the same camera (still listed) reads afresh.
  const uint64_t handled = mHandledCount;
  mHandled.wait(guard, [&] { return mHandling != camera || mHandledCount != handled; });
}

void CameraWaitThread::AddWaitCameras(Pylon::WaitObjects& waitSet, std::vector<Camera*>& cameraOfIndex) {
  Log(4, "CameraWaitThread::AddWaitCameras: entering");
  std::lock_guard<std::mutex> guard(mLock);
  // Two events and at most one object per port (20): well inside the 64 objects one Windows wait
  // takes.
  for (Camera* camera : mWaitList) {
    waitSet.Add(camera->GetStreamGrabber()->GetWaitObject());
    cameraOfIndex.push_back(camera);
    Log(3, "CameraWaitThread::AddWaitCameras: adding camera on port=%d", camera->GetPort());
  }
  Log(4, "CameraWaitThread::AddWaitCameras: leaving");
}

Camera* CameraWaitThread::GetWaitCamera(const std::vector<Camera*>& cameraOfIndex, int index) {
  std::unique_lock<std::mutex> guard(mLock);
  const int count = static_cast<int>(cameraOfIndex.size());
  if (index < 0 || index >= count) {
    Log(1, "CameraWaitThread::GetWaitCamera: ERROR: index out of range %d, n=%d\n", index, count);
    throw "Err";
  }
  // The wait set's own record names the camera whose object fired, even if the list changed since;
  // a camera removed meanwhile is not handled any more.
  Camera* camera = cameraOfIndex[static_cast<std::size_t>(index)];
  if (camera == nullptr || std::find(mWaitList.begin(), mWaitList.end(), camera) == mWaitList.end()) {
    Log(1, "CameraWaitThread::GetWaitCamera: ERROR: camera not retrieved\n");
    throw "Err";
  }
  mHandling = camera;
  mBusy = true;
  return camera;
}

void CameraWaitThread::WaitIdle() {
  if (os::Thread::IsCurrent(mThread)) return;
  std::unique_lock<std::mutex> guard(mLock);
  mHandled.wait(guard, [&] { return !mBusy; });
}

void CameraWaitThread::BeginDrain(Camera* camera, int64_t deadlineMs) {
  {
    std::lock_guard<std::mutex> guard(mLock);
    if (std::find(mWaitList.begin(), mWaitList.end(), camera) == mWaitList.end()) return;
    for (auto& draining : mDraining) {
      if (draining.first == camera) {
        draining.second = deadlineMs;
        return;
      }
    }
    mDraining.emplace_back(camera, deadlineMs);
  }
  mNewCameraEvent.Signal();  // the wait's deadline changed
}

bool CameraWaitThread::CancelDrain(Camera* camera) {
  std::lock_guard<std::mutex> guard(mLock);
  for (auto draining = mDraining.begin(); draining != mDraining.end(); ++draining) {
    if (draining->first == camera) {
      mDraining.erase(draining);
      return true;  // still listed: waited on again at once
    }
  }
  return false;
}

int64_t CameraWaitThread::ExpireDrains() {
  const int64_t now = os::ClockMs();
  int64_t next = 0;
  for (;;) {
    Camera* expired = nullptr;
    {
      std::lock_guard<std::mutex> guard(mLock);
      for (const auto& draining : mDraining) {
        if (draining.second <= now) {
          expired = draining.first;
          break;
        }
        if (next == 0 || draining.second < next) next = draining.second;
      }
    }
    if (expired == nullptr) return next;
    RemoveWaitCamera(expired);
    next = 0;
  }
}

void CameraWaitThread::EndHandling(bool resultDone) {
  {
    std::lock_guard<std::mutex> guard(mLock);
    if (mHandling == nullptr && !resultDone) return;
    if (mHandling != nullptr) {
      mHandling = nullptr;
      ++mHandledCount;
    }
    if (resultDone) mBusy = false;
  }
  mHandled.notify_all();
}

int CameraWaitThread::ThreadMain() {
  Log(2, "CameraWaitThread::ThreadMain: entering, clock=%ld", static_cast<long>(os::ClockMs()));
  sFailureCount = 0;
  std::vector<Camera*> cameraOfIndex;
  cameraOfIndex.reserve(20);
  Pylon::WaitObjects waitSet;
  for (;;) {
    // 2. A fresh wait set: terminate, list changed, then every listed camera. Stopped cameras whose
    //    drain time is over leave the list first; the wait ends by the next drain deadline.
    mNewCameraEvent.Reset();
    const int64_t nextDeadline = ExpireDrains();
    waitSet.RemoveAll();
    cameraOfIndex.clear();
    waitSet.Add(mTerminateEvent);
    waitSet.Add(mNewCameraEvent);
    AddWaitCameras(waitSet, cameraOfIndex);
    Log(3, "CameraWaitThread::ThreadMain: waiting for events..., clock=%ld", static_cast<long>(os::ClockMs()));
    unsigned int timeout = Pylon::waitForever;
    if (nextDeadline > 0) {
      const int64_t left = nextDeadline - os::ClockMs();
      timeout = left > 0 ? static_cast<unsigned int>(left) : 0;
    }
    unsigned int index = 0;
    const bool woken = waitSet.WaitForAny(timeout, &index);
    FollowRealTimeSetting("CameraWaitThread::ThreadMain", kWaitThreadPriority);
    if (!woken) {
      if (nextDeadline > 0) continue;  // a drain deadline: the next cycle lets that camera go
      Log(1, "CameraWaitThread::ThreadMain: WARNING: wait timeout -- should not have happened");
      break;
    }
    if (index == 0) {
      Log(2, "CameraWaitThread::ThreadMain: Event received: terminate");
      break;
    }
    if (index == 1) {
      Log(2, "CameraWaitThread::ThreadMain: Event received: new camera grab wait");
      mNewCameraEvent.Reset();
      continue;
    }
    // A grab result of one camera.
    try {
      Camera* camera = GetWaitCamera(cameraOfIndex, static_cast<int>(index) - 2);
      try {
        if (camera->GetGeometry().lineMode) {
          Log(3, "CameraWaitThread::ThreadMain: Event (%d) received: frame available on port %d, clock=%ld",
              static_cast<int>(index), camera->GetPort(), static_cast<long>(os::ClockMs()));
          HandleCameraEvent_LineCounterMode(camera);
        } else {
          Log(2, "CameraWaitThread::ThreadMain: Event (%d) received: image available on port %d, clock=%ld",
              static_cast<int>(index), camera->GetPort(), static_cast<long>(os::ClockMs()));
          HandleCameraEvent_FrameMode(camera);
        }
      } catch (...) {
        // dropped: the thread goes on with the next result
      }
      EndHandling(true);
    } catch (...) {
      // a stale index: dropped
    }
  }
  Log(2, "CameraWaitThread::ThreadMain: leaving");
  return 0;
}

namespace {

void LogFailedResult(const char* format, Camera* camera, const Pylon::GrabResult& result, int count) {
  const os::CalendarTime now = os::LocalTime();
  Log(1, format, count, now.year, now.month, now.day, now.hour, now.minute, now.second, camera->GetPort(),
      camera->GetName().c_str(), result.GetErrorDescription().c_str());
}

void Requeue(Camera* camera, const Pylon::GrabResult& result) {
  camera->GetStreamGrabber()->QueueBuffer(result.Handle(), result.Context());
}

// A failed result of a device that dropped off the network: the camera learns of it (once) and its
// grab ends; the buffer stays with the stream grabber, which cannot take it back any more.
bool DeviceGone(Camera* camera) {
  Pylon::IPylonDevice* device = camera->GetSdkCamera().GetDevice();
  if (device == nullptr || !device->IsRemoved()) return false;
  camera->DeviceRemoved();
  return true;
}

// A block ID beyond the next one: the chunks in between were lost. One level-1 line per gap. A gap
// too wide to be a loss (a device that numbers afresh) only starts the count again.
void StepOverLostChunks(Camera* camera, uint64_t block, int chunkLines) {
  if (block == 0) return;  // the device does not number its frames
  LineCounterState& counter = camera->GetLineCounter();
  const uint64_t previous = counter.lastBlock.exchange(block, std::memory_order_relaxed);
  if (previous == 0 || block <= previous + 1) return;
  const uint64_t lost = block - previous - 1;
  if (lost > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return;
  counter.lostChunks.fetch_add(static_cast<int64_t>(lost), std::memory_order_relaxed);
  Log(1,
      "CameraWaitThread::HandleCameraEvent_LineCounterMode: ERROR: %llu %s lost before chunk %llu, port=%d; the line "
      "counter steps over them\n",
      static_cast<unsigned long long>(lost), lost == 1 ? "chunk" : "chunks", static_cast<unsigned long long>(block),
      camera->GetPort());
  counter.Advance(static_cast<int64_t>(lost) * chunkLines);
}

}  // namespace

void CameraWaitThread::HandleCameraEvent_FrameMode(Camera* camera) {
  // A result after the grab stopped (the camera drains): back to the stream grabber, no image.
  if (!camera->IsGrabbing()) {
    Pylon::GrabResult late;
    if (camera->GetStreamGrabber()->RetrieveResult(late)) Requeue(camera, late);
    Log(3, "CameraWaitThread::HandleCameraEvent_FrameMode: result after the grab stopped requeued, port=%d\n",
        camera->GetPort());
    return;
  }
  // A single grab ends with this image.
  if (!camera->IsContinuous()) {
    camera->MakeGrabbing(0);
    Log(2, "CameraWaitThread::HandleCameraEvent_FrameMode: Grab finished\n");
  }
  // The result.
  Pylon::GrabResult result;
  if (!camera->GetStreamGrabber()->RetrieveResult(result)) return;
  if (result.Status() == Pylon::Grabbed) {
    // A good frame goes to the results.
    ImageBuffer* buffer = static_cast<ImageBuffer*>(const_cast<void*>(result.Context()));
    camera->GetFrameBuffers().PutBuffer(buffer, true);
    if (!camera->FirstImageReceived()) {
      camera->SetFirstImageReceived();
      // Held back as the source of the next frame's overlap rows. A single grab asks for that next
      // frame at once, so that its doCVLGrab still brings one image and one callback.
      if (camera->GetGeometry().overlap > 0) {
        if (!camera->IsContinuous()) camera->MakeGrabbing(1);
        return;
      }
    }
    if (CompleteCallback callback = camera->GetCompleteCB()) {
      const int port = camera->GetPort();
      Log(2, "CameraWaitThread::HandleCameraEvent_FrameMode: grab succesful. calling CB, port=%d\n", port);
      // The image is in place: a close may go ahead while the host reads it.
      EndHandling();
      CallbackScope rowsOf(*camera, port);
      callback(0, port);
    } else {
      Log(1, "CameraWaitThread::HandleCameraEvent_FrameMode: ERROR: callback is not assigned, port=%d\n",
          camera->GetPort());
    }
  } else {
    // 4. Counted and logged; back to the stream grabber, unless the device is gone.
    LogFailedResult(
        "CameraWaitThread::HandleCameraEvent_FrameMode: ERROR: grab result is not OK, count=%d,%d-%d-%d %d:%d:%d "
        "port=%d, [%s - %s]\n",
        camera, result, ++sFailureCount);
    if (DeviceGone(camera)) return;
    Requeue(camera, result);
  }
}

void CameraWaitThread::HandleCameraEvent_LineCounterMode(Camera* camera) {
  // The result.
  Pylon::GrabResult result;
  if (!camera->GetStreamGrabber()->RetrieveResult(result)) return;
  // A failed chunk: counted, logged, given back.
  if (result.Status() != Pylon::Grabbed) {
    LogFailedResult(
        "CameraWaitThread::HandleCameraEvent_LineCounterMode: ERROR: grabbed not OK, count=%d,%d-%d-%d %d:%d:%d "
        "port=%d, [%s - %s]\n",
        camera, result, ++sFailureCount);
    if (DeviceGone(camera)) return;
    try {
      Requeue(camera, result);
    } catch (const GenICam::GenericException& e) {
      Log(1,
          "CameraWaitThread::HandleCameraEvent_LineCounterMode: GenICam EXCEPTION when requeueing a buffer after "
          "result was not success: %s\n",
          e.GetDescription());
    } catch (...) {
      Log(1,
          "CameraWaitThread::HandleCameraEvent_LineCounterMode: EXCEPTION when requeueing a buffer after result was "
          "not success");
    }
    return;
  }
  // A chunk after the grab stopped goes back.
  if (!camera->IsGrabbing()) {
    Log(1,
        "CameraWaitThread::HandleCameraEvent_LineCounterMode: WARNING: buffer arrived while no grab in progress is "
        "active, port=%d",
        camera->GetPort());
    try {
      Requeue(camera, result);
    } catch (const GenICam::GenericException& e) {
      Log(1,
          "CameraWaitThread::HandleCameraEvent_LineCounterMode: GenICam EXCEPTION when requeueing a no "
          "grab-in-progress result: %s\n",
          e.GetDescription());
    } catch (...) {
      Log(1, "CameraWaitThread::HandleCameraEvent_LineCounterMode: EXCEPTION when requeueing a no grab-in-progress "
             "result");
    }
    return;
  }
  // The chunk into the round buffer; an image may be formed.
  ImageBuffer* buffer = static_cast<ImageBuffer*>(const_cast<void*>(result.Context()));
  LineCounterState& counter = camera->GetLineCounter();
  bool formed = false;
  camera->GetRoundBuffer().ProcessBuffer(camera, buffer, formed);
  if (formed) {
    Log(2, "CameraWaitThread::HandleCameraEvent_LineCounterMode: Grab finished on port=%d, lineCounter=%d, clock=%ld",
        camera->GetPort(), counter.counter.load(), static_cast<long>(os::ClockMs()));
  }
  // Chunks the camera made that never arrived: their lines passed under it all the same, so the
  // counter steps over them and stays with the belt (the ejector's catch-up fires their lines).
  StepOverLostChunks(camera, result.GetBlockID(), buffer->height);
  // Stamping, a few byte writes and a counter step per line.
  const bool timeStamp = !camera->IsColor() && camera->GetParameter<bool>("EmbedTimeStamp");
  for (int j = 0; j < buffer->height; ++j) {
    unsigned char* line = buffer->GetLine(j);
    camera->EmbedLineCounter(line);
    counter.Advance(1);
    counter.clockStamp.store(os::ClockMs(), std::memory_order_relaxed);
    if (timeStamp) camera->EmbedTimeStamp(line);
  }
  // 8. A single image is complete: stop, and give back what came after it. Done before the host
  //    hears of the image, so that a grab it starts at once is neither stopped nor drained here.
  if (!camera->IsContinuous() && formed) {
    camera->MakeGrabbing(0);
    int removed = 0;
    Pylon::IStreamGrabber& grabber = *camera->GetStreamGrabber();
    while (grabber.GetWaitObject().Wait(0)) {
      Pylon::GrabResult pending;
      if (!grabber.RetrieveResult(pending)) break;
      try {
        grabber.QueueBuffer(pending.Handle(), pending.Context());
      } catch (const GenICam::GenericException& e) {
        Log(1,
            "CameraWaitThread::HandleCameraEvent_LineCounterMode: GenICam EXCEPTION when requeueing a non-continuous "
            "grab finish buffer: %s\n",
            e.GetDescription());
      } catch (...) {
        Log(1, "CameraWaitThread::HandleCameraEvent_LineCounterMode: EXCEPTION when requeueing a non-continuous grab "
               "finish buffer");
      }
      ++removed;
    }
    Log(3, "Camera::HandleCameraEvent_LineCounterMode: %d frames removed from pylon, port=%d", removed,
        camera->GetPort());
  }
  // 6. The host's callback, with the chunk's buffer work done: a close may go ahead meanwhile.
  const int port = camera->GetPort();
  EndHandling();
  if (formed) {
    if (CompleteCallback callback = camera->GetCompleteCB()) {
      Log(3, "CameraWaitThread::HandleCameraEvent_LineCounterMode: calling CB, port=%d\n", port);
      CallbackScope rowsOf(*camera, port);
      callback(0, port);
    } else {
      Log(1, "CameraWaitThread::HandleCameraEvent_LineCounterMode: ERROR: callback is not assigned, port=%d\n", port);
    }
  }
  // 7. The ejector, when the counter moved; the link is held while it is signalled.
  if (counter.lastSeen.load(std::memory_order_relaxed) != counter.counter.load(std::memory_order_relaxed)) {
    camera->WithEjector([&](Ejector& ejector) {
      Log(3, "CameraWaitThread::HandleCameraEvent_LineCounterMode: signaling ejector, linecounter=%d, port=%d",
          counter.counter.load(std::memory_order_relaxed), port);
      ejector.Signal();
    });
  }
}

#pragma once
// A device's stream grabber: buffers are registered, queued, filled by the device and retrieved as
// grab results in queue order. Its wait object is signalled exactly while results are pending.

#include <cstddef>
#include <cstdint>

#include "GenApi.h"
#include "GenICam.h"
#include "SdkExport.h"
#include "WaitObject.h"

namespace Pylon {

using StreamBufferHandle = void*;

enum EGrabStatus { _UndefinedGrabStatus = -1, Idle = 0, Queued = 1, Grabbed = 2, Canceled = 3, Failed = 4 };

class KORVEX_SDK_API GrabResult {
 public:
  EGrabStatus Status() const { return mStatus; }
  bool Succeeded() const { return mStatus == Grabbed; }
  void* Buffer() const { return mBuffer; }
  const void* Context() const { return mContext; }
  StreamBufferHandle Handle() const { return mHandle; }
  std::size_t GetPayloadSize() const { return mPayloadSize; }
  uint32_t GetErrorCode() const { return mErrorCode; }
  GenICam::gcstring GetErrorDescription() const { return mErrorDescription; }
  // The device's number of the frame (GigE Vision's block ID): 1 for the first frame after the
  // acquisition starts, one more for every frame the device sends, whether it arrives or not, so
  // that a gap tells of lost frames. Never wraps (a backend widens a 16-bit counter); 0: unknown.
  uint64_t GetBlockID() const { return mBlockId; }

  // Filled in by the stream grabber.
  EGrabStatus mStatus = _UndefinedGrabStatus;
  void* mBuffer = nullptr;
  const void* mContext = nullptr;
  StreamBufferHandle mHandle = nullptr;
  std::size_t mPayloadSize = 0;
  uint32_t mErrorCode = 0;
  GenICam::gcstring mErrorDescription;
  uint64_t mBlockId = 0;
};

class KORVEX_SDK_API IStreamGrabber {
 public:
  virtual ~IStreamGrabber() = default;
  virtual void Open() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // After MaxBufferSize and MaxNumBuffer are set; before buffers are registered.
  virtual void PrepareGrab() = 0;
  virtual void FinishGrab() = 0;
  virtual StreamBufferHandle RegisterBuffer(void* buffer, std::size_t size) = 0;
  // Returns the buffer's memory; a queued buffer cannot be deregistered.
  virtual const void* DeregisterBuffer(StreamBufferHandle handle) = 0;
  virtual void QueueBuffer(StreamBufferHandle handle, const void* context = nullptr) = 0;
  // Every queued buffer comes back as a result with the status Canceled.
  virtual void CancelGrab() = 0;
  // The oldest pending result; false when there is none.
  virtual bool RetrieveResult(GrabResult& result) = 0;
  virtual WaitObject& GetWaitObject() = 0;
  // MaxBufferSize and MaxNumBuffer.
  virtual GenApi::INodeMap* GetNodeMap() = 0;
};

}  // namespace Pylon

#pragma once
// A GigE Vision device's stream grabber over an Aravis stream. The driver's own memory is wrapped
// in Aravis buffers (never copied); Aravis's stream thread hands each filled buffer over the moment
// it is done, and it goes into a result queue of our own before the wait object is set, so that
// a waiter never misses one.
//
// Threads: the driver's threads call the IStreamGrabber functions; Aravis's stream thread calls
// OnBufferDone; the device's removal (the liveness probe or Aravis's heartbeat) calls
// DeviceRemoved. The device attaches and detaches it as it opens and closes. mThreadTurn
// serializes stopping and starting the stream thread (which waits for OnBufferDone to return, so
// it is never held with mLock); mLock guards the stream, the registrations, the results and the
// block count. The wait object is reset under mLock; a delivery sets it once mLock is let go, so
// a waiter may find nothing when it looks, never miss a result.

#include <arv.h>

#include <atomic>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "AravisNodes.h"
#include "BlockCounter.h"
#include "camera_sdk/RingQueue.h"
#include "camera_sdk/StreamGrabber.h"

namespace Pylon {
namespace Aravis {

// An integer the stream grabber keeps for itself (MaxBufferSize, MaxNumBuffer).
class SettingNode : public GenApi::IInteger {
 public:
  SettingNode(std::string name, int64_t value, int64_t min, int64_t max)
      : mName(std::move(name)), mValue(value), mMin(min), mMax(max) {}
  GenICam::gcstring GetName(bool = false) const override { return mName; }
  GenICam::gcstring GetDescription() const override { return ""; }
  GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }
  int64_t GetValue(bool = false, bool = false) override { return mValue; }
  void SetValue(int64_t value, bool = true) override;
  int64_t GetMin() override { return mMin; }
  int64_t GetMax() override { return mMax; }
  int64_t GetInc() override { return 1; }
  GenApi::ERepresentation GetRepresentation() override { return GenApi::Linear; }
  GenICam::gcstring ToString(bool = false, bool = false) override { return std::to_string(mValue); }
  void FromString(const GenICam::gcstring& value, bool verify = true) override;

 private:
  std::string mName;
  int64_t mValue, mMin, mMax;
};

class SettingsMap : public GenApi::INodeMap {
 public:
  SettingsMap();
  GenApi::INode* GetNode(const GenICam::gcstring& name) const override;
  void GetNodes(GenApi::NodeList_t& nodes) const override;
  void InvalidateNodes() const override {}
  mutable SettingNode maxBufferSize, maxNumBuffer;
};

class StreamGrabber : public IStreamGrabber {
 public:
  StreamGrabber() = default;
  ~StreamGrabber() override { Detach(); }
  StreamGrabber(const StreamGrabber&) = delete;
  StreamGrabber& operator=(const StreamGrabber&) = delete;

  void Open() override;
  void Close() override;
  bool IsOpen() const override;
  void PrepareGrab() override;
  void FinishGrab() override;
  StreamBufferHandle RegisterBuffer(void* buffer, std::size_t size) override;
  const void* DeregisterBuffer(StreamBufferHandle handle) override;
  void QueueBuffer(StreamBufferHandle handle, const void* context) override;
  void CancelGrab() override;
  bool RetrieveResult(GrabResult& result) override;
  WaitObject& GetWaitObject() override { return mWaitObject; }
  GenApi::INodeMap* GetNodeMap() override { return &mSettings; }

  // The device opened: the grabber works on it until Detach (the device closes), which drops
  // the stream and every registration.
  void Attach(std::shared_ptr<DeviceLink> link);
  void Detach();
  // The device is gone: every buffer still with Aravis comes back as a failed result, or one
  // failed result without a buffer when none is queued.
  void DeviceRemoved();
  // Complete frames received so far: each one shows the device alive.
  const std::atomic<uint64_t>& FramesReceived() const { return mFramesReceived; }

 private:
  struct Registration {
    ArvBuffer* buffer = nullptr;  // our reference; Aravis holds a second one while it is queued
    void* memory = nullptr;
    std::size_t size = 0;
    const void* context = nullptr;
    bool queued = false;
  };

  // Aravis's stream thread starts (it is placed beside the driver's threads) or has filled a buffer.
  static void OnStreamThread(void* self, ArvStreamCallbackType type, ArvBuffer* buffer);
  void OnBufferDone();
  // The buffer's result into the queue; false when it is none of ours queued. The caller holds mLock.
  bool Deliver(ArvBuffer* buffer);
  uint64_t BlockId(uint64_t frameId);
  // Stops Aravis's stream thread and takes every buffer back from it; the caller holds mThreadTurn.
  void StopStreamThread();
  // Every queued buffer comes back with this status and description; the caller holds mLock.
  void ReturnQueued(EGrabStatus status, const char* description);
  void AddResult(const GrabResult& result);
  void DestroyStream();
  void Check() const;
  Registration* Find(StreamBufferHandle handle) const;

  std::shared_ptr<DeviceLink> mLink;  // while the device is open; set under both locks
  SettingsMap mSettings;
  WaitObjectEx mWaitObject = WaitObjectEx::Create();
  std::mutex mThreadTurn;
  mutable std::mutex mLock;
  ArvStream* mStream = nullptr;  // from PrepareGrab to FinishGrab
  bool mThreadRunning = false;   // Aravis's stream thread; under mThreadTurn
  bool mOpen = false;
  std::map<Registration*, std::unique_ptr<Registration>> mRegistrations;
  RingQueue<GrabResult> mResults;
  unsigned mStartsSeen = 0;  // the device's acquisition starts the block count has seen
  BlockCounter mBlocks;
  std::atomic<uint64_t> mFramesReceived{0};
};

}  // namespace Aravis
}  // namespace Pylon

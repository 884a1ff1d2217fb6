#pragma once
// One camera of the virtual GigE network: its node map, its stream grabber and the frame producer
// that fills queued buffers at the line rate (or when a test asks).
//
// Threads: host threads use the device, the node map and the stream grabber; the producer thread
// fills buffers; tests call the control functions. mLock guards everything of the camera: node
// values, the grabber's queues, the acquisition state and the ground-truth file.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "camera_sdk/RingQueue.h"
#include "VirtualNodes.h"
#include "camera_sdk/Device.h"
#include "camera_sdk/StreamGrabber.h"

namespace Pylon {
namespace Virtual {

struct CameraConfig {
  std::string fullName;
  std::string friendlyName;
  std::string serialNumber;
  bool colour = false;
  int sensorWidth = 2048;
  int maxHeight = 8192;
  double lineRate = 10000.0;       // lines per second, the initial AcquisitionLineRateAbs
  std::string pattern = "conveyor";  // ramp, conveyor or none
  bool freeRunning = true;          // frames follow the line rate; off: only ProduceFrames makes them
  int payloadPadding = 0;           // bytes each frame carries beyond its pixels, as chunk data would
  std::string groundTruth;          // a file: every frame and every conveyor product, from each open
  int dropEvery = 0;                // one frame in this many is lost on its way, as a packet would be
  bool realTime = false;            // the free-running producer at real-time priority (where granted)
};

// The conveyor's geometry in belt lines (a line's index counted from the device's open).
constexpr int64_t kProductPitch = 700;  // a product begins every kProductPitch lines ...
constexpr int64_t kProductStart = 150;  // ... this far into its pitch ...
constexpr int64_t kProductLines = 400;  // ... and is this long
inline bool ProductFlawed(int64_t product) { return product % 3 == 2; }

class VirtualCamera;

class VirtualStreamGrabber : public IStreamGrabber {
 public:
  explicit VirtualStreamGrabber(VirtualCamera& camera);
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
  GenApi::INodeMap* GetNodeMap() override { return &mNodes; }

  // For the producer, with the camera's lock held.
  struct Queued {
    StreamBufferHandle handle;
    const void* context;
  };
  bool TakeQueued(Queued& queued);
  std::size_t BufferSize(StreamBufferHandle handle) const;
  void* Memory(StreamBufferHandle handle) const;
  void AddResult(const GrabResult& result);
  void Reset();  // the device closed: everything is dropped
  // The device is gone: every buffer still queued comes back as a failed result (retrievable
  // still), or one failed result without a buffer when none is queued; it wakes the waiter.
  void FailQueued(const std::string& description);

 private:
  void Check() const;

  VirtualCamera& mCamera;
  NodeMap mNodes;
  IntegerNode& mMaxBufferSize;
  IntegerNode& mMaxNumBuffer;
  bool mOpen = false;
  bool mPrepared = false;
  std::map<StreamBufferHandle, std::pair<void*, std::size_t>> mRegistered;
  RingQueue<Queued> mQueue;
  RingQueue<GrabResult> mResults;
  WaitObjectEx mWaitObject = WaitObjectEx::Create(false);  // signalled exactly while mResults is not empty
  uintptr_t mNextHandle = 1;
};

class VirtualCamera : public NodeContext {
 public:
  explicit VirtualCamera(CameraConfig config);
  ~VirtualCamera() override;
  VirtualCamera(const VirtualCamera&) = delete;
  VirtualCamera& operator=(const VirtualCamera&) = delete;

  const CameraConfig& Config() const { return mConfig; }
  CDeviceInfo Info() const;

  // The device side.
  void Open();
  void Close();
  bool IsOpen() const;
  NodeMap& Nodes() { return mNodes; }
  VirtualStreamGrabber& Grabber() { return mGrabber; }

  std::recursive_mutex& Lock() const override { return mLock; }
  void CheckNode(const std::string& name) const override;
  void CheckDevice() const override;
  void NodeWritten(const std::string& name) override { ++mNodeWrites[name]; }

  // Test control.
  void SetFreeRunning(bool on);
  int ProduceFrames(int count);
  void InjectFailedResults(int count);
  void SetNodeFailure(const std::string& node, const char* description);
  // Fails what is queued and calls every removal listener, on the calling thread.
  void Unplug();
  bool IsUnplugged() const;
  // The device objects' removal notices: a listener gets a key to leave by; leaving waits for a
  // call under way.
  int AddRemovalListener(std::function<void()> listener);
  void RemoveRemovalListener(int key);
  int64_t DroppedFrames() const;
  int64_t LinesAcquired() const;
  int64_t LastCompletionNs() const { return mLastCompletionNs.load(); }
  bool IsAcquiring() const;
  int NodeWrites(const std::string& name) const;

 private:
  void BuildNodeMap();
  void StartAcquisition();
  void StopAcquisition();
  void ProduceOneFrame();  // with mLock held
  void Fill(uint8_t* data, int width, int height, int offsetX, int bytesPerPixel) const;
  void ProducerMain();
  int BytesPerPixel();
  // With mLock held: the frame of lines [first, first + lines) and the products it completes.
  void RecordGroundTruth(int64_t first, int lines, bool delivered, int64_t timeNs);

  CameraConfig mConfig;
  mutable std::recursive_mutex mLock;
  std::condition_variable_any mProducerWake;
  NodeMap mNodes;
  VirtualStreamGrabber mGrabber;
  bool mOpen = false;
  bool mUnplugged = false;
  bool mAcquiring = false;
  int mFramesToGo = 0;  // SingleFrame: 1; Continuous: -1 (no end)
  int mFailuresToInject = 0;
  int64_t mLineIndex = 0;  // absolute index of the next line, from the device's open
  int64_t mDropped = 0;
  int64_t mFrames = 0;                 // frames made since the open, delivered or not
  uint64_t mBlockId = 0;               // the last frame's number since the acquisition started
  std::FILE* mGroundTruth = nullptr;   // open from Open to Close when the config names a file
  std::atomic<int64_t> mLastCompletionNs{0};
  std::map<std::string, std::string> mNodeFailures;
  std::map<std::string, int> mNodeWrites;
  bool mStopProducer = false;
  std::thread mProducer;
  std::mutex mListenerLock;  // held while listeners are called; never under mLock
  std::map<int, std::function<void()>> mRemovalListeners;  // guarded by mListenerLock
  int mNextListenerKey = 1;                                  // guarded by mListenerLock
};

}  // namespace Virtual
}  // namespace Pylon

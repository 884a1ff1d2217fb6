#include "AravisStream.h"

#include <sched.h>

#include <cstring>

#include "os/Thread.h"

namespace Pylon {
namespace Aravis {

namespace {

// The error code of a failed result: Aravis's buffer status in the low byte.
constexpr uint32_t kFailure = 0xE1000000;

const char* StatusText(ArvBufferStatus status) {
  switch (status) {
    case ARV_BUFFER_STATUS_CLEARED: return "The buffer was cleared before it was filled";
    case ARV_BUFFER_STATUS_TIMEOUT: return "The frame's packets did not all arrive in time";
    case ARV_BUFFER_STATUS_MISSING_PACKETS: return "Packets of the frame were lost";
    case ARV_BUFFER_STATUS_WRONG_PACKET_ID: return "A packet of another frame arrived";
    case ARV_BUFFER_STATUS_SIZE_MISMATCH: return "The frame is larger than the buffer";
    case ARV_BUFFER_STATUS_FILLING: return "The frame was still being filled";
    case ARV_BUFFER_STATUS_ABORTED: return "The grab was canceled";
    default: return "The frame failed for an unknown reason";
  }
}

// The bytes a frame brought: its image, or the whole buffer for other payloads.
std::size_t PayloadOf(ArvBuffer* buffer, std::size_t bufferSize) {
  if (arv_buffer_get_payload_type(buffer) != ARV_BUFFER_PAYLOAD_TYPE_IMAGE) return bufferSize;
  const std::size_t bits = ARV_PIXEL_FORMAT_BIT_PER_PIXEL(arv_buffer_get_image_pixel_format(buffer));
  const std::size_t bytes = static_cast<std::size_t>(arv_buffer_get_image_width(buffer)) *
                            static_cast<std::size_t>(arv_buffer_get_image_height(buffer)) * bits / 8;
  return bytes <= bufferSize ? bytes : bufferSize;
}

}  // namespace

// ---- SettingNode, SettingsMap ----

void SettingNode::SetValue(int64_t value, bool) {
  if (value < mMin || value > mMax) {
    throw GenICam::OutOfRangeException(mName + ": " + std::to_string(value) + " is outside " + std::to_string(mMin) +
                                       ".." + std::to_string(mMax));
  }
  mValue = value;
}

void SettingNode::FromString(const GenICam::gcstring& value, bool verify) {
  SetValue(ParseInteger(mName, value.c_str()), verify);
}

SettingsMap::SettingsMap()
    : maxBufferSize("MaxBufferSize", 131072, 1, int64_t{1} << 32), maxNumBuffer("MaxNumBuffer", 16, 1, 1024) {}

GenApi::INode* SettingsMap::GetNode(const GenICam::gcstring& name) const {
  if (std::strcmp(name.c_str(), "MaxBufferSize") == 0) return &maxBufferSize;
  if (std::strcmp(name.c_str(), "MaxNumBuffer") == 0) return &maxNumBuffer;
  return nullptr;
}

void SettingsMap::GetNodes(GenApi::NodeList_t& nodes) const { nodes = {&maxBufferSize, &maxNumBuffer}; }

// ---- StreamGrabber ----

void StreamGrabber::Attach(std::shared_ptr<DeviceLink> link) {
  std::lock_guard<std::mutex> threadTurn(mThreadTurn);
  std::lock_guard<std::mutex> guard(mLock);
  mLink = std::move(link);
}

void StreamGrabber::Detach() {
  Close();
  std::lock_guard<std::mutex> threadTurn(mThreadTurn);
  std::lock_guard<std::mutex> guard(mLock);
  mLink.reset();
}

void StreamGrabber::Check() const {
  if (mLink == nullptr) throw GenICam::LogicalErrorException("The device of the stream grabber is not open");
  if (mLink->IsRemoved()) mLink->RaiseRemoved();
}

StreamGrabber::Registration* StreamGrabber::Find(StreamBufferHandle handle) const {
  const auto found = mRegistrations.find(static_cast<Registration*>(handle));
  return found != mRegistrations.end() ? found->second.get() : nullptr;
}

void StreamGrabber::Open() {
  std::lock_guard<std::mutex> guard(mLock);
  Check();
  if (mOpen) throw GenICam::LogicalErrorException("The stream grabber is already open");
  mOpen = true;
}

void StreamGrabber::Close() {
  std::lock_guard<std::mutex> threadTurn(mThreadTurn);
  DestroyStream();
  std::lock_guard<std::mutex> guard(mLock);
  for (auto& entry : mRegistrations) g_object_unref(entry.second->buffer);
  mRegistrations.clear();
  mResults.clear();
  mWaitObject.Reset();
  mOpen = false;
}

bool StreamGrabber::IsOpen() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mOpen;
}

void StreamGrabber::PrepareGrab() {
  std::lock_guard<std::mutex> threadTurn(mThreadTurn);
  {
    std::lock_guard<std::mutex> guard(mLock);
    Check();
    if (!mOpen) throw GenICam::LogicalErrorException("The stream grabber is not open");
    if (mStream != nullptr) return;
  }
  ArvStream* stream = nullptr;
  {
    auto turn = mLink->Enter();
    GError* error = nullptr;
    stream = arv_device_create_stream(mLink->Device(), &StreamGrabber::OnStreamThread, this, &error);
    if (stream == nullptr) Raise(error, mLink->Name() + ": stream");
  }
  // A receive buffer as large as a frame (as far as the system's limit allows), so that a busy
  // host loses no packets between two reads.
  if (ARV_IS_GV_STREAM(stream)) g_object_set(stream, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_AUTO, nullptr);
  std::lock_guard<std::mutex> guard(mLock);
  mStream = stream;
  mThreadRunning = true;  // Aravis starts it with the stream
  mBlocks.Restart();
}

void StreamGrabber::FinishGrab() {
  std::lock_guard<std::mutex> threadTurn(mThreadTurn);
  {
    std::lock_guard<std::mutex> guard(mLock);
    for (const auto& entry : mRegistrations) {
      if (entry.second->queued) throw GenICam::LogicalErrorException("FinishGrab with buffers still queued");
    }
  }
  DestroyStream();
  std::lock_guard<std::mutex> guard(mLock);
  mResults.clear();
  mWaitObject.Reset();
}

void StreamGrabber::DestroyStream() {
  ArvStream* stream = nullptr;
  {
    std::lock_guard<std::mutex> guard(mLock);
    stream = mStream;
    mStream = nullptr;
  }
  if (stream == nullptr) return;
  // Stopping waits for a handler under way; the stream's release stops the thread once more and
  // wants it running, so it runs again, now with nothing to hand over.
  if (mThreadRunning) arv_stream_stop_thread(stream, TRUE);
  arv_stream_start_thread(stream);
  mThreadRunning = false;
  {
    std::lock_guard<std::mutex> guard(mLock);
    for (auto& entry : mRegistrations) entry.second->queued = false;
  }
  Release(stream, mLink != nullptr && mLink->IsRemoved());
}

StreamBufferHandle StreamGrabber::RegisterBuffer(void* buffer, std::size_t size) {
  std::lock_guard<std::mutex> guard(mLock);
  Check();
  if (mStream == nullptr) throw GenICam::LogicalErrorException("RegisterBuffer before PrepareGrab");
  if (buffer == nullptr || size == 0) throw GenICam::InvalidArgumentException("RegisterBuffer without memory");
  if (static_cast<int64_t>(size) > mSettings.maxBufferSize.GetValue()) {
    throw GenICam::LogicalErrorException("Buffer larger than MaxBufferSize");
  }
  if (static_cast<int64_t>(mRegistrations.size()) >= mSettings.maxNumBuffer.GetValue()) {
    throw GenICam::LogicalErrorException("More buffers than MaxNumBuffer");
  }
  auto registration = std::make_unique<Registration>();
  registration->memory = buffer;
  registration->size = size;
  // Over the driver's memory: Aravis writes the frame straight into it and never frees it.
  registration->buffer = arv_buffer_new_full(size, buffer, registration.get(), nullptr);
  Registration* handle = registration.get();
  mRegistrations.emplace(handle, std::move(registration));
  return handle;
}

const void* StreamGrabber::DeregisterBuffer(StreamBufferHandle handle) {
  std::lock_guard<std::mutex> guard(mLock);
  Registration* registration = Find(handle);
  if (registration == nullptr) throw GenICam::InvalidArgumentException("DeregisterBuffer of an unknown handle");
  if (registration->queued) throw GenICam::LogicalErrorException("DeregisterBuffer of a queued buffer");
  const void* memory = registration->memory;
  g_object_unref(registration->buffer);
  mRegistrations.erase(registration);
  return memory;
}

void StreamGrabber::QueueBuffer(StreamBufferHandle handle, const void* context) {
  std::lock_guard<std::mutex> guard(mLock);
  Check();
  Registration* registration = Find(handle);
  if (registration == nullptr) throw GenICam::InvalidArgumentException("QueueBuffer of an unknown handle");
  if (registration->queued) throw GenICam::LogicalErrorException("QueueBuffer of a buffer already queued");
  if (mStream == nullptr) throw GenICam::LogicalErrorException("QueueBuffer before PrepareGrab");
  registration->context = context;
  registration->queued = true;
  // Aravis takes a reference of its own; it comes back with the filled buffer.
  arv_stream_push_buffer(mStream, ARV_BUFFER(g_object_ref(registration->buffer)));
}

void StreamGrabber::CancelGrab() {
  std::lock_guard<std::mutex> threadTurn(mThreadTurn);
  Check();
  StopStreamThread();
  std::lock_guard<std::mutex> guard(mLock);
  ReturnQueued(Canceled, "The grab was canceled");
  if (mStream != nullptr) {
    arv_stream_start_thread(mStream);
    mThreadRunning = true;
  }
}

void StreamGrabber::StopStreamThread() {
  ArvStream* stream = nullptr;
  {
    std::lock_guard<std::mutex> guard(mLock);
    stream = mStream;
  }
  // A frame under way comes back through OnBufferDone as aborted; the rest Aravis lets go of.
  if (stream != nullptr && mThreadRunning) arv_stream_stop_thread(stream, TRUE);
  mThreadRunning = false;
}

void StreamGrabber::ReturnQueued(EGrabStatus status, const char* description) {
  for (auto& entry : mRegistrations) {
    Registration& registration = *entry.second;
    if (!registration.queued) continue;
    registration.queued = false;
    GrabResult result;
    result.mStatus = status;
    result.mHandle = &registration;
    result.mContext = registration.context;
    result.mBuffer = registration.memory;
    result.mErrorCode = status == Failed ? kFailure | 0xFF : 0;
    result.mErrorDescription = description;
    AddResult(result);
  }
}

void StreamGrabber::DeviceRemoved() {
  std::lock_guard<std::mutex> threadTurn(mThreadTurn);
  StopStreamThread();
  std::lock_guard<std::mutex> guard(mLock);
  if (!mOpen) return;
  const char* description = "The device dropped off the network";
  bool anyQueued = false;
  for (const auto& entry : mRegistrations) anyQueued = anyQueued || entry.second->queued;
  if (anyQueued) {
    ReturnQueued(Failed, description);
  } else {
    GrabResult result;
    result.mStatus = Failed;
    result.mErrorCode = kFailure | 0xFF;
    result.mErrorDescription = description;
    AddResult(result);
  }
}

void StreamGrabber::OnStreamThread(void* self, ArvStreamCallbackType type, ArvBuffer*) {
  if (type == ARV_STREAM_CALLBACK_TYPE_BUFFER_DONE) {
    static_cast<StreamGrabber*>(self)->OnBufferDone();
    return;
  }
  if (type != ARV_STREAM_CALLBACK_TYPE_INIT) return;
  // On the processor the driver's real-time threads share: a frame is handed over to the grab
  // wait thread without a wake-up across processors, and the host reads its rows from a warm
  // cache. At the normal policy: under real-time scheduling the thread would wake for every
  // packet instead of taking them in batches, for a fifth more processor time a frame, and the
  // socket's frame-sized buffer already rides out a busy spell.
  cpu_set_t driverCpu;
  CPU_ZERO(&driverCpu);
  const int cpu = os::Thread::LastAllowedCpu();
  if (cpu >= 0) {
    CPU_SET(cpu, &driverCpu);
    sched_setaffinity(0, sizeof driverCpu, &driverCpu);
  }
}

void StreamGrabber::OnBufferDone() {
  // Aravis puts the buffer in its output queue before it calls back, so it is taken from there at
  // once: a callback costs the stream thread less than the "new-buffer" signal's emission. A
  // stream being destroyed (mStream cleared) keeps its buffers; they go with it.
  std::unique_lock<std::mutex> guard(mLock);
  if (mStream == nullptr) return;
  bool delivered = false;
  while (ArvBuffer* buffer = arv_stream_try_pop_buffer(mStream)) {
    delivered = Deliver(buffer) || delivered;
    g_object_unref(buffer);  // the reference Aravis held while it was queued
  }
  // The waiter is woken after the lock is let go: woken first, on this processor and at a higher
  // priority, it would only wait for it.
  guard.unlock();
  if (delivered) mWaitObject.Signal();
}

bool StreamGrabber::Deliver(ArvBuffer* buffer) {
  Registration* registration = Find(const_cast<void*>(arv_buffer_get_user_data(buffer)));
  if (registration == nullptr || registration->buffer != buffer || !registration->queued) return false;
  registration->queued = false;
  const ArvBufferStatus status = arv_buffer_get_status(buffer);
  GrabResult result;
  result.mHandle = registration;
  result.mContext = registration->context;
  result.mBuffer = registration->memory;
  if (status == ARV_BUFFER_STATUS_SUCCESS) {
    result.mStatus = Grabbed;
    result.mPayloadSize = PayloadOf(buffer, registration->size);
    result.mBlockId = BlockId(arv_buffer_get_frame_id(buffer));
    mFramesReceived.fetch_add(1, std::memory_order_relaxed);
  } else {
    result.mStatus = status == ARV_BUFFER_STATUS_ABORTED ? Canceled : Failed;
    result.mErrorCode = kFailure | (static_cast<uint32_t>(status) & 0xFF);
    result.mErrorDescription = StatusText(status);
  }
  mResults.push_back(result);
  return true;
}

uint64_t StreamGrabber::BlockId(uint64_t frameId) {
  // Counted afresh from the first frame after each AcquisitionStart.
  const unsigned starts = mLink->Starts();
  if (starts != mStartsSeen) {
    mStartsSeen = starts;
    mBlocks.Restart();
  }
  return mBlocks.Next(frameId);
}

void StreamGrabber::AddResult(const GrabResult& result) {
  mResults.push_back(result);
  mWaitObject.Signal();
}

bool StreamGrabber::RetrieveResult(GrabResult& result) {
  std::lock_guard<std::mutex> guard(mLock);
  // The failed results of a removed device can still be taken; nothing else works any more.
  if (mResults.empty()) {
    Check();
    return false;
  }
  result = mResults.front();
  mResults.pop_front();
  if (mResults.empty()) mWaitObject.Reset();
  return true;
}

}  // namespace Aravis
}  // namespace Pylon

#include "VirtualCamera.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "os/Thread.h"

namespace Pylon {
namespace Virtual {

namespace {

using GenApi::NA;
using GenApi::RO;
using GenApi::RW;
using GenApi::WO;

constexpr int64_t kMono8 = 0x01080001;
constexpr int64_t kRGB8Packed = 0x02180014;
constexpr int64_t kBGR8Packed = 0x02180015;
constexpr int64_t kSingleFrame = 0;
constexpr int64_t kContinuous = 2;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// ---- VirtualStreamGrabber ----

VirtualStreamGrabber::VirtualStreamGrabber(VirtualCamera& camera)
    : mCamera(camera),
      mMaxBufferSize(mNodes.Add<IntegerNode>(camera, "MaxBufferSize", "Largest buffer to be registered", RW,
                                             int64_t{131072}, int64_t{1}, int64_t{1} << 32)),
      mMaxNumBuffer(mNodes.Add<IntegerNode>(camera, "MaxNumBuffer", "Most buffers to be registered", RW, int64_t{16},
                                            int64_t{1}, int64_t{1024})) {}

void VirtualStreamGrabber::Check() const {
  mCamera.CheckNode("StreamGrabber");
  if (!mCamera.IsOpen()) throw GenICam::LogicalErrorException("The device of the stream grabber is not open");
}

void VirtualStreamGrabber::Open() {
  std::lock_guard<std::recursive_mutex> guard(mCamera.Lock());
  Check();
  if (mOpen) throw GenICam::LogicalErrorException("The stream grabber is already open");
  mOpen = true;
}

void VirtualStreamGrabber::Close() {
  std::lock_guard<std::recursive_mutex> guard(mCamera.Lock());
  mCamera.CheckNode("StreamGrabber");
  Reset();
}

bool VirtualStreamGrabber::IsOpen() const {
  std::lock_guard<std::recursive_mutex> guard(mCamera.Lock());
  return mOpen;
}

void VirtualStreamGrabber::PrepareGrab() {
  std::lock_guard<std::recursive_mutex> guard(mCamera.Lock());
  Check();
  if (!mOpen) throw GenICam::LogicalErrorException("The stream grabber is not open");
  mPrepared = true;
}

void VirtualStreamGrabber::FinishGrab() {
  std::lock_guard<std::recursive_mutex> guard(mCamera.Lock());
  Check();
  if (!mQueue.empty()) throw GenICam::LogicalErrorException("FinishGrab with buffers still queued");
  mResults.clear();
  mWaitObject.Reset();
  mPrepared = false;
}

StreamBufferHandle VirtualStreamGrabber::RegisterBuffer(void* buffer, std::size_t size) {
  std::lock_guard<std::recursive_mutex> guard(mCamera.Lock());
  Check();
  if (!mPrepared) throw GenICam::LogicalErrorException("RegisterBuffer before PrepareGrab");
  if (buffer == nullptr || size == 0) throw GenICam::InvalidArgumentException("RegisterBuffer without memory");
  if (static_cast<int64_t>(size) > mMaxBufferSize.GetValue()) {
    throw GenICam::LogicalErrorException("Buffer larger than MaxBufferSize");
  }
  if (static_cast<int64_t>(mRegistered.size()) >= mMaxNumBuffer.GetValue()) {
    throw GenICam::LogicalErrorException("More buffers than MaxNumBuffer");
  }
  StreamBufferHandle handle = reinterpret_cast<StreamBufferHandle>(mNextHandle++);
  mRegistered[handle] = {buffer, size};
  return handle;
}

const void* VirtualStreamGrabber::DeregisterBuffer(StreamBufferHandle handle) {
  std::lock_guard<std::recursive_mutex> guard(mCamera.Lock());
  Check();
  const auto found = mRegistered.find(handle);
  if (found == mRegistered.end()) throw GenICam::InvalidArgumentException("DeregisterBuffer of an unknown handle");
  for (std::size_t i = 0; i < mQueue.size(); ++i) {
    if (mQueue[i].handle == handle) throw GenICam::LogicalErrorException("DeregisterBuffer of a queued buffer");
  }
  const void* memory = found->second.first;
  mRegistered.erase(found);
  return memory;
}

void VirtualStreamGrabber::QueueBuffer(StreamBufferHandle handle, const void* context) {
  std::lock_guard<std::recursive_mutex> guard(mCamera.Lock());
  Check();
  if (mRegistered.find(handle) == mRegistered.end()) {
    throw GenICam::InvalidArgumentException("QueueBuffer of an unknown handle");
  }
  for (std::size_t i = 0; i < mQueue.size(); ++i) {
    if (mQueue[i].handle == handle) throw GenICam::LogicalErrorException("QueueBuffer of a buffer already queued");
  }
  mQueue.push_back({handle, context});
}

void VirtualStreamGrabber::CancelGrab() {
  std::lock_guard<std::recursive_mutex> guard(mCamera.Lock());
  Check();
  while (!mQueue.empty()) {
    const Queued queued = mQueue.front();
    mQueue.pop_front();
    GrabResult result;
    result.mStatus = Canceled;
    result.mHandle = queued.handle;
    result.mContext = queued.context;
    result.mBuffer = mRegistered[queued.handle].first;
    result.mErrorDescription = "The grab was canceled";
    AddResult(result);
  }
}

bool VirtualStreamGrabber::RetrieveResult(GrabResult& result) {
  std::lock_guard<std::recursive_mutex> guard(mCamera.Lock());
  // The failed results of a removed device can still be taken; nothing else works any more.
  if (!mCamera.IsUnplugged() || mResults.empty()) Check();
  if (mResults.empty()) return false;
  result = mResults.front();
  mResults.pop_front();
  if (mResults.empty()) mWaitObject.Reset();
  return true;
}

bool VirtualStreamGrabber::TakeQueued(Queued& queued) {
  if (mQueue.empty()) return false;
  queued = mQueue.front();
  mQueue.pop_front();
  return true;
}

void* VirtualStreamGrabber::Memory(StreamBufferHandle handle) const {
  const auto found = mRegistered.find(handle);
  return found != mRegistered.end() ? found->second.first : nullptr;
}

std::size_t VirtualStreamGrabber::BufferSize(StreamBufferHandle handle) const {
  const auto found = mRegistered.find(handle);
  return found != mRegistered.end() ? found->second.second : 0;
}

void VirtualStreamGrabber::AddResult(const GrabResult& result) {
  mResults.push_back(result);
  mWaitObject.Signal();
}

void VirtualStreamGrabber::FailQueued(const std::string& description) {
  if (!mOpen) return;
  // With no buffer queued (all of them with the host), one result without a buffer carries the news.
  if (mQueue.empty()) {
    GrabResult result;
    result.mStatus = Failed;
    result.mErrorCode = 0xE1000001;
    result.mErrorDescription = description;
    AddResult(result);
  }
  while (!mQueue.empty()) {
    const Queued queued = mQueue.front();
    mQueue.pop_front();
    GrabResult result;
    result.mStatus = Failed;
    result.mHandle = queued.handle;
    result.mContext = queued.context;
    result.mBuffer = mRegistered[queued.handle].first;
    result.mErrorCode = 0xE1000001;
    result.mErrorDescription = description;
    AddResult(result);
  }
}

void VirtualStreamGrabber::Reset() {
  mQueue.clear();
  mResults.clear();
  mRegistered.clear();
  mWaitObject.Reset();
  mOpen = false;
  mPrepared = false;
}

// ---- VirtualCamera ----

VirtualCamera::VirtualCamera(CameraConfig config) : mConfig(std::move(config)), mGrabber(*this) {
  BuildNodeMap();
  mProducer = std::thread([this] { ProducerMain(); });
}

VirtualCamera::~VirtualCamera() {
  {
    std::lock_guard<std::recursive_mutex> guard(mLock);
    mStopProducer = true;
  }
  mProducerWake.notify_all();
  mProducer.join();
  if (mGroundTruth != nullptr) std::fclose(mGroundTruth);
}

CDeviceInfo VirtualCamera::Info() const {
  CDeviceInfo info;
  info.mFullName = mConfig.fullName;
  info.mFriendlyName = mConfig.friendlyName;
  info.mSerialNumber = mConfig.serialNumber;
  const std::string::size_type space = mConfig.fullName.find(' ');
  const std::string::size_type end = mConfig.fullName.find('#');
  info.mModelName = space == std::string::npos ? mConfig.fullName : mConfig.fullName.substr(space + 1, end - space - 1);
  info.mDeviceClass = "BaslerGigE";
  return info;
}

void VirtualCamera::CheckDevice() const {
  if (mUnplugged) throw GenICam::RuntimeException("The device has been removed: " + mConfig.friendlyName);
}

void VirtualCamera::CheckNode(const std::string& name) const {
  CheckDevice();
  const auto failure = mNodeFailures.find(name);
  if (failure != mNodeFailures.end()) throw GenICam::RuntimeException(failure->second);
}

void VirtualCamera::Open() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  CheckNode("Device");
  if (mOpen) throw GenICam::AccessException("The device is already open: " + mConfig.friendlyName);
  mOpen = true;
  mLineIndex = 0;
  mDropped = 0;
  mFrames = 0;
  if (!mConfig.groundTruth.empty()) {
    if (mGroundTruth != nullptr) std::fclose(mGroundTruth);
    mGroundTruth = std::fopen(mConfig.groundTruth.c_str(), "w");
    if (mGroundTruth == nullptr) {
      std::fprintf(stderr, "KORVEX_CAMERAS: cannot write the ground truth '%s'\n", mConfig.groundTruth.c_str());
    } else {
      std::fputs("kind,index,first_line,last_line,value,time_ns\n", mGroundTruth);
    }
  }
}

void VirtualCamera::Close() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  CheckNode("Device");
  mAcquiring = false;
  mGrabber.Reset();
  mOpen = false;
  if (mGroundTruth != nullptr) {
    std::fclose(mGroundTruth);
    mGroundTruth = nullptr;
  }
}

bool VirtualCamera::IsOpen() const {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return mOpen;
}

bool VirtualCamera::IsAcquiring() const {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return mAcquiring;
}

int VirtualCamera::BytesPerPixel() {
  auto& format = dynamic_cast<EnumerationNode&>(*mNodes.GetNode("PixelFormat"));
  return format.SelectorKey() == kMono8 ? 1 : 3;
}

void VirtualCamera::StartAcquisition() {
  auto& mode = dynamic_cast<EnumerationNode&>(*mNodes.GetNode("AcquisitionMode"));
  mFramesToGo = mode.SelectorKey() == kSingleFrame ? 1 : -1;
  mAcquiring = true;
  mBlockId = 0;
  mProducerWake.notify_all();
}

void VirtualCamera::StopAcquisition() {
  mAcquiring = false;
  mFramesToGo = 0;
  mProducerWake.notify_all();
}

void VirtualCamera::ProduceOneFrame() {
  auto& width = dynamic_cast<IntegerNode&>(*mNodes.GetNode("Width"));
  auto& height = dynamic_cast<IntegerNode&>(*mNodes.GetNode("Height"));
  auto& offsetX = dynamic_cast<IntegerNode&>(*mNodes.GetNode("OffsetX"));
  const int w = static_cast<int>(width.SelectorKey());
  const int h = static_cast<int>(height.SelectorKey());
  const int ox = static_cast<int>(offsetX.SelectorKey());
  const int bytesPerPixel = BytesPerPixel();
  const std::size_t payload = static_cast<std::size_t>(w) * h * bytesPerPixel + mConfig.payloadPadding;

  // Lost on its way, or no buffer for it: the frame is lost, its lines still pass under the camera.
  const uint64_t block = ++mBlockId;
  const bool lostOnTheWay = mConfig.dropEvery > 0 && block % static_cast<uint64_t>(mConfig.dropEvery) == 0;
  VirtualStreamGrabber::Queued queued{};
  if (lostOnTheWay || !mGrabber.TakeQueued(queued)) {
    ++mDropped;
    RecordGroundTruth(mLineIndex, h, false, NowNs());
  } else {
    GrabResult result;
    result.mBlockId = block;
    result.mHandle = queued.handle;
    result.mContext = queued.context;
    const std::size_t size = mGrabber.BufferSize(queued.handle);
    result.mBuffer = mGrabber.Memory(queued.handle);
    if (mFailuresToInject > 0) {
      --mFailuresToInject;
      result.mStatus = Failed;
      result.mErrorCode = 0xE1000014;
      result.mErrorDescription = "The buffer was incompletely grabbed (injected failure)";
    } else if (size < payload) {
      result.mStatus = Failed;
      result.mErrorCode = 0xE100001A;
      result.mErrorDescription = "The buffer is smaller than the payload";
    } else {
      result.mStatus = Grabbed;
      result.mPayloadSize = payload;
    }
    if (result.mStatus == Grabbed) Fill(static_cast<uint8_t*>(result.mBuffer), w, h, ox, bytesPerPixel);
    mLastCompletionNs = NowNs();  // the frame is complete; the result becomes visible next
    RecordGroundTruth(mLineIndex, h, result.mStatus == Grabbed, mLastCompletionNs);
    mGrabber.AddResult(result);
  }
  mLineIndex += h;
  if (mFramesToGo > 0 && --mFramesToGo == 0) mAcquiring = false;
}

void VirtualCamera::RecordGroundTruth(int64_t first, int lines, bool delivered, int64_t timeNs) {
  if (mGroundTruth == nullptr) return;
  const int64_t last = first + lines - 1;
  std::fprintf(mGroundTruth, "frame,%lld,%lld,%lld,%d,%lld\n", static_cast<long long>(mFrames++),
               static_cast<long long>(first), static_cast<long long>(last), delivered ? 1 : 0,
               static_cast<long long>(timeNs));
  if (mConfig.pattern != "conveyor") return;
  // Every product whose last line lies in this frame: the first one ends at or after `first`.
  const int64_t lastOffset = kProductStart + kProductLines - 1;  // a product's last line in its pitch
  for (int64_t product = (first - lastOffset + kProductPitch - 1) / kProductPitch;; ++product) {
    const int64_t begin = product * kProductPitch + kProductStart;
    const int64_t end = begin + kProductLines - 1;
    if (end > last) break;
    if (end < first) continue;
    std::fprintf(mGroundTruth, "product,%lld,%lld,%lld,%d,%lld\n", static_cast<long long>(product),
                 static_cast<long long>(begin), static_cast<long long>(end), ProductFlawed(product) ? 1 : 0,
                 static_cast<long long>(timeNs));
  }
}

void VirtualCamera::Fill(uint8_t* data, int width, int height, int offsetX, int bytesPerPixel) const {
  if (mConfig.pattern == "none") return;
  const bool ramp = mConfig.pattern == "ramp";
  for (int y = 0; y < height; ++y) {
    const int64_t L = mLineIndex + y;
    uint8_t* line = data + static_cast<std::size_t>(y) * width * bytesPerPixel;
    if (ramp) {
      for (int x = 0; x < width; ++x) {
        const int64_t c = offsetX + x;
        if (bytesPerPixel == 1) {
          line[x] = static_cast<uint8_t>((c + L) % 256);
        } else {
          line[3 * x] = static_cast<uint8_t>(c % 256);
          line[3 * x + 1] = static_cast<uint8_t>(L % 256);
          line[3 * x + 2] = static_cast<uint8_t>((c + L) % 256);
        }
      }
      continue;
    }
    // The conveyor: a textured belt; every 700 lines a product of 400 lines across the middle
    // three fifths of the belt; every third product carries a dark blemish at its centre.
    const int64_t product = L / kProductPitch;
    const int64_t along = L % kProductPitch;
    const bool onProduct = along >= kProductStart && along < kProductStart + kProductLines;
    const bool flawed = ProductFlawed(product);
    const int left = mConfig.sensorWidth / 5;
    const int right = mConfig.sensorWidth - left;
    const int centre = mConfig.sensorWidth / 2;
    for (int x = 0; x < width; ++x) {
      const int c = offsetX + x;
      uint8_t r, g, b;
      if (onProduct && c >= left && c < right) {
        const int64_t dy = along - (kProductStart + kProductLines / 2);
        const int64_t dx = c - centre;
        if (flawed && dx * dx + dy * dy < 45 * 45) {
          r = g = b = 25;
        } else {
          r = 220;
          g = 165;
          b = 60;
        }
      } else {
        const uint8_t belt = static_cast<uint8_t>(55 + (((c / 16) + (L / 16)) % 2) * 12);
        r = g = b = belt;
      }
      if (bytesPerPixel == 1) {
        line[x] = static_cast<uint8_t>((r * 30 + g * 59 + b * 11) / 100);
      } else {
        line[3 * x] = r;
        line[3 * x + 1] = g;
        line[3 * x + 2] = b;
      }
    }
    // The belt line in the line's last four bytes, so that a host can check its counter stamps
    // against the belt.
    const int bytes = width * bytesPerPixel;
    if (bytes >= 8) {
      for (int i = 0; i < 4; ++i) line[bytes - 4 + i] = static_cast<uint8_t>(static_cast<uint64_t>(L) >> (8 * i));
    }
  }
}

void VirtualCamera::ProducerMain() {
  // A camera's lines keep coming however busy the host is, and its delivery holds the lock the grab
  // wait thread needs: asked for, at real-time priority where the system grants it (below the
  // driver's threads), so that other work on the machine delays neither.
  if (mConfig.realTime) os::Thread::SetCurrentRealTime(10);
  std::unique_lock<std::recursive_mutex> lock(mLock);
  auto next = std::chrono::steady_clock::now();
  bool running = false;
  while (!mStopProducer) {
    const bool wanted = mAcquiring && mConfig.freeRunning && !mUnplugged;
    if (!wanted) {
      running = false;
      mProducerWake.wait(lock);
      continue;
    }
    auto& rate = dynamic_cast<FloatNode&>(*mNodes.GetNode("AcquisitionLineRateAbs"));
    auto& height = dynamic_cast<IntegerNode&>(*mNodes.GetNode("Height"));
    const double seconds = static_cast<double>(height.SelectorKey()) / rate.GetValue();
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
    if (!running) {
      next = std::chrono::steady_clock::now();
      running = true;
    }
    next += period;
    if (mProducerWake.wait_until(lock, next) == std::cv_status::timeout) {
      if (mAcquiring && mConfig.freeRunning && !mUnplugged && !mStopProducer) ProduceOneFrame();
    }
  }
}

void VirtualCamera::SetFreeRunning(bool on) {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  mConfig.freeRunning = on;
  mProducerWake.notify_all();
}

int VirtualCamera::ProduceFrames(int count) {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  int produced = 0;
  while (produced < count && mAcquiring && !mUnplugged) {
    ProduceOneFrame();
    ++produced;
  }
  return produced;
}

void VirtualCamera::InjectFailedResults(int count) {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  mFailuresToInject += count;
}

void VirtualCamera::SetNodeFailure(const std::string& node, const char* description) {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  if (description == nullptr) {
    mNodeFailures.erase(node);
  } else {
    mNodeFailures[node] = description;
  }
}

void VirtualCamera::Unplug() {
  {
    std::lock_guard<std::recursive_mutex> guard(mLock);
    if (mUnplugged) return;
    mUnplugged = true;
    mAcquiring = false;
    mGrabber.FailQueued("The device has been removed: " + mConfig.friendlyName);
    mProducerWake.notify_all();
  }
  std::lock_guard<std::mutex> listeners(mListenerLock);
  for (const auto& listener : mRemovalListeners) listener.second();
}

int VirtualCamera::AddRemovalListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> listeners(mListenerLock);
  const int key = mNextListenerKey++;
  mRemovalListeners.emplace(key, std::move(listener));
  return key;
}

void VirtualCamera::RemoveRemovalListener(int key) {
  std::lock_guard<std::mutex> listeners(mListenerLock);
  mRemovalListeners.erase(key);
}

bool VirtualCamera::IsUnplugged() const {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return mUnplugged;
}

int64_t VirtualCamera::DroppedFrames() const {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return mDropped;
}

int VirtualCamera::NodeWrites(const std::string& name) const {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  const auto found = mNodeWrites.find(name);
  return found != mNodeWrites.end() ? found->second : 0;
}

int64_t VirtualCamera::LinesAcquired() const {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return mLineIndex;
}

// ---- the node map ----

void VirtualCamera::BuildNodeMap() {
  NodeMap& m = mNodes;
  const bool colour = mConfig.colour;
  const int64_t sensor = mConfig.sensorWidth;
  auto& root = m.Add<CategoryNode>(*this, "Root", "Root of the camera's features");
  auto category = [&](const char* name, const char* description) -> CategoryNode& {
    auto& c = m.Add<CategoryNode>(*this, name, description);
    root.Add(c);
    return c;
  };

  // Device information.
  auto& info = category("DeviceInformation", "Information about the device");
  info.Add(m.Add<StringNode>(*this, "DeviceVendorName", "Name of the manufacturer", RO, "Basler"));
  info.Add(m.Add<StringNode>(*this, "DeviceModelName", "Model of the device", RO, Info().mModelName.c_str()));
  info.Add(m.Add<StringNode>(*this, "DeviceManufacturerInfo", "Information from the manufacturer", RO, "none"));
  info.Add(m.Add<StringNode>(*this, "DeviceVersion", "Version of the device", RO, "106897-08"));
  info.Add(m.Add<StringNode>(*this, "DeviceFirmwareVersion", "Firmware of the device", RO, "V1.0-0"));
  info.Add(m.Add<StringNode>(*this, "DeviceID", "Serial number", RO, mConfig.serialNumber));
  info.Add(m.Add<StringNode>(*this, "DeviceUserID", "A name the user gives the device", RW, ""));
  auto& scanType = m.Add<EnumerationNode>(*this, "DeviceScanType", "Scan type of the sensor", RO);
  scanType.AddEntry("Linescan", 1);
  info.Add(scanType);
  info.Add(m.Add<FloatNode>(*this, "DeviceTemperature", "Temperature inside the housing", RO, 41.5, -40.0, 120.0, "C"));
  auto& nested = m.Add<CategoryNode>(*this, "DeviceControlAdvanced", "Advanced device settings");
  info.Add(nested);

  // Area of interest.
  auto& aoi = category("AOI", "Area of interest");
  auto& width = m.Add<IntegerNode>(*this, "Width", "Width of the image in pixels", RW, sensor, int64_t{1}, sensor);
  auto& height = m.Add<IntegerNode>(*this, "Height", "Height of the image in lines", RW, int64_t{512}, int64_t{1},
                                    int64_t{mConfig.maxHeight});
  auto& offsetX = m.Add<IntegerNode>(*this, "OffsetX", "Horizontal offset of the image", RW, int64_t{0}, int64_t{0},
                                     sensor - 1);
  // Width + OffsetX never exceed the sensor.
  width.computedMax = [&offsetX, sensor] { return sensor - offsetX.SelectorKey(); };
  offsetX.computedMax = [&width, sensor] { return sensor - width.SelectorKey(); };
  aoi.Add(width);
  aoi.Add(height);
  aoi.Add(offsetX);
  aoi.Add(m.Add<IntegerNode>(*this, "OffsetY", "Vertical offset of the image", RW, int64_t{0}, int64_t{0}, int64_t{0}));

  // Image format.
  auto& format = category("ImageFormatControls", "Pixel format and payload");
  auto& pixelFormat = m.Add<EnumerationNode>(*this, "PixelFormat", "Format of the pixel data", RW);
  if (colour) {
    pixelFormat.AddEntry("RGB8Packed", kRGB8Packed, RO);
    pixelFormat.AddEntry("BGR8Packed", kBGR8Packed, RO);
  } else {
    pixelFormat.AddEntry("Mono8", kMono8, RO);
  }
  format.Add(pixelFormat);
  auto& payload = m.Add<IntegerNode>(*this, "PayloadSize", "Bytes of one image", RO, int64_t{0}, int64_t{0},
                                     int64_t{1} << 40);
  payload.computedValue = [this, &width, &height] {
    return width.SelectorKey() * height.SelectorKey() * BytesPerPixel() + mConfig.payloadPadding;
  };
  format.Add(payload);
  auto& testImage = m.Add<EnumerationNode>(*this, "TestImageSelector", "Test image in place of the sensor's", RW);
  testImage.AddEntry("Off", 0, RO);
  testImage.AddEntry("Testimage1", 1, RO);
  format.Add(testImage);

  // Analog controls: gains and black levels per tap or per colour.
  auto& analog = category("AnalogControls", "Gain, black level and gamma");
  auto& gainSelector = m.Add<EnumerationNode>(*this, "GainSelector", "Gain to be set", RW);
  auto& blackSelector = m.Add<EnumerationNode>(*this, "BlackLevelSelector", "Black level to be set", RW);
  for (EnumerationNode* selector : {&gainSelector, &blackSelector}) {
    selector->AddEntry("All", 0, RO);
    if (colour) {
      selector->AddEntry("Red", 3, RO);
      selector->AddEntry("Green", 4, RO);
      selector->AddEntry("Blue", 5, RO);
    } else {
      selector->AddEntry("Tap1", 1, RO);
      selector->AddEntry("Tap2", 2, RO);
    }
  }
  auto& gain = m.Add<IntegerNode>(*this, "GainRaw", "Raw gain", RW, int64_t{256}, int64_t{0}, int64_t{1023});
  auto& black = m.Add<IntegerNode>(*this, "BlackLevelRaw", "Raw black level", RW, int64_t{32}, int64_t{0}, int64_t{255});
  gainSelector.Selects(gain);
  blackSelector.Selects(black);
  analog.Add(gainSelector);
  analog.Add(gain);
  analog.Add(blackSelector);
  analog.Add(black);
  analog.Add(m.Add<BooleanNode>(*this, "GammaEnable", "Gamma correction on", RW, false));
  analog.Add(m.Add<FloatNode>(*this, "Gamma", "Gamma correction", RW, 1.0, 0.0, 3.99998));
  analog.Add(m.Add<IntegerNode>(*this, "DigitalShift", "Bits the pixel data is shifted", RW, int64_t{0}, int64_t{0},
                                int64_t{4}));
  analog.Add(m.Add<IntegerNode>(*this, "SpatialCorrection", "Lines between the colour rows of the sensor", RW,
                                int64_t{0}, int64_t{-3}, int64_t{3}));

  // Acquisition and trigger.
  auto& acquisition = category("AcquisitionTrigger", "Acquisition, exposure and trigger");
  auto& mode = m.Add<EnumerationNode>(*this, "AcquisitionMode", "Single frame or continuous acquisition", RW);
  mode.AddEntry("SingleFrame", kSingleFrame, RO);
  mode.AddEntry("Continuous", kContinuous, RO);
  mode.SetIntValue(kContinuous);
  acquisition.Add(mode);
  acquisition.Add(m.Add<CommandNode>(*this, "AcquisitionStart", "Starts the acquisition", [this] {
    if (!mOpen) throw GenICam::AccessException("AcquisitionStart on a closed device");
    StartAcquisition();
  }));
  acquisition.Add(m.Add<CommandNode>(*this, "AcquisitionStop", "Stops the acquisition", [this] { StopAcquisition(); }));
  acquisition.Add(m.Add<FloatNode>(*this, "AcquisitionLineRateAbs", "Lines per second", RW, mConfig.lineRate, 100.0,
                                   std::max(200000.0, mConfig.lineRate), "Hz"));
  acquisition.Add(m.Add<FloatNode>(*this, "ExposureTimeAbs", "Exposure time", RW, 35.0, 2.0, 10000.0, "us"));
  acquisition.Add(m.Add<IntegerNode>(*this, "ExposureTimeRaw", "Exposure time in time base units", RW, int64_t{35},
                                     int64_t{2}, int64_t{10000}));
  acquisition.Add(m.Add<FloatNode>(*this, "ExposureTimeBaseAbs", "Time base of the raw exposure", RW, 1.0, 1.0, 100.0,
                                   "us"));
  acquisition.Add(m.Add<BooleanNode>(*this, "ExposureTimeBaseAbsEnable", "Time base in use", RW, true));
  auto& triggerSelector = m.Add<EnumerationNode>(*this, "TriggerSelector", "Trigger to be set", RW);
  triggerSelector.AddEntry("FrameStart", 0, RO);
  triggerSelector.AddEntry("LineStart", 1, RO);
  auto& triggerMode = m.Add<EnumerationNode>(*this, "TriggerMode", "Trigger on or off", RW);
  triggerMode.AddEntry("Off", 0, RO);
  triggerMode.AddEntry("On", 1, RO);
  auto& triggerSource = m.Add<EnumerationNode>(*this, "TriggerSource", "Signal that triggers", RW);
  triggerSource.AddEntry("Line1", 0, RO);
  triggerSource.AddEntry("Line2", 1, RO);
  triggerSource.AddEntry("Line3", 2, NA);  // not wired on this model
  triggerSource.AddEntry("ShaftEncoderModuleOut", 3, RO);
  triggerSource.AddEntry("SoftwareTrigger", 4, RO);
  auto& triggerActivation = m.Add<EnumerationNode>(*this, "TriggerActivation", "Edge that triggers", RW);
  triggerActivation.AddEntry("RisingEdge", 0, RO);
  triggerActivation.AddEntry("FallingEdge", 1, RO);
  triggerSelector.Selects(triggerMode);
  triggerSelector.Selects(triggerSource);
  triggerSelector.Selects(triggerActivation);
  for (Node* node : std::initializer_list<Node*>{&triggerSelector, &triggerMode, &triggerSource, &triggerActivation}) {
    acquisition.Add(dynamic_cast<GenApi::IValue&>(*node));
  }

  // Digital I/O.
  auto& io = category("DigitalIO", "Input and output lines");
  auto& lineSelector = m.Add<EnumerationNode>(*this, "LineSelector", "Line to be set", RW);
  int64_t lineValue = 0;
  for (const char* line : {"Line1", "Line2", "Line3", "Out1", "Out2", "Out3", "Out4"}) {
    lineSelector.AddEntry(line, lineValue++, RO);
  }
  auto& inverter = m.Add<BooleanNode>(*this, "LineInverter", "Inverts the line", RW, false);
  lineSelector.Selects(inverter);
  io.Add(lineSelector);
  io.Add(inverter);
  io.Add(m.Add<IntegerNode>(*this, "LineStatusAll", "State of all lines, a bit each", RO, int64_t{0}, int64_t{0},
                            int64_t{0x7F}));
  io.Add(m.Add<IntegerNode>(*this, "UserOutputValueAll", "State of all user outputs, a bit each", RW, int64_t{0},
                            int64_t{0}, int64_t{0xF}, int64_t{1}, GenApi::HexNumber));

  // Chunks, lookup table, user sets, events and files: categories the driver does not mirror.
  auto& chunks = category("ChunkDataStreams", "Chunk data");
  chunks.Add(m.Add<BooleanNode>(*this, "ChunkModeActive", "Chunks appended to the image", RW, false));

  auto& lut = category("LUTControls", "Lookup table");
  auto& lutSelector = m.Add<EnumerationNode>(*this, "LUTSelector", "Table to be set", RW);
  lutSelector.AddEntry("Luminance", 0, RO);
  auto& lutEnable = m.Add<BooleanNode>(*this, "LUTEnable", "Lookup table on", RW, false);
  auto& lutIndex = m.Add<IntegerNode>(*this, "LUTIndex", "Input value of the entry", RW, int64_t{0}, int64_t{0},
                                      int64_t{4095});
  auto& lutValue = m.Add<IntegerNode>(*this, "LUTValue", "Output value of the entry", RW, int64_t{0}, int64_t{0},
                                      int64_t{4095});
  lutSelector.Selects(lutEnable);
  lutSelector.Selects(lutIndex, false);
  lutIndex.Selects(lutValue);  // one value per index
  lut.Add(lutSelector);
  lut.Add(lutEnable);
  lut.Add(lutIndex);
  lut.Add(lutValue);

  auto& userSets = category("UserSets", "Stored settings");
  auto& userSetSelector = m.Add<EnumerationNode>(*this, "UserSetSelector", "User set to be used", RW);
  int64_t setValue = 0;
  for (const char* set : {"Default", "UserSet1", "UserSet2", "UserSet3"}) {
    userSetSelector.AddEntry(set, setValue++, RO);
  }
  auto& load = m.Add<CommandNode>(*this, "UserSetLoad", "Loads the user set", [] {});
  auto& save = m.Add<CommandNode>(*this, "UserSetSave", "Saves the user set", [] {});
  userSetSelector.Selects(load, false);
  userSetSelector.Selects(save, false);
  userSets.Add(userSetSelector);
  userSets.Add(load);
  userSets.Add(save);

  auto& events = category("EventsGeneration", "Events");
  auto& eventSelector = m.Add<EnumerationNode>(*this, "EventSelector", "Event to be set", RW);
  eventSelector.AddEntry("ExposureEnd", 0, RO);
  auto& notification = m.Add<EnumerationNode>(*this, "EventNotification", "Event on or off", RW);
  notification.AddEntry("Off", 0, RO);
  notification.AddEntry("GenICamEvent", 1, RO);
  eventSelector.Selects(notification);
  events.Add(eventSelector);
  events.Add(notification);

  auto& files = category("FileAccess", "Files on the device");
  auto& fileSelector = m.Add<EnumerationNode>(*this, "FileSelector", "File to be used", RW);
  fileSelector.AddEntry("UserData", 0, RO);
  files.Add(fileSelector);

  // Transport layer.
  auto& transport = category("TransportLayer", "GigE Vision transport");
  transport.Add(m.Add<IntegerNode>(*this, "TLParamsLocked", "Transport parameters locked while grabbing", RW,
                                   int64_t{0}, int64_t{0}, int64_t{1}));
  transport.Add(m.Add<IntegerNode>(*this, "GevSCPSPacketSize", "Packet size", RW, int64_t{1500}, int64_t{220},
                                   int64_t{16404}, int64_t{4}));
  transport.Add(m.Add<IntegerNode>(*this, "GevSCPD", "Delay between packets", RW, int64_t{0}, int64_t{0},
                                   int64_t{65535}));
  const int64_t serial = std::strtoll(mConfig.serialNumber.c_str(), nullptr, 10);
  transport.Add(m.Add<IntegerNode>(*this, "GevMACAddress", "MAC address of the device", RO,
                                   int64_t{0x0030531A0000} + (serial & 0xFFFF), int64_t{0}, int64_t{0xFFFFFFFFFFFF},
                                   int64_t{1}, GenApi::HexNumber));
  auto& interfaceSelector = m.Add<EnumerationNode>(*this, "GevInterfaceSelector", "Network interface to be set", RW);
  interfaceSelector.AddEntry("NetworkInterface0", 0, RO);
  for (const char* name : {"GevPersistentIPAddress", "GevPersistentSubnetMask", "GevPersistentDefaultGateway"}) {
    auto& address = m.Add<IntegerNode>(*this, name, "Persistent network setting", RW, int64_t{0}, int64_t{0},
                                       int64_t{0xFFFFFFFF}, int64_t{1}, GenApi::IPV4Address);
    interfaceSelector.Selects(address);
  }
  transport.Add(interfaceSelector);
  transport.Add(m.Add<IntegerNode>(*this, "GevLinkSpeed", "Link speed in Mbit/s", RO, int64_t{1000}, int64_t{0},
                                   int64_t{10000}));
  transport.Add(m.Add<RegisterNode>(*this, "GevDeviceModeRegister", "Raw device mode register", RW, 4));

  // Expert features: an access key that can only be written.
  auto& expert = category("ExpertFeatureAccess", "Expert features");
  auto& expertSelector = m.Add<EnumerationNode>(*this, "ExpertFeatureAccessSelector", "Expert feature to be set", RW);
  expertSelector.AddEntry("ExpertFeature1", 0, RO);
  expertSelector.AddEntry("ExpertFeature2", 1, NA);
  auto& key = m.Add<IntegerNode>(*this, "ExpertFeatureAccessKey", "Key that unlocks the feature", WO, int64_t{0},
                                 int64_t{0}, int64_t{0xFFFFFFFF});
  auto& enable = m.Add<BooleanNode>(*this, "ExpertFeatureEnable", "Expert feature on", RW, false);
  expertSelector.Selects(key);
  expertSelector.Selects(enable);
  expert.Add(expertSelector);
  expert.Add(key);
  expert.Add(enable);

  // A feature directly under the root: not in any category the driver walks.
  root.Add(m.Add<CommandNode>(*this, "DeviceReset", "Restarts the device", [] {}));
}

}  // namespace Virtual
}  // namespace Pylon

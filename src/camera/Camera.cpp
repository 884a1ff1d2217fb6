#include "Camera.h"

#include <ctime>
#include <limits>
#include <stdexcept>

#include "acquisition/CameraWaitThread.h"
#include "driver/DriverState.h"
#include "camera/CameraList.h"
#include "driver/Log.h"
#include "driver/RealTime.h"
#include "ejector/Ejector.h"
#include "os/Time.h"

Camera::Camera(const char* name, Pylon::IPylonDevice* device, const CameraDescriptor& descriptor,
               CameraWaitThread* waitThread)
    : mFrameBuffers(mStreamGrabber), mRoundBuffer(mStreamGrabber), mDriverState(&DriverState::Get()),
      mWaitThread(waitThread) {
  if (name == nullptr || device == nullptr) {
    Log(1, "Camera::Camera: ERROR: parameters name and/or device are 0\n");
    throw "Err";
  }
  mName = name;
  mPort = -1;
  mFrameBufferCount = 3;
  mBitsPerPixel = (descriptor.kindFlags & CameraDescriptor::kColour) != 0 ? 24 : 8;
  mParameters = std::make_unique<CameraParameters>(descriptor);
  mDescriptor = descriptor;
  mCamera.Attach(device, true);
  mStreamGrabber.Attach(device->GetStreamGrabber(0));
}

Camera::~Camera() {
  Log(2, "Camera::~Camera: camera %s on port %d \n", mName.c_str(), mPort.load());
  if (mOpen) Close();
  // A failed open may have left the device or the stream grabber open.
  if (mStreamGrabberOpen || mDeviceOpen) CleanupOnClose();
}

bool Camera::Open(int port, int* imageSize) {
  // Clear the size, log the entry.
  imageSize[0] = 0;
  imageSize[1] = 0;
  Log(2, "Camera::Open: entering port=%d\n", port);
  Log(1, "Opening camera %s on port %d\n", mName.c_str(), port);
  auto lifecycle = Ejector::TakeLifecycle<std::unique_lock<std::mutex>>(mLifecycleLock);
  auto use = Ejector::TakeLifecycle<std::unique_lock<std::shared_mutex>>(mUseLock);
  if (!lifecycle || !use) {
    Log(1, "Camera::Open: ERROR: %s is being opened or closed on another thread, a command callback cannot wait "
           "for it, port %d\n",
        mName.c_str(), port);
    return false;
  }
  // Refuse an open camera.
  if (mOpen) {
    Log(1, "Camera::Open: ERROR:  %s is already open on port %d\n", mName.c_str(), mPort.load());
    return false;
  }
  // A failed open before this one may have left the device open; start from closed.
  if (mStreamGrabberOpen || mDeviceOpen) CleanupOnClose();
  // Bind the port; trace the open sequence to the debug output.
  mPort = port;
  mDriverState->debugOutputLevel = 3;
  // The SDK steps inside one exception guard. A failure leaves the port free, so that no lookup
  // finds this closed camera before one opened later on the same port.
  try {
    if (OpenSteps(port, imageSize)) return true;
    CleanupOnClose();
    return false;
  } catch (const GenICam::GenericException& e) {
    Log(1, "Camera::Open: GenICam API ERROR, port %d: %s\n", port, e.GetDescription());
    mPort = -1;
    CleanupOnClose();
    throw;
  } catch (const std::exception& e) {
    Log(1, "Camera::Open: EXCEPTION catch...throw again, port %d: %s\n", port, e.what());
    mPort = -1;
    CleanupOnClose();
    throw;
  } catch (...) {
    Log(1, "Camera::Open: EXCEPTION catch...throw again, port %d\n", port);
    mPort = -1;
    CleanupOnClose();
    throw;
  }
}

bool Camera::OpenSteps(int port, int* imageSize) {
  CameraParameters& parameters = *mParameters;
  // Device open, chunk mode off.
  mCamera.Open(Pylon::Stream | Pylon::Control | Pylon::Event);
  mRemoved = false;
  mDeviceOpen = true;
  if (Pylon::IPylonDevice* device = mCamera.GetDevice()) device->SetRemovalCallback([this] { NoteRemoval(); });
  mCamera.ChunkModeActive.SetValue(false);
  // Stream grabber open.
  mStreamGrabber->Open();
  mStreamGrabberOpen = true;
  // Settings from the file; the line counter from zero.
  parameters.Load();
  mLineCounter.counter = 0;
  mLineCounter.remainder = 0;
  mLineCounter.lastSeen = -1;
  mLineCounter.steps = 0;
  mLineCounter.lastBlock = 0;
  mLineCounter.lostChunks = 0;
  mLineCounter.resolution = parameters.GetLineCounterResolution();
  mLineCounter.conveyorTimeout = parameters.GetConveyorTimeout();
  mLineCounter.clockStamp = os::ClockMs();
  // The log settings go to the driver state.
  mDriverState->logLevel = parameters.GetValue<int>("LogLevel");
  mDriverState->SetLogIntoFile(parameters.GetLogIntoFile());
  mDriverState->debugOutputLevel = parameters.GetDebugViewOutput();
  mDriverState->inhibitPylonTerminate = parameters.GetInhibitPylonTerminate();
  mDriverState->realTimeThreads = ReadRealTimeSetting(mDriverState->GetConfigFilePath());
  mDriverState->debugOutputLevel = 1;
  // The ejector link cleared, then the ejector, if this camera is to control it.
  {
    std::unique_lock<std::shared_mutex> unlink(mEjectorLock);
    mEjector = nullptr;
  }
  if (parameters.GetValue<bool>("EjectorControl")) TakeEjectorControl(parameters, port);
  // The node map.
  GenApi::INodeMap* nodeMap = mCamera.GetNodeMap();
  if (nodeMap == nullptr) {
    Log(1, "Camera::Open: ERROR: getnodemap returns null. Quitting\n");
    return false;
  }
  // Parameters mirrored from the camera's nodes.
  nodeMap->InvalidateNodes();
  parameters.CreateParametersFromNodes(*nodeMap);
  // The file again, now for the mirrored parameters too.
  if (!parameters.Load()) {
    Log(1, "Camera::Open: ERROR: failed to read configuration file, port: %d\n", port);
    throw std::runtime_error("Camera::Open: Failed to read configuration file");
  }
  // The camera's limits; a set that is not valid is only warned about.
  parameters.SetBoundaryValues(mCamera.Width.Node(), mCamera.Height.Node(), mCamera.OffsetX.Node());
  std::string message;
  if (!parameters.Validate(message)) {
    Log(1, "Camera::Open: WARNING: Configuration not valid: %s, port: %d\n", message.c_str(), port);
  }
  // Trace point.
  Log(3, "Camera::Open: INFO point 7, port=%d\n", port);
  // Reported height, with the overlap.
  CameraGeometry geometry;
  geometry.lineMode = parameters.GetLineGrabbingMode();
  geometry.width = parameters.GetValue<int>("Width");
  geometry.height = parameters.GetValue<int>("Height");
  geometry.overlap = parameters.GetOverlappedLines();
  geometry.resolution = parameters.GetLineCounterResolution();
  geometry.delay = parameters.GetDelay();
  geometry.bytesPerPixel = mBitsPerPixel / 8;
  // Summed wide: the file may hold any values, and an image height must stay an int.
  const int64_t reportedHeight = int64_t{geometry.height} + (geometry.overlap > 0 ? geometry.overlap : 0);
  if (reportedHeight > std::numeric_limits<int>::max()) {
    Log(1, "Camera::Open: ERROR: Height=%d and OverlappedLines=%d make no image height, port: %d\n", geometry.height,
        geometry.overlap, port);
    return false;
  }
  imageSize[1] = static_cast<int>(reportedHeight);
  int reportedWidth = geometry.width;
  // Reported width, with decimation.
  const bool useDecimation = parameters.GetValue<bool>("UseDecimation");
  const int decimation = parameters.GetValue<int>("Decimation");
  if (useDecimation && decimation > 0) {
    reportedWidth = geometry.width / (decimation + 1);
    Log(1, "Camera::Open: decimation is used, reportedWidth=%d, the real width=%d, decimation=%d\n", reportedWidth,
        geometry.width, decimation);
    geometry.useDecimation = true;
    geometry.decimation = decimation;
  } else if (useDecimation) {
    parameters.SetParameter("UseDecimation", false);
    parameters.SetParameter("Decimation", 0);
    Log(1, "Camera::Open: WARNING: decimation usage dropped because of incorrect decimation value\n");
  }
  imageSize[0] = reportedWidth;
  geometry.reportedWidth = reportedWidth;
  geometry.reportedHeight = imageSize[1];
  // Pixel format by colour.
  if (IsColor()) {
    Log(3, "Camera::Open: color RGB mode\n");
    mCamera.PixelFormat.SetValue("RGB8Packed");
  } else {
    Log(3, "Camera::Open: monochrome mode\n");
    mCamera.PixelFormat.SetValue("Mono8");
  }
  // The whole set to the camera and read back.
  Log(3, "Camera::Open: configuration loaded from file %d\n", port);
  parameters.ApplyParameters(*nodeMap);
  parameters.UpdateParameters(*nodeMap);
  Log(3, "Camera::Open: camera settings set, port= %d\n", port);
  // Width and offset on the camera, and the parameters' bounds from it.
  Log(3, "Camera::Open: setting width=%d offset=%d \n", geometry.width, parameters.GetValue<int>("OffsetX"));
  mCamera.OffsetX.SetValue(0);
  mCamera.Width.SetValue(1);
  parameters.Get("Width").maxval(static_cast<int64_t>(mCamera.Width.GetMax()));
  parameters.Get("OffsetX").maxval(static_cast<int64_t>(mCamera.OffsetX.GetMax()));
  mCamera.Width.SetValue(parameters.GetValue<int>("Width"));
  mCamera.OffsetX.SetValue(parameters.GetValue<int>("OffsetX"));
  mCamera.OffsetY.SetValue(0);
  parameters.Get("Height").minval(static_cast<int64_t>(mCamera.Height.GetMin()));
  parameters.Get("Height").maxval(static_cast<int64_t>(mCamera.Height.GetMax() - 1));
  // The camera's height: one chunk in line counter mode, the frame otherwise.
  int cameraHeight;
  if (geometry.lineMode) {
    cameraHeight = geometry.resolution;
    Log(3, "Camera::Open: setting pylon camera height to %d\n", cameraHeight);
  } else {
    cameraHeight = geometry.height;
    Log(3, "Camera::Open: setting height=%d\n", cameraHeight);
  }
  mCamera.Height.SetValue(cameraHeight);
  // The lookup table.
  SetLUT(parameters);
  // Buffers of the mode, after the payload check.
  mGeometry = geometry;
  const int k = IsColor() ? 3 : 1;
  const int64_t payload = mCamera.PayloadSize.GetValue();
  if (geometry.lineMode) {
    const int64_t expected = static_cast<int64_t>(geometry.resolution) * geometry.width * k;
    if (payload != expected) {
      Log(1, "Camera::Open: ERROR: different buffer size than expected, calculated size=%d, pylon reported size=%d\n",
          static_cast<int>(expected), static_cast<int>(payload));
      return false;
    }
    // Negative lines cannot stream: the round buffer would stall, or call back for rows it has not.
    if (geometry.overlap < 0 || geometry.delay < 0) {
      Log(1, "Camera::Open: ERROR: OverlappedLines=%d and Delay=%d cannot be negative in line counter mode, port: %d\n",
          geometry.overlap, geometry.delay, port);
      return false;
    }
    const int n = geometry.resolution > 0 ? geometry.resolution : 1;
    // A delay beyond what the configuration allows would ask for a buffer per chunk of it.
    const int maxDelay = parameters.GetMaxLines() / n;
    if (geometry.delay > maxDelay) {
      Log(1, "Camera::Open: ERROR: Delay=%d is more than the %d chunks allowed, port: %d\n", geometry.delay, maxDelay,
          port);
      return false;
    }
    const int64_t wanted = int64_t{geometry.delay} + 2 * int64_t{geometry.height / n} + geometry.overlap / n;
    if (wanted > std::numeric_limits<int>::max()) {
      Log(1, "Camera::Open: ERROR: Height=%d makes too many buffers, port: %d\n", geometry.height, port);
      return false;
    }
    const int count = static_cast<int>(wanted);
    mStreamGrabber.MaxBufferSize.SetValue(payload);
    mStreamGrabber.MaxNumBuffer.SetValue(count > 0 ? count : 1);
    mStreamGrabber->PrepareGrab();
    if (!mRoundBuffer.Init(this, count)) {
      Log(1, "Camera::Open: ERROR: mRoundBuffer could not be allocated\n");
      return false;
    }
  } else {
    const int64_t expected = static_cast<int64_t>(geometry.width) * geometry.height * k;
    if (payload != expected) {
      Log(1,
          "Camera::Open: ERROR: Pylon reports different buffer size than expected, calculated size=%d, pylon reported "
          "size=%d\n",
          static_cast<int>(expected), static_cast<int>(payload));
      return false;
    }
    mStreamGrabber.MaxBufferSize.SetValue(payload);
    mStreamGrabber.MaxNumBuffer.SetValue(mFrameBufferCount);
    mStreamGrabber->PrepareGrab();
    Log(2, "Camera::Open: allocating buffer count=%d, size=%d, width=%d, height=%d\n", mFrameBufferCount,
        static_cast<int>(payload), geometry.width, geometry.height);
    if (!mFrameBuffers.Init(this)) {
      Log(1, "Camera::Open: ERROR: buffers could not be allocated\n");
      return false;
    }
  }
  SetContinuousGrab(false);
  mFirstImageReceived = false;
  mOpen = true;
  Log(2, "Camera::Open: leaving, port=%d\n", port);
  return true;
}

void Camera::TakeEjectorControl(CameraParameters& parameters, int port) {
  auto lifecycle = Ejector::TakeLifecycle<std::unique_lock<std::mutex>>(Ejector::LifecycleLock());
  if (!lifecycle) throw std::runtime_error("the ejector is being changed on another thread");
  Ejector* ejector = Ejector::GetInstance();
  if (!ejector->IsInitialized()) {
    const int device = parameters.GetValue<int>("EjectorDeviceNumber");
    const int library = parameters.GetValue<int>("AdvantechLibrary");
    if (library != 0) {
      Log(1, "Initializing ejector on device=%d with BioDAQ library", device);
    } else {
      Log(1, "Initializing ejector on device=%d with Adsapi library", device);
    }
    if (!ejector->Init(device, library)) throw std::runtime_error("the ejector could not be initialised");
  }
  // Control moves here: this camera is linked first, so that the ejector thread always finds a
  // controlling camera (finding none, it would suspend the ejector for good); a camera that had
  // control forgets the ejector once no user of its link holds it any more.
  {
    std::unique_lock<std::shared_mutex> link(mEjectorLock);
    mEjector = ejector;
  }
  if (CameraList* list = CameraList::PeekInstance()) {
    for (int i = 0; i < list->GetCount(); ++i) {
      Camera* other = (*list)[i];
      other->GetParameters().SetParameter("EjectorControl", false);
      if (other == this || other->mEjector.load() == nullptr) continue;
      std::unique_lock<std::shared_mutex> unlink(other->mEjectorLock);
      other->mEjector = nullptr;
    }
  }
  parameters.SetParameter("EjectorControl", true);
  Log(2, "Camera::Open: Activating Ejector on port %d\n", port);
  ejector->ClearBuffer();
  ejector->SetCurrentLine(this);
  ejector->State_Activate();
}

void Camera::Close() {
  // Log the entry; a closed camera is closed again all the same.
  Log(2, "Camera::Close: entering\n");
  if (!mOpen) Log(1, "Camera::Close: WARNING: called on already closed camera\n");
  const int port = mPort;
  // The ejector's thread cannot end itself from inside the host's command callback.
  if (Ejector::OnWorkerThread() && mEjector.load() != nullptr) {
    Log(1, "Camera::Close: ERROR: the command callback cannot close the camera that drives the ejector, port %d\n",
        port);
    return;
  }
  auto lifecycle = Ejector::TakeLifecycle<std::unique_lock<std::mutex>>(mLifecycleLock);
  if (!lifecycle) {
    Log(1, "Camera::Close: ERROR: the camera is being opened or closed on another thread, a command callback cannot "
           "wait for it, port %d\n",
        port);
    return;
  }
  // Suspend and destroy the ejector this camera controls, before the teardown: the ejector's thread
  // may be in a command callback that uses this camera meanwhile.
  ReleaseEjector(port);
  auto use = Ejector::TakeLifecycle<std::unique_lock<std::shared_mutex>>(mUseLock);
  if (!use) {
    Log(1, "Camera::Close: ERROR: the camera is in use on another thread, a command callback cannot wait for it, "
           "port %d\n",
        port);
    return;
  }
  // Stop acquisition, release everything. Continuous acquisition ends with the close: a closed
  // camera is not "in inspection" (the dialog would refuse it) and opens idle.
  mContinuous = false;
  MakeGrabbing(0);
  mOpen = false;
  CleanupOnClose();
  Log(2, "Camera::Close: leaving on port %d\n", port);
}

void Camera::ReleaseEjector(int port) {
  if (mEjector.load() == nullptr) return;
  auto lifecycle = Ejector::TakeLifecycle<std::unique_lock<std::mutex>>(Ejector::LifecycleLock());
  if (!lifecycle) {
    Log(1, "Camera::Close: ERROR: the ejector is being changed on another thread, a command callback cannot wait "
           "for it, port %d\n",
        port);
    return;
  }
  // Read again under the lock: an open on another thread may have moved control meanwhile.
  Ejector* ejector = mEjector.load();
  if (ejector == nullptr) return;
  Log(2, "Camera::Close: Setting ejector to suspended state on Port=%d\n", port);
  ejector->State_Suspend();
  {
    std::unique_lock<std::shared_mutex> unlink(mEjectorLock);
    mEjector = nullptr;
  }
  Ejector::DestroyInstance();
}

std::shared_lock<std::shared_mutex> Camera::HoldForUse() {
  return Ejector::TakeLifecycle<std::shared_lock<std::shared_mutex>>(mUseLock);
}

void Camera::CleanupOnClose() {
  Log(2, "Camera::CleanupOnClose: entering\n");
  // An open that failed after the ejector step leaves no ejector behind.
  ReleaseEjector(mPort);
  mPort = -1;
  mOpen = false;
  MakeGrabbing(0);
  // Off the wait thread's list now (a stopped camera drains there a while), and its buffer work on
  // a result of this camera taken before the stop ends before the buffers go.
  if (mWaitThread != nullptr) mWaitThread->RemoveWaitCamera(this);
  // A row copy under way on another thread ends before the buffers go; later ones find the open
  // flag cleared above.
  std::unique_lock<::RowLock> rows(mRowLock);
  if (mStreamGrabberOpen) {
    try {
      CancelGrab();
      mFrameBuffers.CleanUp();
      mRoundBuffer.CleanUp();
      mStreamGrabber->FinishGrab();
      mStreamGrabber->Close();
      mStreamGrabberOpen = false;
    } catch (...) {
      Log(1, "Camera::CleanupOnClose: WARNING: exception point1 caught\n");
      // The buffers are freed all the same: they must not outlive a grabber that cannot be reached.
      mFrameBuffers.CleanUp();
      mRoundBuffer.CleanUp();
      mStreamGrabberOpen = false;
    }
  }
  rows.unlock();
  if (Pylon::IPylonDevice* device = mCamera.GetDevice()) device->SetRemovalCallback(nullptr);
  if (mDeviceOpen) {
    try {
      mCamera.Close();
      mDeviceOpen = false;
    } catch (...) {
      Log(1, "Camera::CleanupOnClose WARNING: exception point2 caught\n");
      mDeviceOpen = false;
    }
  }
  Log(2, "Camera::CleanupOnClose: leaving\n");
}

bool Camera::Grab() {
  Log(2, "Camera::Grab: entering \n");
  const auto use = HoldForUse();
  if (!use || !mOpen) {
    Log(1, "Camera::Grab: ERROR: camera is not open\n");
    return false;
  }
  if (mRemoved) {
    Log(1, "Camera::Grab: ERROR: the camera dropped off the network, open it again, port=%d\n", mPort.load());
    return false;
  }
  // An acquisition that does not start fails the grab: the host would wait for ever.
  if (!MakeGrabbing(1)) return false;
  Log(2, "Camera::Grab: leaving \n");
  return true;
}

bool Camera::MakeGrabbing(int mode) {
  try {
    // Same mode: nothing to do.
    Log(2, "Camera::MakeGrabbing: mode=%d", mode);
    {
      os::Lock guard(mGrabLock);
      if ((mode != 0) == mGrabbing) {
        if (mode == 1) Log(1, "Camera::MakeGrabbing: WARNING: ignored -- already in the same mode=%d", mode);
        return true;
      }
      if (mode == 1) {
        if (mWaitThread == nullptr) throw "Err";
        // Acquisition mode.
        bool continuous = mContinuous;
        if (!continuous && mGeometry.lineMode && mGeometry.resolution < mGeometry.height) {
          Log(3, "Camera::MakeGrabbing: Continuous mode activated temporarily");
          continuous = true;
        }
        // Start: listed with the wait thread before acquisition starts (a camera still draining
        // its last stop is listed already).
        mGrabbing = true;
        mLineCounter.lastBlock = 0;  // the device numbers its frames afresh
        if (!mWaitThread->CancelDrain(this)) mWaitThread->StoreWaitCamera(this);
        mCamera.AcquisitionMode.SetValue(continuous ? "Continuous" : "SingleFrame");
        mCamera.AcquisitionStart.Execute();
        return true;
      }
      // Stop. Results still on their way for the next 500 ms go back to the stream grabber: the
      // camera stays with the wait thread until then, and nobody waits for it.
      mCamera.AcquisitionStop.Execute();
      if (mWaitThread != nullptr) mWaitThread->BeginDrain(this, os::ClockMs() + kDrainMs);
      mGrabbing = false;
    }
    return true;
  } catch (...) {
    // Never lets an exception out.
    Log(1, "Camera::MakeGrabbing: ERROR: exception caught, mode=%d, port=%d\n", mode, mPort.load());
    if (mWaitThread != nullptr) mWaitThread->RemoveWaitCamera(this);
    mGrabbing = false;
    return false;
  }
}

void Camera::NoteRemoval() {
  if (mRemoved.exchange(true)) return;
  Log(1, "Camera::DeviceRemoved: ERROR: camera %s on port %d dropped off the network; its grabs end until it is "
         "opened again\n",
      mName.c_str(), mPort.load());
  mContinuous = false;
}

void Camera::DeviceRemoved() {
  NoteRemoval();
  if (mGrabbing) MakeGrabbing(0);
}

bool Camera::SetContinuousGrab(bool on) {
  Log(2, "Camera::SetContinuousGrab: entering, mode=%s\n", on ? "on" : "off");
  if (on == mContinuous) {
    Log(3, "Camera::SetContinuousGrab has no effect -- the same mode is already active\n");
    return true;
  }
  mContinuous = on;
  bool started = true;
  if (on) {
    if (mGrabbing) MakeGrabbing(0);
    // Continuous acquisition that does not start is no continuous acquisition.
    started = MakeGrabbing(1);
    if (!started) mContinuous = false;
  } else if (mGrabbing) {
    MakeGrabbing(0);
  }
  Log(2, "Camera::SetContinuousGrab: leaving\n");
  return started;
}

void Camera::CancelGrab() {
  static os::CriticalSection cancelLock;  // created on first use, process-wide
  os::Lock guard(cancelLock);
  Pylon::IStreamGrabber& grabber = *mStreamGrabber;
  grabber.CancelGrab();
  int count = 0;
  while (grabber.GetWaitObject().Wait(0)) {
    Pylon::GrabResult result;
    if (!grabber.RetrieveResult(result)) break;
    ++count;
  }
  Log(2, "Camera::CancelGrab: %d frames removed, port=%d", count, mPort.load());
}

void Camera::EmbedLineCounter(unsigned char* line) {
  const int counter = mLineCounter.counter.load(std::memory_order_relaxed);
  Log(4, "Camera::EmbedLineCounter: embedding %d\n", counter);
  if (line == nullptr) {
    Log(3, "Camera::EmbedLineCounter: ERROR: lineBuffer==0\n");
    return;
  }
  line[0] = static_cast<unsigned char>(counter & 0xFF);
  line[1] = static_cast<unsigned char>((counter >> 8) & 0xFF);
  line[2] = static_cast<unsigned char>((counter >> 16) & 0xFF);
}

void Camera::EmbedTimeStamp(unsigned char* line) {
  if (line == nullptr) {
    Log(1, "Camera::EmbedTimeStamp: lineBuffer==0\n");
    return;
  }
  line[3] = static_cast<unsigned char>(std::time(nullptr) % 255);
}


void Camera::ApplyConfigurationToPylon() {
  GenApi::INodeMap* nodeMap = mCamera.GetNodeMap();
  if (nodeMap == nullptr) {
    Log(1, "Camera::ApplyConfigurationToPylon: ERROR: getnodemap returns null. Quitting\n");
    return;
  }
  mParameters->ApplyParameters(*nodeMap);
}

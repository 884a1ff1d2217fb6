#pragma once
// One supported camera: its SDK device and stream grabber, its parameter set, its buffer sets, and
// its lifecycle (open, grab, close) for the host port it is bound to.
//
// Threads: host threads call Open, Close, Grab, SetContinuousGrab, the properties and row delivery;
// the host's callbacks may call them on the driver's two threads. The grab wait thread calls
// MakeGrabbing(0), EmbedLineCounter, EmbedTimeStamp and WithEjector and reads the flags, the
// callbacks, the geometry and the line counter. The ejector thread reads parameters, the line
// counter and the command callback.
// - mLifecycleLock serialises Open, Close and the configuration dialog's copy and commit.
// - mUseLock is held exclusively by Open and by Close's teardown, and shared by every host call
//   that uses the open camera (grabs, properties), so that a close never frees what such a call is
//   using. A close waits for the wait thread's buffer work on this camera (CameraWaitThread::
//   LetGoOf), never for a callback.
// - On the ejector's thread (a command callback) these two locks and the ejector's lifecycle lock
//   are only tried: the thread holding them may be waiting for the ejector thread to end.
// - mRowLock serialises row delivery (the buffer sets keep which image is read and how far), and
//   CleanupOnClose, having cleared the open flag, holds it while it frees the buffers: a row copy
//   under way ends first, later ones find the camera closed.
// - The flags and callbacks shared with the wait thread are atomics; the geometry is fixed between
//   Open and Close; the buffer sets lock what they share; MakeGrabbing is serialised by mGrabLock.
// - The ejector link is written under mEjectorLock held exclusively and used under it held shared
//   (WithEjector), so that no user still holds an ejector being destroyed.
// Configure hands its dialog to the window system's user-interface thread and waits; the dialog
// edits a copy of the parameter set, and OK replaces the camera's set through Assign.

#include <atomic>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "KorvexEjector.h"
#include "acquisition/ImageBuffers.h"
#include "acquisition/ImageRoundBuffer.h"
#include "acquisition/RowLock.h"
#include "camera/CameraDescriptor.h"
#include "camera/LineCounterState.h"
#include "camera_sdk/BaslerGigECamera.h"
#include "os/CriticalSection.h"
#include "parameters/CameraParameters.h"

class CameraWaitThread;
class Ejector;
class DriverState;

// The image geometry taken at Open; the host's row size and the buffers follow it until Close.
struct CameraGeometry {
  bool lineMode = false;
  int width = 0;
  int height = 0;
  int overlap = 0;
  int resolution = 1;
  int delay = 0;
  bool useDecimation = false;
  int decimation = 0;
  int bytesPerPixel = 1;
  int reportedWidth = 0;
  int reportedHeight = 0;
};

class Camera {
 public:
  // Takes the device (it is destroyed with the camera). A null name or device logs and throws "Err".
  // The wait thread collects the camera's grab results; without one the camera cannot grab.
  Camera(const char* name, Pylon::IPylonDevice* device, const CameraDescriptor& descriptor,
         CameraWaitThread* waitThread = nullptr);
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;
  ~Camera();

  const std::string& GetName() const { return mName; }
  const CameraDescriptor& GetDescriptor() const { return mDescriptor; }
  int GetPort() const { return mPort; }
  bool IsOpen() const { return mOpen; }
  bool IsGrabbing() const { return mGrabbing; }
  // The camera dropped off the network: its grabs ended and fail until it is opened again.
  bool IsRemoved() const { return mRemoved; }
  // From the wait thread, when a failed result shows the device gone: NoteRemoval, and the grab ends.
  void DeviceRemoved();
  // The SDK's removal notice, on its thread, grabbing or not (and from DeviceRemoved): logs the
  // removal once and switches continuous acquisition off. Touches atomics only, so that a close
  // waiting for it to end holds nothing it needs.
  void NoteRemoval();
  bool IsContinuous() const { return mContinuous; }
  bool IsColor() const { return (mDescriptor.kindFlags & CameraDescriptor::kColour) != 0; }
  bool FirstImageReceived() const { return mFirstImageReceived; }
  void SetFirstImageReceived() { mFirstImageReceived = true; }
  int GetBitsPerPixel() const { return mBitsPerPixel; }
  int GetFrameBufferCount() const { return mFrameBufferCount; }
  int GetReportedWidth() const { return mGeometry.reportedWidth; }
  int GetReportedHeight() const { return mGeometry.reportedHeight; }
  const CameraGeometry& GetGeometry() const { return mGeometry; }
  CameraParameters& GetParameters() { return *mParameters; }
  template <typename T>
  T GetParameter(const char* key) const {
    return mParameters->GetParameter<T>(key);
  }
  Pylon::CBaslerGigECamera& GetSdkCamera() { return mCamera; }
  Pylon::CBaslerGigEStreamGrabber& GetStreamGrabber() { return mStreamGrabber; }
  ImageBuffers& GetFrameBuffers() { return mFrameBuffers; }
  ImageRoundBuffer& GetRoundBuffer() { return mRoundBuffer; }
  LineCounterState& GetLineCounter() { return mLineCounter; }
  CompleteCallback GetCompleteCB() const { return mCompleteCB; }
  CommandCallback GetCmdCompleteCB() const { return mCmdCompleteCB; }
  // The ejector this camera controls, or null: only a hint, for the ejector thread to find its
  // camera. Whoever uses the ejector goes through WithEjector.
  Ejector* GetEjector() const { return mEjector.load(); }
  // Runs f on the ejector this camera controls, holding the link; false when there is none.
  template <typename F>
  bool WithEjector(F f) {
    std::shared_lock<std::shared_mutex> hold(mEjectorLock);
    Ejector* ejector = mEjector.load();
    if (ejector == nullptr) return false;
    f(*ejector);
    return true;
  }
  // Holds the camera for one host call: shared, so that no close frees what the call uses. Not
  // held when the caller is the ejector thread and an open or close is under way.
  std::shared_lock<std::shared_mutex> HoldForUse();
  // Held by row delivery and by the buffers' release in CleanupOnClose.
  ::RowLock& RowLock() { return mRowLock; }
  // Passes a command event to the host's command callback (the ejector thread's only way out).
  void CmdCallback(const char* name, const char* value);

  // How long a stopped camera's late results are still taken from it and given back.
  static constexpr int kDrainMs = 500;

  bool Open(int port, int* imageSize);
  void Close();
  void CleanupOnClose();
  bool Grab();
  bool MakeGrabbing(int mode);
  // False when acquisition was to start and did not.
  bool SetContinuousGrab(bool on);
  void CancelGrab();
  void EmbedLineCounter(unsigned char* line);
  void EmbedTimeStamp(unsigned char* line);

  void SetCompleteCB(CompleteCallback cb);
  void SetCmdCompleteCB(CommandCallback cb);
  bool ExecCmd(const char* command, const char* arguments, char* result, int resultSize);
  bool GetProperty(const char* name, int* value);
  bool SetProperty(const char* name, int value);
  bool GetRange(const char* name, int* minimum, int* maximum);
  bool Configure(unsigned parentWindow);
  // Writes the whole parameter set to the camera (the trigger settings property).
  void ApplyConfigurationToPylon();
  // Loads the lookup table named by "LUTtable" into the camera.
  void SetLUT(CameraParameters& parameters);

 private:
  bool OpenSteps(int port, int* imageSize);
  // Configure's steps with the dialog, on the user-interface thread: true when the user confirmed
  // the edits of `edited`.
  bool ConfigureOnUi(const std::string& title, unsigned parentWindow, CameraParameters& edited);
  // Suspends the ejector this camera controls, forgets and destroys it.
  void ReleaseEjector(int port);
  // Open's ejector step: creates and initialises the ejector if need be and moves control here.
  void TakeEjectorControl(CameraParameters& parameters, int port);

  // The SDK objects come first: the buffer sets hold the stream grabber and are destroyed before it.
  Pylon::CBaslerGigECamera mCamera;
  Pylon::CBaslerGigEStreamGrabber mStreamGrabber;
  std::atomic<bool> mGrabbing{false};
  std::atomic<bool> mFirstImageReceived{false};
  std::atomic<bool> mOpen{false};
  std::atomic<bool> mRemoved{false};
  std::string mName;
  std::atomic<int> mPort{-1};
  ImageBuffers mFrameBuffers;
  int mFrameBufferCount = 3;
  ImageRoundBuffer mRoundBuffer;
  std::unique_ptr<CameraParameters> mParameters;
  CameraDescriptor mDescriptor;
  bool mDeviceOpen = false;
  bool mStreamGrabberOpen = false;
  std::atomic<CompleteCallback> mCompleteCB{nullptr};
  std::atomic<CommandCallback> mCmdCompleteCB{nullptr};
  DriverState* mDriverState;
  std::atomic<bool> mContinuous{false};
  LineCounterState mLineCounter;
  int mBitsPerPixel = 8;
  CameraGeometry mGeometry;
  os::CriticalSection mGrabLock;  // serialises the acquisition start and stop of MakeGrabbing
  CameraWaitThread* mWaitThread;
  std::atomic<Ejector*> mEjector{nullptr};  // written under mEjectorLock held exclusively
  std::shared_mutex mEjectorLock;
  std::mutex mLifecycleLock;
  std::shared_mutex mUseLock;
  ::RowLock mRowLock;
};

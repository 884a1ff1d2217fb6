#pragma once
// One supported camera: its SDK device and stream grabber, its parameter set, its buffer sets, and
// its lifecycle (open, grab, close) for the host port it is bound to.
//
// Threads: host threads call Open, Close, Grab, SetContinuousGrab, the properties and row delivery.
// The grab wait thread calls MakeGrabbing(0), EmbedLineCounter and EmbedTimeStamp and reads the
// flags, the callbacks, the geometry and the line counter. The flags and callbacks shared with it
// are atomics; the geometry is fixed between Open and Close; the buffer sets lock what they share.
// MakeGrabbing is serialised by mGrabLock (host and wait thread may both stop a grab).
// Configure hands its dialog to the window system's user-interface thread and waits; the dialog
// edits a copy of the parameter set, and OK replaces the camera's set through Assign.
// The ejector link is read by the wait thread (Signal), the ejector thread (which camera controls
// it) and host calls under mEjectorLock; whoever clears it makes the wait thread let go of the
// camera before the ejector can be destroyed.

#include <atomic>
#include <memory>
#include <shared_mutex>
#include <string>

#include "KorvexEjector.h"
#include "acquisition/ImageBuffers.h"
#include "acquisition/ImageRoundBuffer.h"
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
  // The ejector this camera controls, or null (read by the wait thread and the ejector thread).
  Ejector* GetEjector() const { return mEjector.load(); }
  // Passes a command event to the host's command callback (the ejector thread's only way out).
  void CmdCallback(const char* name, const char* value);

  bool Open(int port, int* imageSize);
  void Close();
  void CleanupOnClose();
  bool Grab();
  bool MakeGrabbing(int mode);
  void SetContinuousGrab(bool on);
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
  // Configure's steps with the dialog, on the user-interface thread.
  bool ConfigureOnUi(const std::string& title, unsigned parentWindow);
  // Takes the camera off the wait thread, suspends the ejector it controls, forgets and destroys it.
  void ReleaseEjector(int port);

  // The SDK objects come first: the buffer sets hold the stream grabber and are destroyed before it.
  Pylon::CBaslerGigECamera mCamera;
  Pylon::CBaslerGigEStreamGrabber mStreamGrabber;
  std::atomic<bool> mGrabbing{false};
  std::atomic<bool> mFirstImageReceived{false};
  std::atomic<bool> mOpen{false};
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
  std::atomic<Ejector*> mEjector{nullptr};  // set by Open and cleared by Close, on host threads
  // Held shared by host calls that use the linked ejector (ExecCmd, the ejector property names) and
  // exclusively while the link is cleared, so that no such call still holds an ejector destroyed.
  std::shared_mutex mEjectorLock;
};

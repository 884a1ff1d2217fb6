#pragma once
// One supported camera of the camera list: its SDK device and stream grabber, its parameter set,
// its port while open, and the operations the exports call on it.

#include <memory>
#include <string>

#include "KorvexEjector.h"
#include "camera/CameraDescriptor.h"
#include "camera_sdk/BaslerGigECamera.h"
#include "parameters/CameraParameters.h"

class Camera {
 public:
  // Takes the device (it is destroyed with the camera). A null name or device logs and throws "Err".
  Camera(const char* name, Pylon::IPylonDevice* device, const CameraDescriptor& descriptor);
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;
  ~Camera();

  const std::string& GetName() const { return mName; }
  const CameraDescriptor& GetDescriptor() const { return mDescriptor; }
  int GetPort() const { return mPort; }
  bool IsOpen() const { return mOpen; }
  int GetBitsPerPixel() const { return mBitsPerPixel; }
  CameraParameters& GetParameters() { return *mParameters; }
  Pylon::CBaslerGigECamera& GetSdkCamera() { return mCamera; }
  Pylon::CBaslerGigEStreamGrabber& GetStreamGrabber() { return mStreamGrabber; }

  bool Open(int port, int* imageSize);
  void Close();
  bool Grab();
  bool DeliverRow(void* destination, int row, int firstColumn, int lastColumn);
  void SetCompleteCB(CompleteCallback cb);
  void SetCmdCompleteCB(CommandCallback cb);
  bool ExecCmd(const char* command, const char* arguments, char* result, int resultSize);
  bool GetProperty(const char* name, int* value);
  bool SetProperty(const char* name, int value);
  bool GetRange(const char* name, int* minimum, int* maximum);
  bool Configure(unsigned parentWindow);
  // Writes the whole parameter set to the camera (the trigger settings property).
  void ApplyConfigurationToPylon();

 private:
  bool mOpen = false;
  std::string mName;
  int mPort = -1;
  std::unique_ptr<CameraParameters> mParameters;
  CameraDescriptor mDescriptor;
  Pylon::CBaslerGigECamera mCamera;
  Pylon::CBaslerGigEStreamGrabber mStreamGrabber;
  CompleteCallback mCompleteCB = nullptr;
  CommandCallback mCmdCompleteCB = nullptr;
  int mBitsPerPixel = 8;
};

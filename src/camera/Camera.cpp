#include "Camera.h"

#include "driver/Log.h"

// Opening, grabbing and the properties arrive with the acquisition; until then a camera is listed,
// found by name and carries its parameters, but cannot be opened.

Camera::Camera(const char* name, Pylon::IPylonDevice* device, const CameraDescriptor& descriptor) {
  if (name == nullptr || device == nullptr) {
    Log(1, "Camera::Camera: ERROR: parameters name and/or device are 0\n");
    throw "Err";
  }
  mName = name;
  mPort = -1;
  mBitsPerPixel = (descriptor.kindFlags & CameraDescriptor::kColour) != 0 ? 24 : 8;
  mParameters = std::make_unique<CameraParameters>(descriptor);
  mDescriptor = descriptor;
  mCamera.Attach(device, true);
  mStreamGrabber.Attach(device->GetStreamGrabber(0));
}

Camera::~Camera() {
  Log(2, "Camera::~Camera: camera %s on port %d \n", mName.c_str(), mPort);
  if (mOpen) Close();
}

bool Camera::Open(int /*port*/, int* /*imageSize*/) { return false; }

void Camera::Close() {
  mOpen = false;
  mPort = -1;
}

bool Camera::Grab() { return false; }

bool Camera::DeliverRow(void* /*destination*/, int /*row*/, int /*firstColumn*/, int /*lastColumn*/) { return false; }

void Camera::SetCompleteCB(CompleteCallback cb) { mCompleteCB = cb; }

void Camera::SetCmdCompleteCB(CommandCallback cb) { mCmdCompleteCB = cb; }

bool Camera::ExecCmd(const char* /*command*/, const char* /*arguments*/, char* /*result*/, int /*resultSize*/) {
  return false;
}

bool Camera::GetProperty(const char* /*name*/, int* /*value*/) { return false; }

bool Camera::SetProperty(const char* /*name*/, int /*value*/) { return false; }

bool Camera::GetRange(const char* /*name*/, int* /*minimum*/, int* /*maximum*/) { return false; }

bool Camera::Configure(unsigned /*parentWindow*/) { return false; }

void Camera::ApplyConfigurationToPylon() {
  GenApi::INodeMap* nodeMap = mCamera.GetNodeMap();
  if (nodeMap == nullptr) {
    Log(1, "Camera::ApplyConfigurationToPylon: ERROR: getnodemap returns null. Quitting\n");
    return;
  }
  mParameters->ApplyParameters(*nodeMap);
}

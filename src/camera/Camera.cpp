#include "Camera.h"

// The camera's device, stream and parameters arrive with the camera SDK's device layer; until
// then no camera can be enumerated, so none of these is reached from the exports.

Camera::Camera(const std::string& name, const CameraDescriptor& descriptor) : mName(name), mDescriptor(descriptor) {}

Camera::~Camera() { Close(); }

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

#pragma once
// One supported camera of the camera list: its name, its port while open, and the operations the
// exports call on it.

#include <string>

#include "KorvexEjector.h"
#include "camera/CameraDescriptor.h"

class Camera {
 public:
  Camera(const std::string& name, const CameraDescriptor& descriptor);
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;
  ~Camera();

  const std::string& GetName() const { return mName; }
  const CameraDescriptor& GetDescriptor() const { return mDescriptor; }
  int GetPort() const { return mPort; }
  bool IsOpen() const { return mOpen; }

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

 private:
  std::string mName;
  CameraDescriptor mDescriptor;
  int mPort = -1;
  bool mOpen = false;
  CompleteCallback mCompleteCB = nullptr;
  CommandCallback mCmdCompleteCB = nullptr;
};

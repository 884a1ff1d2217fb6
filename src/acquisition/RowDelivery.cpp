#include "RowDelivery.h"

#include <cstring>
#include <mutex>

#include "camera/Camera.h"
#include "driver/Log.h"

bool DeliverRow(Camera& camera, void* destination, int row, int firstColumn, int lastColumn) {
  // One reader at a time (the buffer sets keep which image is being read and how far), and a close
  // on another thread frees the image only after the copy under way.
  std::lock_guard<RowLock> reader(camera.RowLock());
  if (!camera.IsOpen()) {
    Log(1, "getCVLGrabRow: ERROR: the camera is closed, row=%d\n", row);
    return false;
  }
  const CameraGeometry& geometry = camera.GetGeometry();
  // The source row and whether it is the image's last.
  bool lastRow = false;
  const unsigned char* source =
      geometry.lineMode ? camera.GetRoundBuffer().GetLine(&camera, row, &lastRow) : camera.GetFrameBuffers().GetLine();
  if (source == nullptr) return false;
  // 4. Decimation as it was when the camera was opened: the host sized its rows by it.
  const int bytesPerPixel = camera.GetBitsPerPixel() / 8;
  // A request past the row's end is cut at the last pixel the row has.
  const int last = lastColumn < geometry.reportedWidth ? lastColumn : geometry.reportedWidth - 1;
  unsigned char* target = static_cast<unsigned char*>(destination);
  if (!geometry.useDecimation) {
    // The pixels asked for.
    if (last >= firstColumn) {
      std::memcpy(target, source + static_cast<std::size_t>(firstColumn) * bytesPerPixel,
                  static_cast<std::size_t>(last - firstColumn + 1) * bytesPerPixel);
    }
  } else {
    // Only 1 and 3 bytes per pixel exist.
    if (bytesPerPixel != 1 && bytesPerPixel != 3) {
      Log(1, "getCVLGrabRow: ERROR: unrecognized byte count per pixel : %d\n", bytesPerPixel);
      if (lastRow) camera.GetRoundBuffer().ReleaseImage();
      return false;
    }
    const int step = geometry.decimation + 1;
    for (int j = 0; firstColumn + j <= last; ++j) {
      const unsigned char* pixel = source + static_cast<std::size_t>(firstColumn + j) * step * bytesPerPixel;
      unsigned char* out = target + static_cast<std::size_t>(j) * bytesPerPixel;
      out[0] = pixel[0];
      if (bytesPerPixel == 3) {
        out[1] = pixel[1];
        out[2] = pixel[2];
      }
    }
  }
  // The chunks of an image go back to the stream grabber only after its last row is copied.
  if (lastRow) camera.GetRoundBuffer().ReleaseImage();
  return true;
}

namespace {

// This thread's callback: a wait thread's while it calls the host, null elsewhere.
thread_local Camera* tCallbackCamera = nullptr;
thread_local int tCallbackPort = -1;

}  // namespace

CallbackScope::CallbackScope(Camera& camera, int port) : mOuterCamera(tCallbackCamera), mOuterPort(tCallbackPort) {
  tCallbackCamera = &camera;
  tCallbackPort = port;
}

CallbackScope::~CallbackScope() {
  tCallbackCamera = mOuterCamera;
  tCallbackPort = mOuterPort;
}

Camera* CallbackScope::Current(int port) { return port == tCallbackPort ? tCallbackCamera : nullptr; }

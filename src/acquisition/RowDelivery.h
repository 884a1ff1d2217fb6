#pragma once
// One row of a camera's current image copied to the host, thinned horizontally with decimation.
// The host's reading thread; the buffer sets lock what they share with the wait thread.

class Camera;

// Columns are pixel indices of the row as the host receives it, both inclusive (firstColumn <=
// lastColumn, both >= 0, checked by the caller). False when no row is available (logged).
bool DeliverRow(Camera& camera, void* destination, int row, int firstColumn, int lastColumn);

// The camera whose completion callback this thread is running, for the rows the host reads inside
// it. The wait thread keeps every camera until the callback it is in returns (CameraWaitThread::
// WaitIdle), so those reads need neither the camera list's hold nor its lookup by port, which
// cost as much as the row's copy. Only the thread that opened the scope sees it.
class CallbackScope {
 public:
  CallbackScope(Camera& camera, int port);
  ~CallbackScope();
  CallbackScope(const CallbackScope&) = delete;
  CallbackScope& operator=(const CallbackScope&) = delete;
  // The camera of the callback this thread runs for `port`, or null (then the caller looks the
  // port up as from any thread).
  static Camera* Current(int port);

 private:
  Camera* mOuterCamera;
  int mOuterPort;
};

#pragma once
// The line-counter-mode buffer set: chunks of "LineCounterResolution" lines in arrival order, from
// which host images of Height + OverlappedLines rows are formed, consecutive images sharing their
// overlap chunks; the first "Delay" chunks after an open are skipped.
//
// Threads: the grab wait thread feeds chunks in (ProcessBuffer; mIncoming is its own); the host's
// reading thread reads rows (GetLine) and gives read chunks back (RequeueImageBuffers). mLock guards
// the image queue. Only the reading thread takes chunks off its front, so the chunks of the image
// being read stay put until it releases them: it takes their row addresses once per image (mImage)
// and reads rows without the lock. Init and CleanUp run on the opening or closing thread while nothing
// grabs.

#include <vector>

#include "acquisition/BufferQueue.h"
#include "acquisition/ImageBuffer.h"
#include "camera_sdk/BaslerGigECamera.h"
#include <mutex>

class Camera;

class ImageRoundBuffer {
 public:
  explicit ImageRoundBuffer(Pylon::CBaslerGigEStreamGrabber& streamGrabber) : mStreamGrabber(streamGrabber) {}
  ~ImageRoundBuffer();
  ImageRoundBuffer(const ImageRoundBuffer&) = delete;
  ImageRoundBuffer& operator=(const ImageRoundBuffer&) = delete;

  bool Init(Camera* camera, int bufCount);
  void ProcessBuffer(Camera* camera, ImageBuffer* buffer, bool& formed);
  // Row `row` of the current image, or null (logged). For the image's last row, *lastRow is set and
  // the caller releases the image with ReleaseImage once it has copied the row; without lastRow the
  // image is released at once.
  unsigned char* GetLine(Camera* camera, int row, bool* lastRow = nullptr);
  void ReleaseImage() { RequeueImageBuffers(_imageBufCount); }
  // m chunks from the front of the image queue back to the stream grabber; m < 0: all of them.
  void RequeueImageBuffers(int m);
  void CleanUp();

  std::size_t ImageQueueSize();
  std::size_t IncomingSize() const { return mIncoming.Size(); }
  int OverlayBufCount() const { return overlayBufCount; }
  int ImageBufCount() const { return _imageBufCount; }
  const std::vector<ImageBuffer*>& Buffers() const { return mBuffers; }

 private:
  void Requeue(ImageBuffer* chunk);

  std::vector<ImageBuffer*> mBuffers;  // owned
  BufferQueue _imageBuffers;           // guarded by mLock
  BufferQueue mIncoming;               // the wait thread's
  std::vector<unsigned char*> mImage;  // the reading thread's: the current image's rows, or empty
  std::mutex mLock;
  int overlayBufCount = 0;
  int _imageBufCount = 0;
  Pylon::CBaslerGigEStreamGrabber& mStreamGrabber;
  int mDelay = 0;
  int mLinesPerChunk = 1;
};

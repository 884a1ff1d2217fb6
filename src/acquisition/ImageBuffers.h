#pragma once
// The frame-mode buffer set: whole-frame buffers, the queue of completed frames for the host, and
// the frame last read, kept back as the source of the next frame's overlap rows.
//
// Threads: the grab wait thread puts completed frames in (PutBuffer to results); the host's reading
// thread takes rows (GetLine, which gives read frames back through PutBuffer). mLock guards
// mResults and mLastBuffer; the read position belongs to the reading thread. Once results exist,
// only the reading thread changes the front and the last buffer, so it takes both once per frame
// (mReadFront, mReadLast) and reads the frame's rows without the lock. Init and CleanUp run on the
// opening or closing thread while nothing grabs.

#include <vector>

#include "acquisition/BufferQueue.h"
#include "acquisition/ImageBuffer.h"
#include "camera_sdk/BaslerGigECamera.h"
#include <mutex>

class Camera;

class ImageBuffers {
 public:
  explicit ImageBuffers(Pylon::CBaslerGigEStreamGrabber& streamGrabber) : mStreamGrabber(streamGrabber) {}
  ~ImageBuffers();
  ImageBuffers(const ImageBuffers&) = delete;
  ImageBuffers& operator=(const ImageBuffers&) = delete;

  bool Init(Camera* camera);
  void PutBuffer(ImageBuffer* buffer, bool toResults);
  // The next row of the current frame, in order; null (logged) when there is none.
  unsigned char* GetLine();
  void CleanUp();

  std::size_t ResultCount();
  ImageBuffer* LastBuffer();
  const std::vector<ImageBuffer*>& Buffers() const { return mBuffers; }

 private:
  int mCurrentLine = 0;
  int mCurrentPrevLine = 0;
  ImageBuffer* mReadFront = nullptr;  // the reading thread's: the frame being read, or null
  ImageBuffer* mReadLast = nullptr;   // the reading thread's: its overlap source
  std::vector<ImageBuffer*> mBuffers;  // owned
  BufferQueue mResults;                // guarded by mLock
  std::mutex mLock;
  ImageBuffer* mLastBuffer = nullptr;  // guarded by mLock
  Pylon::CBaslerGigEStreamGrabber& mStreamGrabber;
  Camera* mCamera = nullptr;
  std::vector<unsigned char> mSubstituteLine;
  // Taken at Init: the buffers are that size until CleanUp, whatever the parameters say meanwhile.
  int mWidth = 0;
  int mHeight = 0;
  int mOverlap = 0;
};

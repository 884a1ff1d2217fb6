#include "ImageBuffers.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>

#include "camera/Camera.h"
#include "driver/Log.h"

ImageBuffers::~ImageBuffers() { CleanUp(); }

bool ImageBuffers::Init(Camera* camera) {
  // The camera's buffer count and geometry.
  mCamera = camera;
  const int count = camera->GetFrameBufferCount();
  const bool isColor = camera->IsColor();
  const CameraGeometry& geometry = camera->GetGeometry();
  mWidth = geometry.width;
  mHeight = geometry.height;
  mOverlap = geometry.overlap;
  Log(2, "ImageBuffers::Init: width=%d, height=%d, bufcount=%d, iscolor=%d\n", mWidth, mHeight, count, isColor ? 1 : 0);
  // Refused when nothing could be allocated.
  if (count < 1 || mWidth < 1 || mHeight < 1) {
    Log(1, " ImageBuffers::Init: ERROR: incorrect image buffer allocation parameters bufferCount=%d, width=%d, height=%d\n",
        count, mWidth, mHeight);
    return false;
  }
  mResults.Reset(static_cast<std::size_t>(count));
  mBuffers.reserve(static_cast<std::size_t>(count));
  // The frame buffers.
  for (int i = 0; i < count; ++i) {
    ImageBuffer* buffer = new ImageBuffer(isColor, mWidth, mHeight);
    mBuffers.push_back(buffer);
    buffer->Register(*mStreamGrabber);
    mStreamGrabber->QueueBuffer(buffer->GetHandle(), buffer);
  }
  // Their addresses, when the log wants them.
  if (LogWriter::Wanted(3)) {
    std::string text = "ImageBuffers::Init: buffers: ";
    char address[32];
    for (ImageBuffer* buffer : mBuffers) {
      std::snprintf(address, sizeof address, "%x ", LogAddress(buffer));
      text += address;
    }
    Log(3, "%s\n", text.c_str());
  }
  // The line shown where a row cannot be read.
  try {
    mSubstituteLine.assign(static_cast<std::size_t>(mWidth) * 3, 0x70);
  } catch (const std::bad_alloc&) {
    Log(1, " ImageBuffers::Init: ERROR: could iosu buffer substitute\n");
    return false;
  }
  return true;
}

void ImageBuffers::PutBuffer(ImageBuffer* buffer, bool toResults) {
  if (buffer == nullptr) {
    Log(1, "ImageBuffers::PutBuffer: ERROR: null parameter\n");
    return;
  }
  if (std::find(mBuffers.begin(), mBuffers.end(), buffer) == mBuffers.end()) {
    Log(1, "ImageBuffers::PutBuffer: ERROR: provided parameter is not a valid ImageBuffer pointer\n");
    return;
  }
  // One lock for both queues.
  std::lock_guard<std::mutex> guard(mLock);
  if (toResults) {
    // To the results, held back once as the first overlap source.
    buffer->swapped = false;
    if (!mResults.Empty() || mCamera->FirstImageReceived() || mOverlap <= 0) {
      mResults.PushBack(buffer);
    } else {
      // The first frame with overlap: only the source of the next one's overlap rows, which must
      // come in the same byte order as the rows after them.
      if (mCamera->IsColor() && mCamera->GetParameter<bool>("UseBGR")) buffer->toBGR();
      mLastBuffer = buffer;
    }
  } else {
    // Back from the host: only the front result can come back.
    if (mResults.Front() != buffer) {
      Log(1, "ImageBuffers::PutBuffer: ERROR: the buffer being queued is not the first of the result queue\n");
    }
    mResults.PopFront();
    if (mLastBuffer != nullptr) mStreamGrabber->QueueBuffer(mLastBuffer->GetHandle(), mLastBuffer);
    mLastBuffer = buffer;
  }
  // The queues, when the log wants them.
  if (LogWriter::Wanted(3)) {
    char head[256];
    std::snprintf(head, sizeof head,
                  "ImageBuffers::PutBuffer(%x), direction:%s. The last buffer:%x. Pylon has buffers:%d, Result buffers: ",
                  LogAddress(buffer), toResults ? "results" : "pylon", LogAddress(mLastBuffer),
                  static_cast<int>(mBuffers.size() - mResults.Size() - 1));
    std::string text = head;
    char address[32];
    for (std::size_t i = 0; i < mResults.Size(); ++i) {
      std::snprintf(address, sizeof address, "%x ", LogAddress(mResults.At(i)));
      text += address;
    }
    Log(3, "%s\n", text.c_str());
  }
  // 6. The lock goes with the scope.
}

unsigned char* ImageBuffers::GetLine() {
  if (mCamera == nullptr) {
    Log(1, " ImageBuffers::GetLine: ERROR: mCamera is null\n");
    return nullptr;
  }
  const int height = mHeight;
  Log(4, "ImageBuffers::GetLine(): currentline=%d, currentPrevLine=%d, height=%d\n", mCurrentLine, mCurrentPrevLine,
      height);
  // A read position out of the image is a fault.
  if (mCurrentLine < 0 || mCurrentLine >= height || mCurrentPrevLine < 0 || mCurrentPrevLine > height) {
    Log(1, " ImageBuffers::GetLine: ERROR: incorrect current line=%d, height=%d, lastbuf currentline=%d\n", mCurrentLine,
        height, mCurrentPrevLine);
    return nullptr;
  }
  // The front result, once per image.
  if (mReadFront == nullptr) {
    std::lock_guard<std::mutex> guard(mLock);
    if (mResults.Empty()) {
      Log(2, "ImageBuffers::GetLine(): ERROR: no current buffer available\n");
      return nullptr;
    }
    mReadFront = mResults.Front();
    mReadLast = mLastBuffer;
  }
  ImageBuffer* const front = mReadFront;
  ImageBuffer* const last = mReadLast;
  if (front == nullptr) {
    Log(1, "ImageBuffers::GetLine(): ERROR obtaining buffer pointer\n");
    return nullptr;
  }
  // Overlap rows come from the previous image.
  const int k = mOverlap;
  if (k > height) {
    Log(1, "ImageBuffers::GetLine: ERROR: overlapped lines is greater than height, overlappedlines=%d, height=%d\n", k,
        height);
    return nullptr;
  }
  // 6. Overlap rows from the previous frame.
  if (k > 0 && mCurrentPrevLine < k) {
    unsigned char* row;
    if (last != nullptr) {
      const int previousRow = mCurrentPrevLine + height - k;
      Log(4, "ImageBuffers::GetLine(): return %d line of the previous buffer\n", previousRow);
      row = last->GetLine(previousRow);
    } else {
      Log(4, "ImageBuffers::GetLine(): no previous buffer assigned yet -- returning empty line\n");
      row = mSubstituteLine.data();
    }
    ++mCurrentPrevLine;
    return row;
  }
  // 7. Rows of the current frame.
  if (mCurrentLine == 0 && mCamera->IsColor() && mCamera->GetParameter<bool>("UseBGR")) {
    front->toBGR();
    front->swapped = true;
  }
  unsigned char* row = front->GetLine(mCurrentLine);
  ++mCurrentLine;
  // The image read to its end goes back to the camera.
  if (mCurrentLine >= height) {
    Log(4, "ImageBuffers::GetLine(): frame finished, resetting current line and returning buffer\n");
    mCurrentPrevLine = 0;
    mCurrentLine = 0;
    mReadFront = nullptr;
    mReadLast = nullptr;
    PutBuffer(front, false);
    if (!mCamera->IsContinuous()) Log(2, "ImageBuffers::GetLine(): all lines retrieved\n");
  }
  return row;
}

void ImageBuffers::CleanUp() {
  {
    std::lock_guard<std::mutex> guard(mLock);
    mResults.Clear();
    mLastBuffer = nullptr;
  }
  mReadFront = nullptr;
  mReadLast = nullptr;
  mSubstituteLine.clear();
  mSubstituteLine.shrink_to_fit();
  for (ImageBuffer* buffer : mBuffers) {
    if (buffer == nullptr) {
      Log(1, "ImageBuffers::CleanUp: ERROR obtaining buffer pointer\n");
      continue;
    }
    try {
      if (mStreamGrabber.IsAttached()) buffer->Deregister(*mStreamGrabber);
    } catch (const GenICam::GenericException&) {
      // the device is gone; the memory is freed all the same
    }
    delete buffer;
  }
  mBuffers.clear();
  // A frame left half-read before a close starts from its first row after the next open.
  mCurrentLine = 0;
  mCurrentPrevLine = 0;
}

std::size_t ImageBuffers::ResultCount() {
  std::lock_guard<std::mutex> guard(mLock);
  return mResults.Size();
}

ImageBuffer* ImageBuffers::LastBuffer() {
  std::lock_guard<std::mutex> guard(mLock);
  return mLastBuffer;
}

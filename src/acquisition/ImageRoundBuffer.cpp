#include "ImageRoundBuffer.h"

#include "camera/Camera.h"
#include "driver/Log.h"

ImageRoundBuffer::~ImageRoundBuffer() { CleanUp(); }

bool ImageRoundBuffer::Init(Camera* camera, int bufCount) {
  // Whatever the last open left.
  CleanUp();
  // The geometry: chunk lines, width, overlap, height.
  const CameraGeometry& geometry = camera->GetGeometry();
  const int n = geometry.resolution;
  const int width = geometry.width;
  const int k = geometry.overlap;
  const int h = geometry.height;
  Log(2, "ImageRoundBuffer::Init: totalheight=%d, width=%d, bufCount=%d, overlappedLines=%d\n", h, width, bufCount, k);
  // 3. A geometry that is no whole number of chunks would never hand out its last row, and so
  //    never release its chunks: it is refused here rather than left to stall.
  const int minBufCount = n >= 1 ? (h + k) / n + 1 : 0;
  if (n < 1 || minBufCount <= 1 || width < 1 || bufCount < minBufCount || h < n || h % n != 0 || k % n != 0) {
    Log(1, "ImageRoundBuffer::Init: ERROR: incorrect parameters, width=%d, minBufCount=%d, supplied bufCount=%d\n",
        width, minBufCount, bufCount);
    return false;
  }
  // Chunks per overlap and per image, and the delay.
  overlayBufCount = k / n;
  _imageBufCount = h / n;
  mDelay = geometry.delay;
  mLinesPerChunk = n;
  Log(3, "ImageRoundBuffer::Init: Image_buf_count=%d, overlay_buf_count=%d, total_buf_count=%d", _imageBufCount,
      overlayBufCount, bufCount);
  // The ring must hold an image and its overlap.
  if (bufCount < overlayBufCount + _imageBufCount) {
    Log(1, "ImageRoundBuffer::Init: ERROR: _imageBufCount=%d is more than than total bufCount=%d", _imageBufCount,
        bufCount);
    return false;
  }
  _imageBuffers.Reset(static_cast<std::size_t>(bufCount));
  mIncoming.Reset(static_cast<std::size_t>(bufCount));
  mBuffers.reserve(static_cast<std::size_t>(bufCount));
  mImage.reserve(static_cast<std::size_t>(overlayBufCount + _imageBufCount) * n);
  // The chunk buffers, all queued to the stream grabber.
  for (int i = 0; i < bufCount; ++i) {
    ImageBuffer* buffer = new ImageBuffer(camera->IsColor(), width, n);
    mBuffers.push_back(buffer);
    for (int line = 0; line < n; ++line) camera->EmbedLineCounter(buffer->GetLine(line));
    buffer->Register(*mStreamGrabber);
    Pylon::StreamBufferHandle handle = buffer->GetHandle();
    mStreamGrabber->QueueBuffer(handle, buffer);
    Log(4, "ImageRoundBuffer::Init: buffer %d (addr=%x,handle=%x) registered\n", i, LogAddress(buffer), LogAddress(handle));
  }
  return true;
}

void ImageRoundBuffer::Requeue(ImageBuffer* chunk) { mStreamGrabber->QueueBuffer(chunk->GetHandle(), chunk); }

void ImageRoundBuffer::ProcessBuffer(Camera* camera, ImageBuffer* buffer, bool& formed) {
  // Nothing formed until the chunks make an image.
  formed = false;
  if (buffer == nullptr) {
    Log(1, "ImageRoundBuffer::ProcessBuffer: ERROR: pBuf parameter==0\n");
    return;
  }
  // Colour rows in BGR when asked for.
  if (camera->IsColor() && camera->GetParameter<bool>("UseBGR")) {
    buffer->swapped = false;
    buffer->toBGR();
  }
  // Queued with the chunks not yet in an image.
  mIncoming.PushBack(buffer);
  Log(3, "ImageRoundBuffer::ProcessBuffer: adding buffer %X to queue, new size=%d", LogAddress(buffer),
      static_cast<int>(mIncoming.Size()));
  // Enough chunks for an image? The first needs its overlap and delay too.
  const bool steady = camera->FirstImageReceived();
  const int needed = steady ? _imageBufCount : _imageBufCount + overlayBufCount + mDelay;
  const int size = static_cast<int>(mIncoming.Size());
  if (size < needed) {
    if (steady) {
      Log(3, "ImageRoundBuffer::ProcessBuffer: frame not completed: %d < %d", size, needed);
    } else {
      Log(3, "ImageRoundBuffer::ProcessBuffer: first frame not completed: %d < %d", size, needed);
    }
    return;
  }
  // An image is formed.
  formed = true;
  Log(3, "ImageRoundBuffer::ProcessBuffer: frame is formed");
  // Its chunks move to the image list; delayed ones stay for the next.
  int delayed = 0;
  int moved = 0;
  int imageSize;
  {
    std::lock_guard<std::mutex> guard(mLock);
    while (!mIncoming.Empty()) {
      ImageBuffer* chunk = mIncoming.PopFront();
      if (!steady && delayed < mDelay) {
        try {
          Requeue(chunk);
        } catch (const GenICam::GenericException& e) {
          Log(1, "ImageRoundBuffer::ProcessBuffer: GenICam EXCEPTION when requeueing delay buffers: %s\n",
              e.GetDescription());
        } catch (...) {
          Log(1, "ImageRoundBuffer::ProcessBuffer: EXCEPTION when requeueing delay buffers");
        }
        ++delayed;
      } else {
        _imageBuffers.PushBack(chunk);
        ++moved;
      }
    }
    imageSize = static_cast<int>(_imageBuffers.Size());
  }
  Log(3, "ImageRoundBuffer::ProcessBuffer: transfered %d delay buffers to pylon, %d buffers to image, new imgbufsize=%d",
      delayed, moved, imageSize);
  camera->SetFirstImageReceived();
}

unsigned char* ImageRoundBuffer::GetLine(Camera* camera, int row, bool* lastRow) {
  Log(4, "ImageRoundBuffer::GetLine: entering\n");
  if (lastRow != nullptr) *lastRow = false;
  if (mBuffers.empty()) return nullptr;
  // The image's chunk list, built once per image.
  const int imageChunks = overlayBufCount + _imageBufCount;
  if (mImage.empty()) {
    std::lock_guard<std::mutex> guard(mLock);
    const int queued = static_cast<int>(_imageBuffers.Size());
    if (queued < imageChunks) {
      Log(1, "ImageRoundBuffer::GetLine: ERROR: too few buffers available: %d out of %d,line=%d, port=%d", queued,
          imageChunks, row, camera->GetPort());
      return nullptr;
    }
    for (int i = 0; i < imageChunks; ++i) {
      ImageBuffer* chunk = _imageBuffers.At(static_cast<std::size_t>(i));
      for (int line = 0; line < mLinesPerChunk; ++line) mImage.push_back(chunk->GetLine(line));
    }
  }
  // Chunk c = row / n holds the row; an image is whole chunks, so c is in range exactly when the
  // row is (the division is left to the error path).
  if (row < 0 || row >= static_cast<int>(mImage.size())) {
    Log(1, "ImageRoundBuffer::GetLine: ERROR: buffer index out of bounds iBuf=%d, bufCount=%d, row=%d port=%d",
        row / mLinesPerChunk, imageChunks, row, camera->GetPort());
    return nullptr;
  }
  unsigned char* line = mImage[static_cast<std::size_t>(row)];
  // 3. The release waits until the row is copied: without overlap the row lies in a chunk released.
  if (row == camera->GetReportedHeight() - 1) {
    Log(3, "ImageRoundBuffer::GetLine: All lines retrieved before buf Release, bufSize=%d, row=%d",
        static_cast<int>(ImageQueueSize()), row);
    if (lastRow != nullptr) {
      *lastRow = true;
    } else {
      ReleaseImage();
    }
  }
  Log(4, "ImageRoundBuffer::GetLine: leaving\n");
  return line;
}

void ImageRoundBuffer::RequeueImageBuffers(int m) {
  int newSize;
  mImage.clear();
  {
    std::lock_guard<std::mutex> guard(mLock);
    // Chunks of read images back to the stream grabber.
    const int count = m < 0 ? static_cast<int>(_imageBuffers.Size()) : m;
    for (int i = 0; i < count; ++i) {
      if (_imageBuffers.Empty()) {
        Log(1, "ImageRoundBuffer::RequeueImageBuffers: ERROR: unexpected end of _imageBuffers");
        break;
      }
      ImageBuffer* front = _imageBuffers.Front();
      Log(3, "ImageRoundBuffer::RequeueImageBuffers: sending buffer %X to pylon", LogAddress(front));
      try {
        Requeue(front);
      } catch (const GenICam::GenericException& e) {
        Log(1, "ImageRoundBuffer::RequeueImageBuffers: GenICam EXCEPTION when requeueing a buffer: %s\n",
            e.GetDescription());
      } catch (...) {
        Log(1, "ImageRoundBuffer::RequeueImageBuffers: EXCEPTION when requeueing a buffer");
      }
      _imageBuffers.PopFront();
    }
    newSize = static_cast<int>(_imageBuffers.Size());
  }
  Log(3, "ImageRoundBuffer::RequeueImageBuffers: requeuing %d buffers from image queue, new size=%d", m, newSize);
}

void ImageRoundBuffer::CleanUp() {
  {
    std::lock_guard<std::mutex> guard(mLock);
    _imageBuffers.Clear();
  }
  mIncoming.Clear();
  mImage.clear();
  for (std::size_t i = 0; i < mBuffers.size(); ++i) {
    ImageBuffer* buffer = mBuffers[i];
    Log(4, "ImageRoundBuffer::CleanUp: Deregister buffer %d\n", static_cast<int>(i));
    if (buffer == nullptr) {
      Log(1, "ImageRoundBuffer::CleanUp: ERROR obtaining buffer pointer\n");
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
}

std::size_t ImageRoundBuffer::ImageQueueSize() {
  std::lock_guard<std::mutex> guard(mLock);
  return _imageBuffers.Size();
}

#pragma once
// One block of image memory registered with a camera's stream grabber and queued with its own
// address as context, so that a grab result names its buffer without a lookup.
//
// Threads: no lock. One party owns a buffer at a time: the stream grabber while it is queued, the
// grab wait thread while it handles the result, the host's reading thread while it sits in a buffer
// set's queue. The buffer sets hand it on under their own locks.

#include "camera_sdk/StreamGrabber.h"

class ImageBuffer {
 public:
  ImageBuffer(bool isColor_, int width_, int height_);
  ~ImageBuffer();
  ImageBuffer(const ImageBuffer&) = delete;
  ImageBuffer& operator=(const ImageBuffer&) = delete;

  // Keeps the memory (and its content) when the size is unchanged; logs and throws "Err" on failure.
  void Allocate(int newSize);
  // Logs and throws "Err" while unregistered.
  Pylon::StreamBufferHandle GetHandle();
  // Line i, or null (logged) out of range or unallocated. Inline: it runs for every row delivered.
  unsigned char* GetLine(int i) {
    if (i < 0 || i >= height || data == nullptr) return BadLine(i);
    return data + static_cast<std::size_t>(i) * Stride();
  }
  // RGB to BGR in place, once per content.
  void toBGR();
  void Register(Pylon::IStreamGrabber& streamGrabber);
  void Deregister(Pylon::IStreamGrabber& streamGrabber);
  void Free();

  unsigned char* BadLine(int i) const;

  int Stride() const { return isColor ? width * 3 : width; }

  int size = 0;
  int width;
  int height;
  bool isColor;
  bool swapped = false;
  unsigned char* data = nullptr;
  Pylon::StreamBufferHandle handle = nullptr;
};

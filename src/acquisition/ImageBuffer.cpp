#include "ImageBuffer.h"

#include <climits>
#include <cstdint>
#include <new>
#include <utility>

#include "driver/Log.h"

ImageBuffer::ImageBuffer(bool isColor_, int width_, int height_) : width(width_), height(height_), isColor(isColor_) {
  const int64_t bytes = static_cast<int64_t>(isColor ? 3 : 1) * width * height;
  // A product beyond the int range would wrap; it is refused as a size like any other bad one.
  Allocate(bytes > INT_MAX ? -1 : static_cast<int>(bytes));
}

ImageBuffer::~ImageBuffer() { Free(); }

void ImageBuffer::Allocate(int newSize) {
  // No size: no memory.
  if (newSize <= 0) {
    Log(1, "ImageBuffer::Allocate: ERROR: incorrect size %d\n", newSize);
    throw "Err";
  }
  // A new size: the old memory goes.
  if (newSize != size) {
    Free();
    data = new (std::nothrow) unsigned char[static_cast<std::size_t>(newSize)];
    size = newSize;
  }
  // Allocated once per size.
  if (data == nullptr) {
    size = 0;
    Log(1, "ImageBuffer::Allocate: ERROR: could not allocate buffer of required size %d\n", newSize);
    throw "Err";
  }
}

void ImageBuffer::Free() {
  delete[] data;
  data = nullptr;
  size = 0;
}

Pylon::StreamBufferHandle ImageBuffer::GetHandle() {
  if (handle == nullptr) {
    Log(1, "ImageBuffer::GetHandle: ERROR: called while handle still unassigned\n");
    throw "Err";
  }
  return handle;
}

unsigned char* ImageBuffer::BadLine(int i) const {
  if (i < 0 || i >= height) {
    Log(1, "ImageBuffer::GetLine: ERROR: line index out of range: %d", i);
  } else {
    Log(1, "ImageBuffer::GetLine: ERROR: cannot proceed since it finds unallocated buffer\n");
  }
  return nullptr;
}

void ImageBuffer::toBGR() {
  if (swapped || !isColor || data == nullptr) return;
  const std::size_t bytes = static_cast<std::size_t>(3) * width * height;
  for (std::size_t i = 0; i + 2 < bytes; i += 3) std::swap(data[i], data[i + 2]);
  Log(3, "ImageBuffer::toBGR: swapping bytes on buffer %x\n", LogAddress(this));
  swapped = true;
}

void ImageBuffer::Register(Pylon::IStreamGrabber& streamGrabber) {
  // Registered with the stream grabber once.
  if (handle != nullptr) Log(1, "ImageBuffer::Register: WARNING: finds preassigned handle\n");
  // Nothing to register.
  if (data == nullptr || size == 0) {
    Log(1, "ImageBuffer::Register: ERROR: buffer unassigned\n");
    return;
  }
  Log(4, "ImageBuffer::Register: registering buffer, size=%d\n", size);
  handle = streamGrabber.RegisterBuffer(data, static_cast<std::size_t>(size));
  if (handle == nullptr) Log(1, "ImageBuffer::Register: ERROR: handle==0 after registration\n");
}

void ImageBuffer::Deregister(Pylon::IStreamGrabber& streamGrabber) {
  if (handle == nullptr) {
    Log(1, "ImageBuffer::Deregister: WARNING: finds unassigned handle\n");
    return;
  }
  streamGrabber.DeregisterBuffer(handle);
  handle = nullptr;
}

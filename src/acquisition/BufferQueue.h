#pragma once
// A first-in first-out queue of buffer pointers with a capacity fixed when a buffer set is set up,
// so that moving buffers while grabbing never allocates. Not locked: the owning set's lock guards it.

#include <cstddef>
#include <vector>

class ImageBuffer;

class BufferQueue {
 public:
  void Reset(std::size_t capacity) {
    mSlots.assign(capacity, nullptr);
    mHead = 0;
    mSize = 0;
  }
  void Clear() {
    mHead = 0;
    mSize = 0;
  }
  // False when full (cannot happen while every buffer is in one place only).
  bool PushBack(ImageBuffer* buffer) {
    if (mSize == mSlots.size()) return false;
    mSlots[(mHead + mSize) % mSlots.size()] = buffer;
    ++mSize;
    return true;
  }
  ImageBuffer* PopFront() {
    if (mSize == 0) return nullptr;
    ImageBuffer* front = mSlots[mHead];
    mHead = (mHead + 1) % mSlots.size();
    --mSize;
    return front;
  }
  ImageBuffer* Front() const { return mSize != 0 ? mSlots[mHead] : nullptr; }
  ImageBuffer* At(std::size_t index) const { return index < mSize ? mSlots[(mHead + index) % mSlots.size()] : nullptr; }
  std::size_t Size() const { return mSize; }
  bool Empty() const { return mSize == 0; }

 private:
  std::vector<ImageBuffer*> mSlots;
  std::size_t mHead = 0;
  std::size_t mSize = 0;
};

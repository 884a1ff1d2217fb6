#pragma once
// A first-in first-out queue over one block that grows only when full, so that a grab loop which
// queues and retrieves the same buffers over and over allocates nothing after its first round.
// Not locked: its owner's lock guards it.

#include <cstddef>
#include <vector>

namespace Pylon {

template <typename T>
class RingQueue {
 public:
  bool empty() const { return mSize == 0; }
  std::size_t size() const { return mSize; }
  // Element i from the front.
  const T& operator[](std::size_t i) const { return mSlots[(mHead + i) % mSlots.size()]; }
  const T& front() const { return mSlots[mHead]; }
  void push_back(const T& value) {
    if (mSize == mSlots.size()) Grow();
    mSlots[(mHead + mSize) % mSlots.size()] = value;
    ++mSize;
  }
  void pop_front() {
    mSlots[mHead] = T();
    mHead = (mHead + 1) % mSlots.size();
    --mSize;
  }
  void clear() {
    while (!empty()) pop_front();
    mHead = 0;
  }

 private:
  void Grow() {
    std::vector<T> slots(mSlots.empty() ? 8 : mSlots.size() * 2);
    for (std::size_t i = 0; i < mSize; ++i) slots[i] = (*this)[i];
    mSlots.swap(slots);
    mHead = 0;
  }

  std::vector<T> mSlots;
  std::size_t mHead = 0;
  std::size_t mSize = 0;
};

}  // namespace Pylon

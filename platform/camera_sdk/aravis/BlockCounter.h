#pragma once
// Block IDs as the driver reads them (1 for the first frame after an acquisition start, one more
// for every frame the device sends), from the frame IDs a GigE Vision device stamps: 16 bits that
// wrap (to 1, as GigE Vision has it, or to 0 on some devices), or 64 bits. Not locked: its
// owner's lock guards it.

#include <cstdint>

namespace Pylon {
namespace Aravis {

class BlockCounter {
 public:
  // The next frame is block 1.
  void Restart() { mCounting = false; }

  uint64_t Next(uint64_t frameId) {
    if (!mCounting) {
      mCounting = true;
      mBlockId = 1;
    } else if (frameId > mLastFrameId) {
      mBlockId += frameId - mLastFrameId;
    } else if (frameId < mLastFrameId && mLastFrameId <= 0xFFFF) {
      mBlockId += frameId == 0 ? 0x10000 - mLastFrameId : frameId + 0xFFFF - mLastFrameId;
    }
    mLastFrameId = frameId;
    return mBlockId;
  }

 private:
  bool mCounting = false;
  uint64_t mLastFrameId = 0;
  uint64_t mBlockId = 0;
};

}  // namespace Aravis
}  // namespace Pylon

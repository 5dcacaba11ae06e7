#pragma once
// The processor's MIDI output queue: messages the plug-in sends during a block, in the
// order sent, handed to the host at the end of the block. Add never allocates (a full
// queue drops); Resize allocates (main thread, processing stopped).
#include <algorithm>
#include <vector>

#include "framework/IPlugStructs.h"

namespace plugkit {

class IMidiQueue {
public:
  explicit IMidiQueue(int size = 512) { Resize(size); }

  // Makes room for at least size messages (rounded up to whole 4096-byte pages of
  // messages); never smaller than the messages still queued, which move to the front.
  void Resize(int size) {
    constexpr int kPerPage = 4096 / static_cast<int>(sizeof(IMidiMsg));
    size = std::max(size, mCount);
    size = ((std::max(size, 1) + kPerPage - 1) / kPerPage) * kPerPage;
    std::vector<IMidiMsg> fresh(static_cast<size_t>(size));
    std::copy(mBuf.begin() + mFront, mBuf.begin() + mFront + mCount, fresh.begin());
    mBuf.swap(fresh);
    mFront = 0;
  }

  // False (dropped) when full.
  bool Add(const IMidiMsg& msg) {
    if (mFront + mCount >= static_cast<int>(mBuf.size())) Compact();
    if (mFront + mCount >= static_cast<int>(mBuf.size())) return false;
    mBuf[static_cast<size_t>(mFront + mCount)] = msg;
    ++mCount;
    return true;
  }
  void Remove() {
    if (mCount > 0) {
      ++mFront;
      --mCount;
    }
  }
  bool Empty() const { return mCount == 0; }
  int ToDo() const { return mCount; }
  int GetSize() const { return static_cast<int>(mBuf.size()); }
  const IMidiMsg& Peek() const { return mBuf[static_cast<size_t>(mFront)]; }

  // After a block of nFrames: what is left is due in later blocks, so its offsets shrink.
  void Flush(int nFrames) {
    for (int i = 0; i < mCount; ++i) mBuf[static_cast<size_t>(mFront + i)].mOffset -= nFrames;
    Compact();
  }
  void Clear() { mFront = mCount = 0; }

private:
  void Compact() {
    if (mFront == 0) return;
    std::copy(mBuf.begin() + mFront, mBuf.begin() + mFront + mCount, mBuf.begin());
    mFront = 0;
  }

  std::vector<IMidiMsg> mBuf;
  int mFront = 0;
  int mCount = 0;
};

}  // namespace plugkit

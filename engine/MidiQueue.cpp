#include "MidiQueue.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

int64_t RoundUpToGranule(int64_t n) {
  return (n + MidiQueue::kGranule - 1) / MidiQueue::kGranule * MidiQueue::kGranule;
}

}  // namespace

MidiQueue::MidiQueue() {
  Reallocate(kInitialCapacity);
}

MidiQueue::~MidiQueue() {
  delete[] mEntries;
}

bool MidiQueue::Reallocate(int capacity) {
  MidiMessage* entries = new (std::nothrow) MidiMessage[static_cast<size_t>(capacity)];
  if (!entries) return false;
  const int pending = mBack - mFront;
  if (pending > 0) std::memcpy(entries, mEntries + mFront, sizeof(MidiMessage) * pending);
  delete[] mEntries;
  mEntries = entries;
  mCapacity = capacity;
  mFront = 0;
  mBack = pending;
  return true;
}

void MidiQueue::DropConsumed() {
  if (mFront == 0) return;
  const int pending = mBack - mFront;
  if (pending > 0) std::memmove(mEntries, mEntries + mFront, sizeof(MidiMessage) * pending);
  mFront = 0;
  mBack = pending;
}

bool MidiQueue::Add(const MidiMessage& msg) {
  if (mBack - mFront >= kMaxPending) return false;
  if (mBack >= mCapacity) {
    if (mFront > 0) {
      DropConsumed();
    } else {
      if (mGrowthStep <= 0) return false;
      const int64_t grown =
          static_cast<int64_t>(mGrowthStep) * (mCapacity / mGrowthStep + 1);
      if (grown > kMaxPending + kMaxGrowthStep || !Reallocate(static_cast<int>(grown))) return false;
    }
  }

  int at = mBack;
  if (mBack > mFront && msg.offset < mEntries[mBack - 1].offset) {
    // Search back from the end: messages mostly arrive in time order, so the
    // slot is usually near the back. Stop after the last entry that is not
    // later than this one, so equal offsets keep their arrival order.
    while (at > mFront && mEntries[at - 1].offset > msg.offset) --at;
    std::memmove(mEntries + at + 1, mEntries + at, sizeof(MidiMessage) * (mBack - at));
  }
  mEntries[at] = msg;
  ++mBack;
  return true;
}

void MidiQueue::Resize(int hostBlockSize) {
  DropConsumed();
  // A block size of 0 (or less) would leave a growth step of 0 and drop every
  // message; keep at least one granule.
  const int64_t n = std::min<int64_t>(std::max(hostBlockSize, 1), kMaxGrowthStep);
  mGrowthStep = static_cast<int>(RoundUpToGranule(n));
  const int capacity =
      static_cast<int>(std::max<int64_t>(mGrowthStep, RoundUpToGranule(mBack - mFront)));
  if (capacity != mCapacity) Reallocate(capacity);
}

void MidiQueue::Compact(int B) {
  DropConsumed();
  for (int i = 0; i < mBack; ++i) mEntries[i].offset -= B;
}

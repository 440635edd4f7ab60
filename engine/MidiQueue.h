#pragma once
#include <cstdint>

#include "MidiTypes.h"

// Time-ordered store of the MIDI messages of the current host buffer, drained
// at control-block boundaries by the render.
//
// Entries stay sorted by offset; messages with equal offsets keep their arrival
// order. Adding happens in HandleMidiMessage (host thread, plug-in lock held)
// and may allocate when the array is full. Draining (ApplyDue, or Front/Pop and
// Compact) happens inside the render and never allocates.
class MidiQueue {
 public:
  static constexpr int kInitialCapacity = 1024;
  // Resize() sizes the array in multiples of this many entries (4 KiB).
  static constexpr int kGranule = 512;
  // Upper bound on the growth step, so that an absurd host block size cannot
  // overflow the size arithmetic.
  static constexpr int kMaxGrowthStep = 1 << 22;
  // Most unread messages the queue holds: one for every sample of the largest
  // host block. Only a host that sends events and never renders them (a
  // stalled or suspended instance fed MIDI) reaches it; past it messages are
  // dropped instead of growing and copying the array without end.
  static constexpr int kMaxPending = 1 << 20;

  MidiQueue();
  ~MidiQueue();
  MidiQueue(const MidiQueue&) = delete;
  MidiQueue& operator=(const MidiQueue&) = delete;

  // Sorts msg in after every unread entry whose offset is <= its own. Returns
  // false when kMaxPending messages are unread, or when the array was full
  // and no memory could be had for a larger one; the message is then dropped.
  bool Add(const MidiMessage& msg);

  // Called at reset with the host's maximum block size: drops consumed
  // entries and sizes the array to the block size rounded up to a multiple of
  // kGranule entries (or to the unread entries, if there are more). Unread
  // messages are kept. If the new array cannot be had the old one stays.
  void Resize(int hostBlockSize);

  // The control-block event step for a control block of B samples: applies,
  // in order, every unread entry whose offset is <= B, then removes the
  // consumed entries and moves the others B samples closer. apply receives a
  // copy of the message (const MidiMessage&). Never allocates.
  template <class F>
  void ApplyDue(int B, F&& apply) {
    while (mFront < mBack) {
      const MidiMessage m = mEntries[mFront];
      if (static_cast<int64_t>(m.offset) - B > 0) break;
      ++mFront;
      apply(m);
    }
    Compact(B);
  }

  // Piecewise form of ApplyDue: Front() is the first unread entry or null;
  // Pop() consumes it; Compact(B) removes the consumed entries and subtracts B
  // from the offsets of the remaining ones.
  const MidiMessage* Front() const { return mFront < mBack ? &mEntries[mFront] : nullptr; }
  void Pop() {
    if (mFront < mBack) ++mFront;
  }
  void Compact(int B);

  // Forgets every entry, keeping the array.
  void Clear() { mFront = mBack = 0; }

  int Capacity() const { return mCapacity; }
  int GrowthStep() const { return mGrowthStep; }
  int Pending() const { return mBack - mFront; }
  // The i-th unread entry, 0 <= i < Pending().
  const MidiMessage& Entry(int i) const { return mEntries[mFront + i]; }

 private:
  void DropConsumed();
  bool Reallocate(int capacity);

  MidiMessage* mEntries = nullptr;
  int mCapacity = 0;
  int mGrowthStep = kInitialCapacity;
  int mFront = 0;
  int mBack = 0;
};
